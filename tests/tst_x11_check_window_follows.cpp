// The check-and-repair window keeps itself current, on a real X server (Xvfb, Qt's xcb platform)
// with real boxes answered by real keys: a repair by the command line, an undo in the journal
// window beside it, and a walk whose program is killed each bring their database's row up to date
// without F5, keeping the row selected and the list where it was scrolled, also where no repair had
// made the journal folder yet; a database no repair touched keeps what was read of it; nothing is
// checked while the window's own question or another window's box is open; and the window's own
// repair is checked once.
#include "support/DataFiles.h"
#include "support/BoxAnswerer.h"
#include "support/DataDirectoryTest.h"
#include "support/JournalDriver.h"
#include "support/LedgerFixture.h"
#include "support/ProcessRun.h"
#include "support/SqliteFixture.h"

#include "app/CheckWindow.h"
#include "app/JournalWindow.h"
#include "app/MessageBox.h"
#include "app/WindowHub.h"
#include "demo/DemoData.h"

#include <QtTest>
#include <QtWidgets>

namespace {

using JournalDriver::cell;
using JournalDriver::cellUnder;
using JournalDriver::rowText;

// Books in which one parent account holds less than its sub-accounts: in period 1, 1001 holds
// mb 120, md 10, mc 5, while 100101 holds 100, 10, 5 and 100102 holds 50, 0, 0. Every flag is
// right (1001 has sub-accounts, the others none), no balance row lacks its account and none is
// missing. The balance check finds 1001 in period 1 (mb 120 against 150); the recompute writes 150
// there, and the books then agree throughout.
constexpr char ShortBooks[] = "insert into code values('1001', 0), ('100101', 1), ('100102', 1);"
                              "insert into GL_accsum values('100101', 1, 100, 10, 5), ('100102', 1, 50, 0, 0),"
                              " ('1001', 1, 120, 10, 5);";

// The list's columns after the year for those books: wrong flags, disagreements, missing rows,
// rows without an account, and the note; before the recompute and after it.
const QString Disagreeing = QStringLiteral("0 | 1 个科目，1 个期间 | 0 | 0 | 可以按下级科目重算");
const QString Agreeing = QStringLiteral("0 | 0 | 0 | 0 | 没有发现问题");

const BoxAnswerer::Answer PressAltR = BoxAnswerer::press(Qt::Key_R, Qt::AltModifier);
const BoxAnswerer::Answer PressAltE = BoxAnswerer::press(Qt::Key_E, Qt::AltModifier);
const BoxAnswerer::Answer PressAltU = BoxAnswerer::press(Qt::Key_U, Qt::AltModifier);

// A chart's rows for an insert: `codes` codes of one length from 100000 on, every flag 0 but the
// last. Each is an end-level account, so every 0 is wrong.
QString longChart(int codes)
{
    QStringList rows;
    for (int i = 0; i < codes; ++i)
        rows << QStringLiteral("('%1', %2)").arg(100000 + i).arg(i + 1 == codes ? 1 : 0);
    return rows.join(',');
}

// Long enough for a check the window had wrongly queued to show in the list.
constexpr int QuietMs = 2000;

}  // namespace

class X11CheckWindowFollows : public DataDirectoryTest {
    Q_OBJECT
    std::unique_ptr<CheckWindow> m_window;

    QString books(int year) const { return data(QStringLiteral("LQDATA_007_%1.db").arg(year)); }

    void openWindow()
    {
        m_window = std::make_unique<CheckWindow>();
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        m_window->activateWindow();  // no window manager to do it
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
        QTRY_VERIFY_WITH_TIMEOUT(!m_window->busy(), 60000);
    }

    // The row that shows `year`'s database, found by what its year column reads.
    int rowOf(int year) const
    {
        for (int row = 0; row < m_window->databaseList->model()->rowCount(); ++row)
            if (cell(m_window->databaseList, row, 1) == QStringLiteral("%1（LQDATA_007_%1）").arg(year))
                return row;
        return -1;
    }

