// The journal window on real journals, made by real repairs on real database files: what its list
// and its rows show for each outcome, rows read a page at a time, undo through the keyboard with
// its recorded boxes, the list following other processes, and the option that opens it.
#include "support/DataFiles.h"
#include "support/DataDirectoryTest.h"
#include "support/FormDriver.h"
#include "support/OdbcFixture.h"
#include "support/JournalDriver.h"
#include "support/SqliteFixture.h"
#include "support/TestUser.h"

#include "app/JournalWindow.h"
#include "app/MessageBox.h"
#include "app/RepairListModel.h"
#include "cli/CommandLine.h"
#include "db/ODBC.h"
#include "demo/DemoData.h"
#include "repair/BalanceReset.h"
#include "repair/EndFlagRepair.h"
#include "repair/Journal.h"
#include "repair/JournalFormat.h"
#include "repair/JournalReader.h"
#include "repair/RepairText.h"
#include "repair/Undo.h"

#include <QtTest>
#include <QtWidgets>

namespace {

using JournalDriver::cell;
using JournalDriver::cellUnder;
using JournalDriver::headers;
using JournalDriver::rowText;
using JournalDriver::Walk;

// The journal id of the repair a row of the list shows.
QString idAt(const QTableView *list, int row)
{
    return qobject_cast<const RepairListModel *>(list->model())->repairAt(row).id;
}

}  // namespace

class JournalWindowTest : public DataDirectoryTest {
    Q_OBJECT
    std::unique_ptr<JournalWindow> m_window;

    QString balances() const { return yearDatabase(m_dir->path(), "007", "2031"); }

    // Balances in shapes nobody would make: amounts as text, fractions, NULL, negative, an integer
    // code beside padded and look-alike ones, an extra column, and a code repeated in one period.
    void writeBalances()
    {
        SqliteFixture::run(balances(),
                           "create table GL_accsum(ccode, iperiod integer, mb, mc, md, cnote text);"
                           "insert into GL_accsum values('1011', 1, 5, 0, 0, 'a');"
                           "insert into GL_accsum values('1011', 3, '12.50', -3.25, null, null);"
                           "insert into GL_accsum values('1011', 3, 1e15, 0, 7, 'dup');"
                           "insert into GL_accsum values('1011', 12, 0, 0, 0, 'zero');"
                           "insert into GL_accsum values(' 1011', 3, 9, 9, 9, 'padded');"
                           "insert into GL_accsum values('101101', 3, 4, 4, 4, 'sub');"
                           "insert into GL_accsum values(1011, 5, 8, 8, 8, 'integer code');"
                           "create table code(ccode text, bend);"
                           "insert into code values('1001', 1), ('100101', 1), ('10010101', 0), (1002, 'x'), ('1003 ', 0);");
    }

    repair::BalanceResetRun reset(const QString &period = "3")
    {
        QTest::qWait(2);  // journal ids are times: one repair per millisecond keeps them in order
        repair::BalanceResetRun run = repair::resetBalances("007", "2031", "1011", repair::resetPeriod(period));
        [&] { QCOMPARE(run.failure, QString()); }();
        return run;
    }

    repair::EndFlagRun walk(int stopAfter = -1)
    {
        QTest::qWait(2);
        Walk progress(stopAfter);
        return repair::repairEndFlags("007", "2031", progress);
    }

    void openWindow()
    {
        m_window = std::make_unique<JournalWindow>();
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        m_window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    }

    // Moves the list's selection to `row` with the arrow keys, from the top.
    void selectWithKeys(int row)
    {
        QTableView *list = m_window->repairList;
        list->setFocus();
        QTest::keyClick(list, Qt::Key_Home, Qt::ControlModifier);
        for (int i = 0; i < row; ++i)
            QTest::keyClick(list, Qt::Key_Down);
        QCOMPARE(list->selectionModel()->selectedRows().value(0).row(), row);
    }

    QString balanceRows() const { return SqliteFixture::select(balances(), "select rowid, * from GL_accsum order by rowid"); }

private slots:
    void initTestCase() { registerOdbcDriver(); }
    void init()
    {
        useFreshDataDirectory();
        writeBalances();
    }
    void cleanup()
    {
        endHelper();
        m_window.reset();
        removeDataDirectory();
    }

