// Test helper: one recompute in a process of its own, held between its plan and its run so that a
// test can change the database in between, as another program would while a window shows the plan
// for confirmation. Plans account set argv[2], year argv[3] in the data directory argv[1], prints
// "planned", runs once a line (or the end) comes on standard input, and prints the failure or the
// journal's id. Exits 0 when the recompute succeeded and its end is journaled, 3 when its end could
// not be journaled, 2 when it failed.
#include "tests/support/FormDriver.h"

#include "db/ODBC.h"
#include "repair/BalanceRecompute.h"

#include <QApplication>

#include <cstdio>
#include <iostream>
#include <string>

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 4)
        return 2;
    FormDriver::useDataDirectory(QString::fromLocal8Bit(argv[1]));
    const QString accountSet = QString::fromLocal8Bit(argv[2]), year = QString::fromLocal8Bit(argv[3]);
    const repair::RecomputePlan plan = repair::planRecompute(ODBC::accountSetDatabaseName(accountSet, year));
    std::puts("planned");
    std::fflush(stdout);
    std::string line;
    std::getline(std::cin, line);
    const repair::RecomputeRun run = repair::runRecompute(accountSet, year, &plan);
    std::puts((run.failure.isEmpty() ? run.journal : run.failure).toUtf8().constData());
    if (!run.failure.isEmpty())
        return 2;
    return run.unrecorded.isEmpty() ? 0 : 3;
}