    // What the list shows of `year`'s database after its year column.
    QString findings(int year) const { return rowText(m_window->databaseList, rowOf(year)).section(QStringLiteral(" | "), 2); }

    int selectedRow() const { return m_window->databaseList->selectionModel()->currentIndex().row(); }

    // F5 in the list, with the window given the keyboard back first, as a window manager would
    // after another window or a box had it; then the check of every database to its end.
    void checkAllWithF5()
    {
        m_window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
        QTest::keyClick(m_window->databaseList, Qt::Key_F5);
        QVERIFY(m_window->busy());
        QTRY_VERIFY_WITH_TIMEOUT(!m_window->busy(), 60000);
    }

    // n3fix on the test's data directory, as a program of its own.
    ProcessRun n3fix(const QStringList &arguments) const { return runOnData(N3FIX, m_dir->path(), arguments); }

private slots:
    void initTestCase() { QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb")); }
    void init()
    {
        useFreshDataDirectory();
        MessageBox::setRecording(false);
    }
    void cleanup()
    {
        endHelper();
        m_window.reset();
        WindowHub::deleteAll();  // the journal window its button opened
        removeDataDirectory();
    }

    // Forty years, two with books: the second last recomputed by the command line, then undone in
    // the journal window, then mended behind the window's back; the last changed behind its back,
    // then its flags rebuilt by the command line. Each row changes with its own repairs only.
    void followsRepairsAndUndosMadeElsewhere()
    {
        QVector<int> years;
        for (int year = 2001; year <= 2040; ++year)
            years << year;
        writeSystemDatabase(systemDatabase(m_dir->path()), {{"007", "异形", years, {}}});
        for (int year : {2039, 2040})
            SqliteFixture::run(books(year), QString(LedgerFixture::TypicalTables) + ShortBooks);
        openWindow();
        QTableView *list = m_window->databaseList;
        QCOMPARE(list->model()->rowCount(), 40);
        QCOMPARE(findings(2039), Disagreeing);
        QCOMPARE(findings(2040), Disagreeing);
        QVERIFY(!QFileInfo::exists(data("journal")));  // no repair made yet, so no journal folder

        // 2039 chosen with the keys, the list scrolled down to it
        list->setFocus();
        QTest::keyClick(list, Qt::Key_Home, Qt::ControlModifier);
        while (selectedRow() != rowOf(2039))
            QTest::keyClick(list, Qt::Key_Down);
        const int scrolled = list->verticalScrollBar()->value();
        QVERIFY(scrolled > 0);
        QCOMPARE(rowText(m_window->disagreementsList, 0), QStringLiteral("1001 | 1 | mb | 120.00 | 150.00 | -30.00"));

        // 2040's balances are mended and a flag made wrong behind the window's back; no repair of
        // it ends, so the window goes on showing what it read
        SqliteFixture::run(books(2040),
                           "update GL_accsum set mb = 150 where ccode = '1001'; update code set bend = 1 where ccode = '1001';");

        const ProcessRun recompute = n3fix({"--recompute-balances", "--account-set", "007", "--year", "2039"});
        QVERIFY2(recompute.status == 0, recompute.err.constData());
        QTRY_COMPARE_WITH_TIMEOUT(findings(2039), Agreeing, 30000);
        QCOMPARE(selectedRow(), rowOf(2039));
        QCOMPARE(list->verticalScrollBar()->value(), scrolled);
        QCOMPARE(m_window->disagreementsList->model()->rowCount(), 0);
        QCOMPARE(m_window->disagreementsLabel->text(), QStringLiteral("总账和明细账不符(&D)：0 处"));

        // 修复日志, the recompute at its top; 撤销 with the box's Alt+U. While the report box is up,
        // the check window waits.
        QTest::mouseClick(m_window->journalButton, Qt::LeftButton);
        auto *journal = qobject_cast<JournalWindow *>(WindowHub::open(WindowHub::Window::Journal));
        QVERIFY(journal && QTest::qWaitForWindowExposed(journal));
        QCOMPARE(journal->repairList->model()->rowCount(), 1);
        QCOMPARE(cellUnder(journal->repairList, 0, "修复"), QStringLiteral("按下级科目重算"));
        QString behindTheReport;
        {
            BoxAnswerer answerer({PressAltU, [&](QWidget *box) {
                                      QTest::qWait(QuietMs);
                                      behindTheReport = findings(2039);
                                      QTest::keyClick(box, Qt::Key_Return);
                                  }});
            QTest::mouseClick(journal->undoButton, Qt::LeftButton);
            QTRY_COMPARE(answerer.shown.size(), 2);
            QVERIFY2(answerer.shown[1].contains("|已撤销修复 "), qPrintable(answerer.shown[1]));
        }
        QCOMPARE(behindTheReport, Agreeing);
        QTRY_COMPARE_WITH_TIMEOUT(findings(2039), Disagreeing, 30000);
        QCOMPARE(selectedRow(), rowOf(2039));
        QCOMPARE(list->verticalScrollBar()->value(), scrolled);
        QCOMPARE(rowText(m_window->disagreementsList, 0), QStringLiteral("1001 | 1 | mb | 120.00 | 150.00 | -30.00"));

        // 2040 was checked at the start and never again
        QTRY_VERIFY(!m_window->busy());
        QTest::qWait(QuietMs);
        QCOMPARE(findings(2040), Disagreeing);
        QCOMPARE(m_window->status->text(), QStringLiteral("已重新检查帐套 007，2039 年度（LQDATA_007_2039）。"));

        // now 2039 is mended behind the window's back, and 2040's flags rebuilt by the command line:
        // 2040 shows all its books agree, 2039 what was read of it after its undo
        SqliteFixture::run(books(2039), "update GL_accsum set mb = 150 where ccode = '1001';");
        const ProcessRun endFlags = n3fix({"--repair-end-flags", "--account-set", "007", "--year", "2040"});
        QVERIFY2(endFlags.status == 0, endFlags.err.constData());
        QTRY_COMPARE_WITH_TIMEOUT(findings(2040), Agreeing, 30000);
        QTRY_VERIFY(!m_window->busy());
        QTest::qWait(QuietMs);
        QCOMPARE(findings(2039), Disagreeing);
        QCOMPARE(selectedRow(), rowOf(2039));
        QCOMPARE(list->verticalScrollBar()->value(), scrolled);
        checkAllWithF5();
        QCOMPARE(findings(2039), Agreeing);
        QCOMPARE(findings(2040), Agreeing);
    }

    // A repair that ends while the window asks its own question waits for the answer; the window's
    // own repair is checked once, after it, and not again when its journal is seen to end.
    void waitsForItsBoxAndChecksItsOwnRepairOnce()
    {
        writeSystemDatabase(systemDatabase(m_dir->path()), {{"007", "异形", {2031, 2032}, {}}});
        for (int year : {2031, 2032})
            SqliteFixture::run(books(year), QString(LedgerFixture::TypicalTables) + ShortBooks);
        openWindow();
        QCOMPARE(selectedRow(), rowOf(2031));

        // 按下级科目重算 on 2031; while its question is up, the command line recomputes 2032
        QString whileAsking;
        {
            BoxAnswerer answerer({[&](QWidget *box) {
                const ProcessRun recompute = n3fix({"--recompute-balances", "--account-set", "007", "--year", "2032"});
                QVERIFY2(recompute.status == 0, recompute.err.constData());
                QTest::qWait(QuietMs);
                whileAsking = findings(2032);
                QTest::keyClick(box, Qt::Key_Escape);
            }});
            QTest::mouseClick(m_window->recomputeButton, Qt::LeftButton);
            QTRY_COMPARE(answerer.shown.size(), 1);
        }
        QCOMPARE(whileAsking, Disagreeing);
        QTRY_COMPARE_WITH_TIMEOUT(findings(2032), Agreeing, 30000);
        QCOMPARE(findings(2031), Disagreeing);  // its question was cancelled
        QCOMPARE(selectedRow(), rowOf(2031));

        // now confirmed; once it is checked, its books change behind the window's back: a second
        // check for the same repair would show it
        {
            BoxAnswerer answerer({PressAltR, PressEnter});
            QTest::mouseClick(m_window->recomputeButton, Qt::LeftButton);
            QTRY_COMPARE(answerer.shown.size(), 2);
            QTRY_VERIFY(!m_window->busy());
        }
        QCOMPARE(findings(2031), Agreeing);
        SqliteFixture::run(books(2031), "update GL_accsum set mb = 120 where ccode = '1001';");
        QTest::qWait(QuietMs);
        QCOMPARE(findings(2031), Agreeing);
        checkAllWithF5();
        QCOMPARE(findings(2031), Disagreeing);
    }

    // A repair that ends while the window's own walk runs waits for the walk, its box and the check
    // behind it.
    void waitsForItsOwnRepair()
    {
        writeSystemDatabase(systemDatabase(m_dir->path()), {{"007", "异形", {2031, 2032}, {}}});
        SqliteFixture::run(books(2031), QString(LedgerFixture::TypicalTables) + "insert into code values" + longChart(60000) + ';');
        SqliteFixture::run(books(2032), QString(LedgerFixture::TypicalTables) + ShortBooks);
        openWindow();
        QCOMPARE(selectedRow(), rowOf(2031));
        BoxAnswerer answerer({PressAltE, PressEnter});
        QList<qsizetype> boxesWhenChecked;  // boxes shown by the time 2032's row changed
        connect(m_window->databaseList->model(), &QAbstractItemModel::dataChanged, &answerer,
                [&](const QModelIndex &from, const QModelIndex &to) {
                    if (from.row() <= rowOf(2032) && rowOf(2032) <= to.row())
                        boxesWhenChecked << answerer.shown.size();
                });
        QTest::mouseClick(m_window->endFlagsButton, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(m_window->status->text().startsWith(QStringLiteral("正在重建")), 60000);
        const ProcessRun recompute = n3fix({"--recompute-balances", "--account-set", "007", "--year", "2032"});
        QVERIFY2(recompute.status == 0, recompute.err.constData());
        QVERIFY(m_window->status->text().startsWith(QStringLiteral("正在重建")));  // the walk outlasts it
        QTRY_COMPARE_WITH_TIMEOUT(findings(2032), Agreeing, 120000);
        QCOMPARE(boxesWhenChecked, QList<qsizetype>({2}));  // the question and the walk's report
        QCOMPARE(findings(2031), QStringLiteral("0 | 0 | 0 | 0 | 没有发现问题"));
    }

    // A walk in another program holds its journal's lock while the window opens; killed, it never
    // records its end, and the row stops naming it by itself.
    void followsARepairWhoseProgramDies()
    {
        writeSystemDatabase(systemDatabase(m_dir->path()), {{"007", "异形", {2031}, {}}});
        SqliteFixture::run(books(2031), QString(LedgerFixture::TypicalTables) + "insert into code values" + longChart(3000) + ';');
        m_helper.start(N3_WALK_RUNNER, {m_dir->path(), "2031", "101500"});
        QVERIFY(m_helper.waitForReadyRead(120000) && m_helper.readAll() == "holding\n");
        openWindow();
        QTableView *list = m_window->databaseList;
        QVERIFY2(cell(list, 0, 6).startsWith(QStringLiteral("另一个程序正在修复这个数据库（彻底根除，修复日志 ")),
                 qPrintable(cell(list, 0, 6)));

        m_helper.kill();
        QVERIFY(m_helper.waitForFinished());
        QTRY_COMPARE_WITH_TIMEOUT(cell(list, 0, 6), QStringLiteral("可以重建末级标志"), 30000);
        const QString wrong = SqliteFixture::select(books(2031), "select count(*) from code where bend <> 1");
        QCOMPARE("i:" + cell(list, 0, 2) + '\n', wrong);
        QVERIFY(wrong != "i:2999\n");  // the walk had written some
    }
};

QTEST_MAIN(X11CheckWindowFollows)
#include "tst_x11_check_window_follows.moc"