    // Each outcome as the list reads it, newest first, with the headers a screen reader announces.
    void listsEveryOutcome()
    {
        const repair::BalanceResetRun first = reset();
        walk();   // completed
        walk(2);  // stopped after its second row
        SqliteFixture::run(balances(), "update code set bend = 'y' where ccode in ('100101', '10010101');"
                                       "create trigger refuse before update on code when old.ccode = '10010101'"
                                       " begin select raise(abort, '不许改'); end;");
        const repair::EndFlagRun failed = walk();  // fails at its third row: codes are walked as text
        QCOMPARE(failed.result, repair::RunResult::Failed);
        QTest::qWait(2);
        const repair::UndoRun undo = repair::undoRepair(first.journal);
        QCOMPARE(undo.failure, QString());
        openWindow();

        QTableView *list = m_window->repairList;
        QCOMPARE(headers(list), QStringLiteral("时间 | 帐套、年度 | 操作人 | 计算机 | 修复 | 输入 | 改动行数 | 结果"));
        QCOMPARE(list->model()->rowCount(), 5);
        const QString where = QStringLiteral("帐套 007，2031 年度（LQDATA_007_2031）") + " | " + TestUser::loginName() + " | "
                              + TestUser::hostName();
        QCOMPARE(rowText(list, 0).section(" | ", 1), where + " | 撤销 " + first.journal + " |  | 3 | 完成");
        QVERIFY2(rowText(list, 1).section(" | ", 1).startsWith(where + " | 彻底根除 |  | "), qPrintable(rowText(list, 1)));
        const QString failedAt = cellUnder(list, 1, "结果");
        QVERIFY2(failedAt.startsWith("在第 3 行失败：") && failedAt.contains("不许改"), qPrintable(failedAt));
        QCOMPARE(cellUnder(list, 2, "结果"), QStringLiteral("写入 2 行后停止"));
        QCOMPARE(cellUnder(list, 3, "结果"), QStringLiteral("完成"));
        QCOMPARE(rowText(list, 4).section(" | ", 1),
                 where + " | 修正科目错误（已由 " + undo.journal + " 撤销） | 科目 1011，3 月起 | 3 | 完成");
        QVERIFY(QDateTime::fromString(cellUnder(list, 4, "时间"), "yyyy-MM-dd HH:mm:ss").isValid());
        // the newest is selected and shows its rows; the window's title names the folder
        QCOMPARE(list->selectionModel()->selectedRows().value(0).row(), 0);
        QCOMPARE(m_window->windowTitle(), "修复日志 — " + QDir::toNativeSeparators(m_dir->path()));

        QAccessibleInterface *table = QAccessible::queryAccessibleInterface(list);
        QVERIFY(table && table->tableInterface());
        QCOMPARE(table->role(), QAccessible::Table);
        QCOMPARE(table->tableInterface()->columnCount(), 8);
        QCOMPARE(table->tableInterface()->rowCount(), 5);
        const int outcome = JournalDriver::columnOf(list, "结果"), user = JournalDriver::columnOf(list, "操作人");
        QCOMPARE(table->tableInterface()->cellAt(2, outcome)->text(QAccessible::Name), QStringLiteral("写入 2 行后停止"));
        QAccessibleTableCellInterface *heading = table->tableInterface()->cellAt(2, outcome)->tableCellInterface();
        QCOMPARE(heading->columnHeaderCells().value(0)->text(QAccessible::Name), QStringLiteral("结果"));
        QCOMPARE(
            table->tableInterface()->cellAt(2, user)->tableCellInterface()->columnHeaderCells().value(0)->text(QAccessible::Name),
            QStringLiteral("操作人"));
    }

    // A journal an earlier version wrote names nobody: its 操作人 and 计算机 read "—".
    void earlierJournalNamesNobody()
    {
        JournalDriver::writeJournalOfAnEarlierVersion(repair::journalDirectory());
        openWindow();
        QTableView *list = m_window->repairList;
        QCOMPARE(list->model()->rowCount(), 1);
        QCOMPARE(cellUnder(list, 0, "操作人") + '|' + cellUnder(list, 0, "计算机") + '|' + cellUnder(list, 0, "修复"),
                 QStringLiteral("—|—|彻底根除"));
    }

