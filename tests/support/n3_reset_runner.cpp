// Test helper: one balance reset in a process of its own, so that a test can kill it at any
// moment: resets account argv[4] from period argv[5] on in the database of account set argv[2],
// year argv[3], of the data directory argv[1]. Prints the journal's id; exits 0 when the reset
// succeeded and its end is journaled, 3 when its end could not be journaled, 2 when it failed.
#include "tests/support/FormDriver.h"

#include "repair/BalanceReset.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 6)
        return 2;
    FormDriver::useDataDirectory(QString::fromLocal8Bit(argv[1]));
    const repair::BalanceResetRun run = repair::resetBalances(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]),
                                                              QString::fromLocal8Bit(argv[4]), QString::fromLocal8Bit(argv[5]));
    std::puts(run.journal.toUtf8().constData());
    if (run.outcome != repair::BalanceResetOutcome::Succeeded)
        return 2;
    return run.failure.isEmpty() ? 0 : 3;
}
