// Test helper: one balance reset in a process of its own, so that a test can kill it or fail its
// syncs at any moment: resets account argv[4] from period argv[5] on in the database of account
// set argv[2], year argv[3], of the data directory argv[1]. Prints the journal's id; exits 0 when
// the reset succeeded and its end is journaled, 3 when its end could not be journaled, 2 when it
// failed or its database could not be opened. With a sixth argument "window" the reset is a press
// of 修正科目错误 in the window, its inputs picked and typed as a person does (argv[2] and argv[3]
// as the entries shown), and the boxes it showed are printed instead, one line each,
// "icon|prompt" with line breaks as "\n".
#include "tests/support/FormDriver.h"

#include "app/Form1.h"
#include "db/DbError.h"
#include "repair/BalanceReset.h"

#include <QApplication>
#include <QtTest>
#include <QtWidgets>

#include <cstdio>

namespace {

int pressInTheWindow(const QString &accountSet, const QString &year, const QString &code, const QString &period)
{
    Form1 form;
    form.show();
    if (!QTest::qWaitForWindowExposed(&form))
        return 2;
    FormDriver::pickFromList(form.Combo3, form.Combo4->findText(accountSet));
    FormDriver::pickFromList(form.Combo5, form.Combo5->findText(year));
    QTest::keyClicks(form.txtCode, code);
    FormDriver::pickFromList(form.Combo1, form.Combo1->findText(period));
    FormDriver::boxesShown();
    QTest::mouseClick(form.Command1, Qt::LeftButton);
    for (const QString &box : FormDriver::boxesShown())
        std::puts(box.section('|', 0, 0).append('|').append(box.section('|', 2)).replace("\r\n", "\\n").toUtf8().constData());
    return 0;
}

}  // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 6 && argc != 7)
        return 2;
    FormDriver::useDataDirectory(QString::fromLocal8Bit(argv[1]));
    const QString accountSet = QString::fromLocal8Bit(argv[2]), year = QString::fromLocal8Bit(argv[3]),
                  code = QString::fromLocal8Bit(argv[4]), period = QString::fromLocal8Bit(argv[5]);
    if (argc == 7)
        return pressInTheWindow(accountSet, year, code, period);
    repair::BalanceResetRun run;
    try {
        run = repair::resetBalances(accountSet, year, code, repair::resetPeriod(period));
    } catch (const db::DbError &error) {
        std::fputs(error.what(), stderr);
        return 2;
    }
    std::puts(run.journal.toUtf8().constData());
    if (run.result != repair::RunResult::Completed)
        return 2;
    return run.unrecorded.isEmpty() ? 0 : 3;
}