    // A balance reset's rows: code and period, each amount before and as written, and what the
    // file holds now: as written, changed since, gone, or not readable at all.
    void rowsShowWhatTheDatabaseHoldsNow()
    {
        reset();
        SqliteFixture::run(balances(), "update GL_accsum set mc = 0.5 where cnote = 'dup';");
        openWindow();
        QTableView *rows = m_window->rowList;
        QCOMPARE(headers(rows), QStringLiteral("科目编码 | 月份 | 修复前 | 修复写入 | 现在"));
        const qint64 journaled = repair::countRows(repair::journalDirectory(), idAt(m_window->repairList, 0));
        QCOMPARE(journaled, qint64(3));  // the rows the reset changed: not the row it found at 0
        QTRY_COMPARE(rows->model()->rowCount(), 3);
        QCOMPARE(rowText(rows, 0),
                 QStringLiteral("1011 | 3 | mb=12.50 mc=-3.25 md=NULL | mb=0.00 mc=0.00 md=0.00 | mb=0.00 mc=0.00 md=0.00"));
        QCOMPARE(rowText(rows, 1),
                 QStringLiteral(
                     "1011 | 3 | mb=1,000,000,000,000,000.00 mc=0.00 md=7.00 | mb=0.00 mc=0.00 md=0.00 | mb=0.00 mc=0.50 md=0.00"));
        QCOMPARE(rowText(rows, 2),
                 QStringLiteral("1011 | 5 | mb=8.00 mc=8.00 md=8.00 | mb=0.00 mc=0.00 md=0.00 | mb=0.00 mc=0.00 md=0.00"));
        QCOMPARE(m_window->rowSummary->text(),
                 QStringLiteral("修复 %1 的日志记有 %2 行，已显示 %2 行。").arg(idAt(m_window->repairList, 0)).arg(journaled));
        QCOMPARE(rows->model()->index(0, 2).data(Qt::TextAlignmentRole), QVariant(Qt::AlignRight | Qt::AlignVCenter));

        // Ctrl+C copies the rows selected, the first and the last, under the headers; the list of
        // repairs, whose row picks the rows shown, takes one row
        rows->setFocus();
        QTest::mouseClick(rows->viewport(), Qt::LeftButton, {}, rows->visualRect(rows->model()->index(0, 0)).center());
        QTest::mouseClick(rows->viewport(), Qt::LeftButton, Qt::ControlModifier,
                          rows->visualRect(rows->model()->index(2, 0)).center());
        QGuiApplication::clipboard()->clear();
        QTest::keyClick(rows, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(),
                 QStringLiteral("科目编码\t月份\t修复前\t修复写入\t现在\n"
                                "1011\t3\tmb=12.50 mc=-3.25 md=NULL\tmb=0.00 mc=0.00 md=0.00\tmb=0.00 mc=0.00 md=0.00\n"
                                "1011\t5\tmb=8.00 mc=8.00 md=8.00\tmb=0.00 mc=0.00 md=0.00\tmb=0.00 mc=0.00 md=0.00\n"));
        QCOMPARE(m_window->repairList->selectionMode(), QAbstractItemView::SingleSelection);

        SqliteFixture::run(balances(), "delete from GL_accsum where cnote = 'dup';");
        QTest::keyClick(m_window.get(), Qt::Key_F5);
        QTRY_COMPARE(cell(rows, 1, 4), QStringLiteral("记录已不存在"));

        QVERIFY(QFile::rename(balances(), data("elsewhere.db")));
        m_window->refreshButton->click();
        QTRY_VERIFY(!cell(rows, 1, 4).isEmpty());
        QVERIFY2(cell(rows, 0, 4).startsWith("无法读取：") && cell(rows, 0, 4) == cell(rows, 1, 4), qPrintable(cell(rows, 0, 4)));
        QVERIFY2(cell(rows, 0, 4).contains("LQDATA_007_2031"), qPrintable(cell(rows, 0, 4)));
    }

    // After a VACUUM renumbered the rows, a row's old rowid finds another account's row: what the
    // window shows now is still the row's own (found as undo finds it), or that it is gone.
    void nowAfterVacuumIsTheRowsOwn()
    {
        SqliteFixture::run(balances(), "drop table GL_accsum; create table GL_accsum(ccode, iperiod integer, mb, mc, md);"
                                       "insert into GL_accsum values('0999', 1, 1, 1, 1), ('0999', 2, 1, 1, 1),"
                                       " ('1011', 9, 5, 6, 7), ('1011', 10, 8, 9, 10), ('1011', 11, 3, 3, 3),"
                                       " ('101101', 9, 50, 60, 70), ('101101', 10, 80, 90, 100);");
        reset("9");
        SqliteFixture::run(balances(), "delete from GL_accsum where ccode = '0999' or iperiod = 11; vacuum;"
                                       "update GL_accsum set mc = 4 where ccode = '1011' and iperiod = 10;");
        // 1011's rows were rowids 3 to 5; now 3 and 4 are 101101's
        QCOMPARE(SqliteFixture::select(balances(), "select rowid from GL_accsum where ccode = '101101' order by rowid"),
                 QStringLiteral("i:3\ni:4\n"));
        openWindow();
        QTableView *rows = m_window->rowList;
        QTRY_COMPARE(rows->model()->rowCount(), 3);
        QCOMPARE(rowText(rows, 0),
                 QStringLiteral("1011 | 9 | mb=5.00 mc=6.00 md=7.00 | mb=0.00 mc=0.00 md=0.00 | mb=0.00 mc=0.00 md=0.00"));
        QCOMPARE(rowText(rows, 1),
                 QStringLiteral("1011 | 10 | mb=8.00 mc=9.00 md=10.00 | mb=0.00 mc=0.00 md=0.00 | mb=0.00 mc=4.00 md=0.00"));
        QCOMPARE(rowText(rows, 2), QStringLiteral("1011 | 11 | mb=3.00 mc=3.00 md=3.00 | mb=0.00 mc=0.00 md=0.00 | 记录已不存在"));
    }

    // A walk's rows on a chart of 1,000 wrong flags are read a page at a time as the user scrolls
    // down with the keyboard, the last page short, each row once, in the walk's order.
    void rowsAreReadAPageAtATime()
    {
        QStringList inserts;
        for (int i = 0; i < 1000; ++i)
            inserts << QStringLiteral("insert into code values('%1', %2);").arg(5000 + i).arg(i % 2 ? "'9'" : "0");
        SqliteFixture::run(balances(), "delete from code;" + inserts.join(""));
        const repair::EndFlagRun run = walk();
        QCOMPARE(run.result, repair::RunResult::Completed);
        openWindow();
        QTableView *rows = m_window->rowList;
        QCOMPARE(headers(rows), QStringLiteral("科目编码 | 修复前 | 修复写入 | 现在"));
        QTRY_COMPARE(rows->model()->rowCount(), 256);
        QVERIFY(rows->model()->canFetchMore(QModelIndex()));
        QTest::keyClick(m_window->repairList, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), rows);
        for (int i = 0; i < 100 && rows->model()->rowCount() < 1000; ++i)
            QTest::keyClick(rows, Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(rows->model()->rowCount(), 1000);
        QVERIFY(!rows->model()->canFetchMore(QModelIndex()));
        QCOMPARE(rowText(rows, 0), QStringLiteral("5000 | 否（0） | 是（1） | 是（1）"));
        QCOMPARE(rowText(rows, 999), QStringLiteral("5999 | “9” | 是（1） | 是（1）"));
        QSet<QString> codes;
        for (int row = 0; row < 1000; ++row)
            codes << cell(rows, row, 0);
        QCOMPARE(codes.size(), 1000);
        QVERIFY2(m_window->rowSummary->text().endsWith("的日志记有 1000 行，已显示 1000 行。"),
                 qPrintable(m_window->rowSummary->text()));
    }

    // Undo from the keyboard: Enter asks first and the cancelled box changes nothing; Alt+U and
    // the accepted box put every amount back, value for value; the list then shows the undo, and
    // the undone repair can't be undone again.
    void undoFromTheKeyboard()
    {
        const QString before = balanceRows();
        const repair::BalanceResetRun resetRun = reset();
        walk();
        const QString afterReset = balanceRows();
        QVERIFY(afterReset != before);
        openWindow();
        selectWithKeys(1);
        QVERIFY(m_window->undoButton->isEnabled());

        QTest::keyClick(m_window->repairList, Qt::Key_Return);
        QList<MessageBox::Shown> shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].buttons, QStringList({"撤销(&U)", "取消"}));
        QCOMPARE(shown[0].title, MessageBox::ApplicationTitle);
        QVERIFY2(shown[0].prompt.startsWith("撤销修复 " + resetRun.journal
                                            + "（修正科目错误，帐套 007，2031 年度（LQDATA_007_2031），科目 1011，3 月起）吗？"),
                 qPrintable(shown[0].prompt));
        const qint64 journaled = repair::countRows(repair::journalDirectory(), resetRun.journal);
        QVERIFY2(shown[0].prompt.contains(QStringLiteral("日志记有 %1 行").arg(journaled)), qPrintable(shown[0].prompt));
        QCOMPARE(balanceRows(), afterReset);
        QCOMPARE(m_window->repairList->model()->rowCount(), 2);

        MessageBox::answerNext(0);
        QVERIFY(m_window->undoButton->isEnabled());
        QCOMPARE(QApplication::focusWidget(), m_window->repairList);
        QTest::keyClick(m_window->repairList, Qt::Key_U, Qt::AltModifier);
        QTRY_COMPARE(m_window->repairList->model()->rowCount(), 3);  // the button presses itself, on a timer
        shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 2);
        QCOMPARE(shown[0].buttons, QStringList({"撤销(&U)", "取消"}));
        QCOMPARE(shown[1].icon, MessageBox::Icon::None);
        QVERIFY2(shown[1].prompt.startsWith("已撤销修复 " + resetRun.journal + "：恢复 3 行。"), qPrintable(shown[1].prompt));
        QCOMPARE(balanceRows(), before);

        QTableView *list = m_window->repairList;
        QCOMPARE(list->model()->rowCount(), 3);
        QCOMPARE(cellUnder(list, 0, "修复"), "撤销 " + resetRun.journal);
        QCOMPARE(list->selectionModel()->selectedRows().value(0).row(), 2);  // still the reset
        QVERIFY2(cellUnder(list, 2, "修复").startsWith("修正科目错误（已由 "), qPrintable(cellUnder(list, 2, "修复")));
        QVERIFY(!m_window->undoButton->isEnabled());
        QTRY_COMPARE(cell(m_window->rowList, 0, 4), QStringLiteral("mb=12.50 mc=-3.25 md=NULL"));

        QTest::keyClick(list, Qt::Key_Enter);
        shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].prompt, "修复 " + resetRun.journal + " 已由 " + idAt(list, 0) + " 撤销过，不再重复撤销。");
        QCOMPARE(balanceRows(), before);
        QCOMPARE(list->model()->rowCount(), 3);
    }

    // Rows another program changed after the reset are left alone and listed with the reason and
    // their value now; a row the reset found at 0 needed nothing. An undo that fails changes
    // nothing and says why.
    void undoReportsRowsLeftAloneAndFailures()
    {
        const QString before = balanceRows();
        reset("1");
        SqliteFixture::run(balances(), "update GL_accsum set md = 99 where cnote = 'dup';");
        openWindow();
        MessageBox::answerNext(0);
        m_window->undoButton->click();
        QList<MessageBox::Shown> shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 2);
        QVERIFY2(shown[1].prompt.contains("恢复 3 行，以下 1 行未恢复："), qPrintable(shown[1].prompt));
        QVERIFY2(shown[1].prompt.contains(
                     "\n1011，3 月：修复之后已被改动（修复前 mb=1,000,000,000,000,000.00 mc=0.00 md=7.00，修复写入 mb=0.00 mc=0.00 md=0.00，"
                     "现为 mb=0.00 mc=0.00 md=99.00）"),
                 qPrintable(shown[1].prompt));
        QCOMPARE(SqliteFixture::select(balances(), "select mb, md from GL_accsum where cnote = 'dup'"), "i:0|i:99\n");

        reset("3");
        SqliteFixture::run(balances(), "alter table GL_accsum rename to moved;");
        const QString moved = SqliteFixture::dump(balances(), "moved");
        QTest::keyClick(m_window.get(), Qt::Key_F5);
        selectWithKeys(0);
        MessageBox::answerNext(0);
        QTest::keyClick(m_window->repairList, Qt::Key_Return);
        shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 2);
        QCOMPARE(shown[1].icon, MessageBox::Icon::Critical);
        QVERIFY2(shown[1].prompt.contains("失败，未做任何改动：\n") && shown[1].prompt.contains("GL_accsum"),
                 qPrintable(shown[1].prompt));
        QCOMPARE(SqliteFixture::dump(balances(), "moved"), moved);
        Q_UNUSED(before);
    }

    // A journal whose old value was edited by hand to 999999.99: the window refuses at once, in one
    // box naming the journal file, without asking, and writes nothing.
    void editedJournalRefusedBeforeAsking()
    {
        const repair::BalanceResetRun run = reset();
        const QString path = repair::journalformat::journalPath(repair::journalDirectory(), run.journal);
        SqliteFixture::run(path, "update row set old0='999999.99' where seq=1");
        const QString afterReset = balanceRows();
        openWindow();
        m_window->undoButton->click();
        const QList<MessageBox::Shown> shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].icon, MessageBox::Icon::Critical);
        QVERIFY2(shown[0].prompt.contains(QDir::toNativeSeparators(path) + " 与修复时写下的不一致"), qPrintable(shown[0].prompt));
        QCOMPARE(balanceRows(), afterReset);
        QCOMPARE(m_window->repairList->model()->rowCount(), 1);
    }

    // Another process undoes the reset while the window still offers it: the undo refuses, the
    // box says so and that nothing changed, and the list then names the other undo.
    void undoneElsewhereMeanwhile()
    {
        const repair::BalanceResetRun first = reset();
        openWindow();
        QVERIFY(m_window->undoButton->isEnabled());
        m_helper.start(N3FIX, {"--undo", first.journal, "--data-dir", m_dir->path()});
        QVERIFY(m_helper.waitForFinished(60000) && m_helper.exitCode() == 0);
        const QString undone = balanceRows();
        MessageBox::answerNext(0);
        QTest::keyClick(m_window->repairList, Qt::Key_Return);  // before the window hears of it
        const QList<MessageBox::Shown> shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 2);
        QCOMPARE(shown[1].icon, MessageBox::Icon::Critical);
        QVERIFY2(shown[1].prompt.startsWith("撤销修复 " + first.journal + " 失败，未做任何改动：\n"), qPrintable(shown[1].prompt));
        QVERIFY2(shown[1].prompt.contains(idAt(m_window->repairList, 0)), qPrintable(shown[1].prompt));
        QCOMPARE(balanceRows(), undone);
        QCOMPARE(m_window->repairList->model()->rowCount(), 2);
        QVERIFY(!m_window->undoButton->isEnabled());
    }

    // Tab moves from the list to the rows and on to the buttons; the labels name the tables.
    void tabOrderAndNames()
    {
        reset();
        openWindow();
        QCOMPARE(QApplication::focusWidget(), m_window->repairList);
        QStringList order;
        for (int i = 0; i < 4; ++i) {
            order << QApplication::focusWidget()->accessibleName() + QApplication::focusWidget()->property("text").toString();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        QCOMPARE(order, QStringList({"修复记录", "改动的记录", "撤销(&U)", "刷新 (F5)"}));
        QCOMPARE(m_window->repairListLabel->buddy(), m_window->repairList);
        QCOMPARE(m_window->rowListLabel->buddy(), m_window->rowList);
    }

    // Before the first repair there is no journal folder: the window says so, offers no undo, and
    // lists the first repair that another process makes.
    void emptyUntilTheFirstRepair()
    {
        openWindow();
        QCOMPARE(m_window->repairList->model()->rowCount(), 0);
        QVERIFY(!m_window->undoButton->isEnabled());
        QCOMPARE(m_window->rowSummary->text(), "日志目录 " + QDir::toNativeSeparators(data("journal")) + " 中没有修复记录。");
        QTest::keyClick(m_window->repairList, Qt::Key_Return);
        QCOMPARE(MessageBox::takeShown().size(), 0);
        writeSystemDatabase(systemDatabase(m_dir->path()), {{"007", "异形", {2031}, {}}});
        m_helper.start(N3FIX, {"--reset-balance", "--account-set", "007", "--year", "2031", "--code", "1011", "--from-period",
                               "3", "--data-dir", m_dir->path()});
        QVERIFY(m_helper.waitForFinished(60000) && m_helper.exitCode() == 0);
        QTRY_COMPARE(m_window->repairList->model()->rowCount(), 1);
        QCOMPARE(cellUnder(m_window->repairList, 0, "输入"), QStringLiteral("科目 1011，3 月起"));
    }

    // A reset a trigger refused rolled back and wrote nothing; so did a walk that failed at its first
    // row. The list says so, and 撤销 is off for both, as --undo refuses them: Enter says why.
    void repairsThatWroteNothingCannotBeUndone()
    {
        SqliteFixture::run(balances(),
                           "create trigger refuse before update on GL_accsum begin select raise(abort, '不许改'); end;"
                           "create trigger refuse_code before update on code begin select raise(abort, '不许改'); end;");
        QCOMPARE(repair::resetBalances("007", "2031", "1011", repair::resetPeriod("3")).result, repair::RunResult::Failed);
        QCOMPARE(walk().result, repair::RunResult::Failed);
        openWindow();
        QTableView *list = m_window->repairList;
        QCOMPARE(list->model()->rowCount(), 2);
        QCOMPARE(cellUnder(list, 0, "结果"), QStringLiteral("在第 1 行失败：科目 1001：不许改"));
        QCOMPARE(cellUnder(list, 1, "结果"), QStringLiteral("失败，未改动任何记录：不许改 Unable to fetch row"));
        for (int row : {0, 1}) {
            selectWithKeys(row);
            QVERIFY(!m_window->undoButton->isEnabled());
            QTest::keyClick(list, Qt::Key_Return);
            const QList<MessageBox::Shown> shown = MessageBox::takeShown();
            QCOMPARE(shown.size(), 1);
            QCOMPARE(shown[0].prompt,
                     repair::RepairText::whyNotUndoable(qobject_cast<const RepairListModel *>(list->model())->repairAt(row)));
            QVERIFY2(shown[0].prompt.contains("没有改动任何记录，无需撤销"), qPrintable(shown[0].prompt));
        }
    }

    // A walk running in another process is 正在进行 and can't be undone; killed, it never
    // recorded its end and can be undone.
    void runningRepairCannotBeUndone()
    {
        writeSystemDatabase(systemDatabase(m_dir->path()), {{"007", "异形", {2031}, {}}});
        QStringList inserts;
        for (int i = 0; i < 3000; ++i)
            inserts << QStringLiteral("insert into code values('%1', 0);").arg(7000 + i);
        SqliteFixture::run(balances(), inserts.join(""));
        m_helper.start(N3_WALK_RUNNER, {m_dir->path(), "2031", "8500"});
        QVERIFY(m_helper.waitForReadyRead(120000) && m_helper.readAll() == "holding\n");
        openWindow();
        QTableView *list = m_window->repairList;
        QCOMPARE(list->model()->rowCount(), 1);
        QCOMPARE(cellUnder(list, 0, "结果"), QStringLiteral("正在进行"));
        QVERIFY(!m_window->undoButton->isEnabled());
        QTest::keyClick(list, Qt::Key_Return);
        const QList<MessageBox::Shown> shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown[0].prompt.endsWith("仍在进行中，不能撤销。请等它结束后再撤销。"), qPrintable(shown[0].prompt));

        m_helper.kill();
        QVERIFY(m_helper.waitForFinished());
        QTRY_COMPARE(cellUnder(list, 0, "结果"), QStringLiteral("未记录结束"));
        QVERIFY(m_window->undoButton->isEnabled());
    }

    // Through the real ODBC driver manager the window shows the server's repairs only, though the
    // embedded engine's default folder keeps its journals in the same place; it reads the values
    // now through the driver, and undoes through it.
    void odbcShowsItsOwnRepairs()
    {
        OdbcFixture::useDemoDatabases(data("odbc"));
        const QString file = "LQDATA_001_2007";
        const QString before = SqliteFixture::dump(file, "GL_accsum");
        const QString code = before.section('|', 0, 0).mid(3).chopped(1);
        const repair::BalanceResetRun odbcReset = repair::resetBalances("001", "2007", code, repair::resetPeriod("1"));
        QCOMPARE(odbcReset.failure, QString());
        QVERIFY(SqliteFixture::dump(file, "GL_accsum") != before);
        const QString home = db::defaultDataDirectory();
        QVERIFY(QDir().mkpath(home) && QFile::copy(balances(), home + "/LQDATA_007_2031.db"));
        ODBC::setEngine({db::EngineKind::Embedded, home});
        reset();
        ODBC::setEngine({db::EngineKind::Odbc, QString()});
        QCOMPARE(repair::listRepairs(repair::journalDirectory()).size(), 2);

        openWindow();
        QCOMPARE(m_window->windowTitle(), QStringLiteral("修复日志 — ODBC（SQL Server）"));
        QTableView *list = m_window->repairList, *rows = m_window->rowList;
        QCOMPARE(list->model()->rowCount(), 1);
        QCOMPARE(idAt(list, 0), odbcReset.journal);
        QTRY_VERIFY(rows->model()->rowCount() > 0);
        for (int row = 0; row < rows->model()->rowCount(); ++row)
            QCOMPARE(cell(rows, row, 4), cell(rows, row, 3));

        MessageBox::answerNext(0);
        m_window->undoButton->click();
        const QList<MessageBox::Shown> shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 2);
        QVERIFY2(shown[1].prompt.startsWith("已撤销修复 " + odbcReset.journal), qPrintable(shown[1].prompt));
        QCOMPARE(SqliteFixture::dump(file, "GL_accsum"), before);
        QCOMPARE(list->model()->rowCount(), 2);
    }

    // The option that opens the window, with the engine choices of the main window, and refused
    // beside a command.
    void commandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("expected");  // action|engine|data directory, or the error
        const QString demo = db::demoDataDirectory();
        QTest::newRow("alone") << QStringList{"--journal-window"} << "journal|embedded|" + db::defaultDataDirectory();
        QTest::newRow("data dir") << QStringList{"--journal-window", "--data-dir", "@/帐 套 -1"} << "journal|embedded|@/帐 套 -1";
        QTest::newRow("missing data dir") << QStringList{"--journal-window", "--data-dir", "@/无"} << "数据目录不存在：@/无";
        QTest::newRow("demo") << QStringList{"--demo", "--journal-window"} << "journal|embedded|" + demo;
        QTest::newRow("odbc") << QStringList{"--journal-window", "--odbc"} << "journal|odbc|" + db::defaultDataDirectory();
        QTest::newRow("single dash") << QStringList{"-journal-window"} << "journal|embedded|" + db::defaultDataDirectory();
        QTest::newRow("with a command") << QStringList{"--journal-window", "--journal"}
                                        << "--journal-window 打开修复日志窗口，不能与命令选项同用。";
        QTest::newRow("with json") << QStringList{"--journal-window", "--json"}
                                   << "--json 只用于命令（--check、--repair-end-flags、--journal、--undo、--check-balances、--reset-balance、"
                                      "--recompute-balances）。";
        QTest::newRow("two engines") << QStringList{"--journal-window", "--odbc", "--demo"}
                                     << "--data-dir、--odbc 和 --demo 只能选一个（--server 和 --sql-login 都指 SQL Server）。";
        QTest::newRow("help wins") << QStringList{"--journal-window", "--help"} << "help";
    }
    void commandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, expected);
        QVERIFY(QDir().mkpath(data("帐 套 -1")));
        QCOMPARE(startRead(arguments, cli::Action::JournalWindow, "journal"), expected.replace("@", m_dir->path()));
    }

    // The real program: refused beside a command with its message and status 2; opened on a data
    // directory, it stays up until it is closed.
    void programOpensTheWindow()
    {
        DataDirectoryTest::programOpensTheWindow(N3FIX, {"--journal-window", "--undo", "x"}, {"--journal-window"});
    }
};

QTEST_MAIN(JournalWindowTest)
#include "tst_journal_window.moc"
