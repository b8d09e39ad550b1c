// The check-and-repair window on real database files, its boxes recorded: what it lists for every
// account set's year, unreadable databases among them; the findings of the selected one, read as
// tables with headers; the keyboard; a locked database and a repair running in another process,
// each named in one box with nothing changed; a walk stopped by closing the window; the real ODBC
// driver manager in the worker threads; and the option that opens it.
#include "support/DataFiles.h"
#include "support/DataDirectoryTest.h"
#include "support/FormDriver.h"
#include "support/JournalDriver.h"
#include "support/LedgerFixture.h"
#include "support/OdbcFixture.h"
#include "support/SqliteFixture.h"

#include "app/AmountColumnsSetting.h"
#include "app/CheckWindow.h"
#include "app/MessageBox.h"
#include "cli/CommandLine.h"
#include "db/ODBC.h"
#include "demo/DemoData.h"
#include "repair/Journal.h"
#include "repair/JournalReader.h"

#include <QtTest>
#include <QtWidgets>

namespace {

using JournalDriver::cell;
using JournalDriver::headers;
using JournalDriver::rowText;

// A recorded box as "style|prompt".
QStringList boxes()
{
    QStringList shown;
    for (const MessageBox::Shown &box : MessageBox::takeShown())
        shown << FormDriver::iconText(box.icon) + '|' + box.prompt;
    return shown;
}

}  // namespace

class CheckWindowTest : public DataDirectoryTest {
    Q_OBJECT
    std::unique_ptr<CheckWindow> m_window;

    QString books() const { return yearDatabase(m_dir->path(), "007", "2031"); }

    void openWindow()
    {
        m_window = std::make_unique<CheckWindow>();
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        m_window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
        QTRY_VERIFY_WITH_TIMEOUT(!m_window->busy(), 60000);
    }

    // Moves the list's selection to `row` with the arrow keys, from the top.
    void selectWithKeys(int row)
    {
        QTableView *list = m_window->databaseList;
        list->setFocus();
        QTest::keyClick(list, Qt::Key_Home, Qt::ControlModifier);
        for (int i = 0; i < row; ++i)
            QTest::keyClick(list, Qt::Key_Down);
        QCOMPARE(list->selectionModel()->currentIndex().row(), row);
    }

    // A chart of `codes` codes, every flag 0 but the last: all but the last are wrong.
    void writeLongChart(int codes)
    {
        QStringList rows;
        for (int i = 0; i < codes; ++i)
            rows << QStringLiteral("('%1', %2)").arg(100000 + i).arg(i + 1 == codes ? 1 : 0);
        SqliteFixture::run(books(), QString(LedgerFixture::TypicalTables) + "insert into code values" + rows.join(',') + ';');
    }

private slots:
    void initTestCase() { registerOdbcDriver(); }
    void init() { useFreshDataDirectory(); }
    void cleanup()
    {
        endHelper();
        m_window.reset();
        removeDataDirectory();
    }

    // Every account set's live year, one row each, in the system database's order, those that
    // can't be read saying why; the selected one's findings below, and the headers a screen reader
    // reads with every cell.
    void listsEveryDatabase()
    {
        writeSystemDatabase(systemDatabase(m_dir->path()),
                            {{"007", "异形", {2031, 2032, 2033}, {2030}}, {"008", "空壳", {2031}, {}}});
        SqliteFixture::run(books(), QString(LedgerFixture::TypicalTables) + LedgerFixture::PlantedBooks);
        SqliteFixture::run(yearDatabase(m_dir->path(), "007", "2033"),
                           "create table code(ccode text, bend integer); insert into code values('1', 1);");
        QFile garbage(yearDatabase(m_dir->path(), "008", "2031"));
        QVERIFY(garbage.open(QIODevice::WriteOnly) && garbage.write(QByteArray(4096, 'x')) == 4096);
        garbage.close();
        openWindow();

        QTableView *list = m_window->databaseList;
        QCOMPARE(headers(list),
                 QStringLiteral("帐套 | 年度（数据库） | 末级标志错误 | 总账和明细账不符 | 缺少余额行 | 无科目的余额行 | 说明"));
        QCOMPARE(list->model()->rowCount(), 4);
        QCOMPARE(rowText(list, 0), QStringLiteral("007(异形) | 2031（LQDATA_007_2031） | 2 | 2 个科目，2 个期间 | 1 | 1 | "
                                                  "可以重建末级标志、按下级科目重算"));
        QVERIFY2(rowText(list, 1).startsWith(
                     QStringLiteral("007(异形) | 2032（LQDATA_007_2032） | — | — | — | — | 无法读取：数据库文件不存在："))
                     && rowText(list, 1).endsWith("LQDATA_007_2032.db"),
                 qPrintable(rowText(list, 1)));
        // the chart is read; the balances are not there
        QVERIFY2(rowText(list, 2).startsWith(QStringLiteral("007(异形) | 2033（LQDATA_007_2033） | 0 | — | — | — | 无法读取："))
                     && rowText(list, 2).contains("GL_accsum"),
                 qPrintable(rowText(list, 2)));
        QVERIFY2(rowText(list, 3).startsWith(
                     QStringLiteral("008(空壳) | 2031（LQDATA_008_2031） | — | — | — | — | 无法读取：文件不是有效的数据库")),
                 qPrintable(rowText(list, 3)));
        QCOMPARE(m_window->status->text(), QStringLiteral("共检查 4 个数据库：1 个有问题，3 个无法读取。"));
        QCOMPARE(m_window->windowTitle(), "检查和修复 — " + QDir::toNativeSeparators(m_dir->path()));

        // the first is selected with its findings; an unreadable one has none and no repair
        QCOMPARE(list->selectionModel()->currentIndex().row(), 0);
        QCOMPARE(headers(m_window->wrongFlagsList), QStringLiteral("科目编码 | 现在的末级标志 | 应为"));
        QCOMPARE(headers(m_window->disagreementsList),
                 QStringLiteral("科目编码 | 月份 | 金额栏 | 本科目金额 | 下级科目合计 | 差额"));
        QCOMPARE(m_window->wrongFlagsList->model()->rowCount(), 2);
        QCOMPARE(m_window->wrongFlagsLabel->text(), QStringLiteral("末级标志错误(&B)：2 个"));
        QCOMPARE(m_window->disagreementsLabel->text(), QStringLiteral("总账和明细账不符(&D)：2 处"));
        QVERIFY(m_window->recomputeButton->isEnabled() && m_window->endFlagsButton->isEnabled());
        selectWithKeys(3);
        QCOMPARE(m_window->wrongFlagsList->model()->rowCount(), 0);
        QCOMPARE(m_window->disagreementsList->model()->rowCount(), 0);
        QVERIFY(!m_window->recomputeButton->isEnabled() && !m_window->endFlagsButton->isEnabled());
        selectWithKeys(2);  // its flags are right, its balances unknown
        QVERIFY(!m_window->recomputeButton->isEnabled() && !m_window->endFlagsButton->isEnabled());

        // (the tables as a screen reader finds them by name: tst_x11_accessibility)
        QAccessibleInterface *table = QAccessible::queryAccessibleInterface(list);
        QAccessibleTableCellInterface *stated = table->tableInterface()->cellAt(0, 3)->tableCellInterface();
        QCOMPARE(table->tableInterface()->cellAt(0, 3)->text(QAccessible::Name), QStringLiteral("2 个科目，2 个期间"));
        QCOMPARE(stated->columnHeaderCells().value(0)->text(QAccessible::Name), QStringLiteral("总账和明细账不符"));
    }

    // The amount columns kept in the user's settings are those checked (me here, beside mb, md, mc);
    // an amount that can't be read is listed with what is stored, and not compared.
    void amountColumnsFromTheSettings()
    {
        QTemporaryDir config;
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, config.path());
        const auto restore = qScopeGuard([] {
            QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                               QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation));
        });
        QCOMPARE(AmountColumnsSetting::remember("mb, md, mc, mb"), QStringLiteral("金额列“mb”给出了两次。"));
        QCOMPARE(AmountColumnsSetting::remember("mb,md,mc,me"), QString());
        writeSystemDatabase(systemDatabase(m_dir->path()), {{"007", "异形", {2031}, {}}});
        SqliteFixture::run(books(), "create table code(ccode TEXT primary key, bend INTEGER); create table GL_accsum(ccode TEXT,"
                                    " iperiod INTEGER, mb NUMERIC, md NUMERIC, mc NUMERIC, me NUMERIC);"
                                    "insert into code values('1002',0),('100201',1),('100202',1);"
                                    "insert into GL_accsum values('1002',1,200,0,0,50),('100201',1,100,0,0,20),"
                                    "('100202',1,'1,234.50',0,0,20);");
        openWindow();
        QCOMPARE(rowText(m_window->databaseList, 0),
                 QStringLiteral("007(异形) | 2031（LQDATA_007_2031） | 0 | 1 个科目，1 个期间 | 0 | 0 | "
                                "1 处金额无法识别；可以按下级科目重算"));
        QCOMPARE(m_window->disagreementsLabel->text(), QStringLiteral("总账和明细账不符(&D)：1 处，金额无法识别 1 处"));
        QCOMPARE(rowText(m_window->disagreementsList, 0), QStringLiteral("1002 | 1 | me | 50.00 | 40.00 | 10.00"));
        QCOMPARE(rowText(m_window->disagreementsList, 1), QStringLiteral("100202 | 1 | mb | “1,234.50” |  | 金额无法识别"));
    }

    // Amounts as accountants write them, set to the right, and flags in words, in the tables and in
    // the question before a recompute; Ctrl+C copies the selected rows of a table under its
    // headers, as a spreadsheet pastes them, and 复制 leads every table's context menu.
    void findingsAsAccountantsReadThem()
    {
        writeSystemDatabase(systemDatabase(m_dir->path()), {{"007", "异形", {2031}, {}}});
        SqliteFixture::run(books(), "create table code(ccode TEXT primary key, bend INTEGER); create table GL_accsum(ccode TEXT,"
                                    " iperiod INTEGER, mb NUMERIC, md NUMERIC, mc NUMERIC);"
                                    "insert into code values('1002',1),('100201',1),('100202',0);"
                                    "insert into GL_accsum values('1002',1,222257.59,1234.567,5),('100201',1,1000,0,0),"
                                    "('100202',1,-2000,0,0);");
        openWindow();
        QCOMPARE(rowText(m_window->wrongFlagsList, 0), QStringLiteral("1002 | 是（1） | 否（0）"));
        QCOMPARE(rowText(m_window->wrongFlagsList, 1), QStringLiteral("100202 | 否（0） | 是（1）"));
        QTableView *sums = m_window->disagreementsList;
        QCOMPARE(rowText(sums, 0), QStringLiteral("1002 | 1 | mb | 222,257.59 | -1,000.00 | 223,257.59"));
        QCOMPARE(rowText(sums, 1), QStringLiteral("1002 | 1 | md | 1,234.567 | 0.00 | 1,234.567"));
        QCOMPARE(rowText(sums, 2), QStringLiteral("1002 | 1 | mc | 5.00 | 0.00 | 5.00"));
        for (int column = 3; column < 6; ++column)
            QCOMPARE(sums->model()->index(0, column).data(Qt::TextAlignmentRole), QVariant(Qt::AlignRight | Qt::AlignVCenter));

        MessageBox::answerNext(1);
        m_window->recomputeButton->click();
        QTRY_VERIFY_WITH_TIMEOUT(!m_window->busy(), 60000);
        const QStringList asked = boxes();
        QCOMPARE(asked.size(), 1);
        QVERIFY2(asked[0].contains("\n1002 第 1 期：mb 222,257.59 → -1,000.00，md 1,234.567 → 0.00，mc 5.00 → 0.00\n"),
                 qPrintable(asked[0]));

        // the last two rows, chosen with the keyboard
        sums->setFocus();
        QTest::keyClick(sums, Qt::Key_Home, Qt::ControlModifier);
        QTest::keyClick(sums, Qt::Key_Down);
        QTest::keyClick(sums, Qt::Key_Down, Qt::ShiftModifier);
        QGuiApplication::clipboard()->clear();
        QTest::keyClick(sums, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("科目编码\t月份\t金额栏\t本科目金额\t下级科目合计\t差额\n"
                                                                      "1002\t1\tmd\t1,234.567\t0.00\t1,234.567\n"
                                                                      "1002\t1\tmc\t5.00\t0.00\t5.00\n"));
        for (QTableView *table : {m_window->databaseList, m_window->wrongFlagsList, sums}) {
            QCOMPARE(table->contextMenuPolicy(), Qt::ActionsContextMenu);
            const QList<QAction *> items = table->actions();
            QCOMPARE(items.size(), 3);
            QCOMPARE(items[0]->text() + '|' + items[0]->shortcut().toString(), QStringLiteral("复制|Ctrl+C"));
            QVERIFY(items[1]->isSeparator());
            QCOMPARE(items[2]->text(), QStringLiteral("保存报告…"));
        }
        // the list whose row picks the findings shown takes one row; the findings take several
        QCOMPARE(m_window->databaseList->selectionMode(), QAbstractItemView::SingleSelection);
        QCOMPARE(sums->selectionMode(), QAbstractItemView::ExtendedSelection);
    }

    // Tab from the list to the two tables and on to the buttons; the labels' access keys name the
    // tables; F5 checks again and keeps the database selected.
    void keyboard()
    {
        writeSystemDatabase(systemDatabase(m_dir->path()), {{"007", "异形", {2031}, {}}});
        SqliteFixture::run(books(), QString(LedgerFixture::TypicalTables) + LedgerFixture::PlantedBooks);
        openWindow();
        QCOMPARE(QApplication::focusWidget(), m_window->databaseList);
        QStringList order;
        for (int i = 0; i < 7; ++i) {
            order << QApplication::focusWidget()->accessibleName() + QApplication::focusWidget()->property("text").toString();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        QCOMPARE(order, QStringList({"帐套和年度", "末级标志错误", "总账和明细账不符", "按下级科目重算(&R)", "重建末级标志(&E)",
                                     "修复日志(&J)", "重新检查(&C)"}));
        QCOMPARE(m_window->databaseListLabel->buddy(), m_window->databaseList);
        QCOMPARE(m_window->wrongFlagsLabel->buddy(), m_window->wrongFlagsList);
        QCOMPARE(m_window->disagreementsLabel->buddy(), m_window->disagreementsList);

        SqliteFixture::run(books(), "update code set bend = 0 where ccode = '1001';");
        QTest::keyClick(m_window->databaseList, Qt::Key_F5);
        QVERIFY(m_window->busy());
        QVERIFY(!m_window->checkButton->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(!m_window->busy(), 60000);
        QCOMPARE(cell(m_window->databaseList, 0, 2), QStringLiteral("1"));
        QCOMPARE(m_window->databaseList->selectionModel()->currentIndex().row(), 0);
        QCOMPARE(rowText(m_window->wrongFlagsList, 0), QStringLiteral("10010101 | 否（0） | 是（1）"));
    }

    // Another program holds the file's write lock: the check still reads it, each repair waits for
    // the lock in its worker while the window answers and offers no second repair, then says in
    // one box that the file is locked; nothing is changed.
    void lockedDatabase()
    {
        writeSystemDatabase(systemDatabase(m_dir->path()), {{"007", "异形", {2031}, {}}});
        SqliteFixture::run(books(), QString(LedgerFixture::TypicalTables) + LedgerFixture::PlantedBooks);
        const QString planted = SqliteFixture::dumpAll(books());
        m_helper.start(N3_LOCK_HOLDER, {books()});
        QVERIFY(m_helper.waitForReadyRead(30000) && m_helper.readAll() == "locked\n");
        openWindow();
        QCOMPARE(cell(m_window->databaseList, 0, 2), QStringLiteral("2"));

        for (QPushButton *button : {m_window->endFlagsButton, m_window->recomputeButton}) {
            MessageBox::answerNext(0);
            button->click();
            QTRY_COMPARE(m_window->progress->isVisible(), true);
            QTRY_VERIFY(m_window->status->text().startsWith("正在"));
            // while it waits: the list still moves, and no other work starts
            QVERIFY(m_window->busy());
            QVERIFY(!m_window->endFlagsButton->isEnabled() && !m_window->recomputeButton->isEnabled()
                    && !m_window->checkButton->isEnabled());
            QTest::keyClick(m_window->databaseList, Qt::Key_F5);
            QTest::keyClick(m_window->databaseList, Qt::Key_E, Qt::AltModifier);
            QTRY_VERIFY_WITH_TIMEOUT(!m_window->busy(), 30000);
            const QStringList shown = boxes();
            QCOMPARE(shown.size(), 2);  // the question, and the failure
            QVERIFY2(shown[1].startsWith("16|") && shown[1].contains("失败，未做任何改动：\n数据库正被其他程序使用（已锁定）"),
                     qPrintable(shown[1]));
        }
        m_helper.closeWriteChannel();  // the holder rolls its own change back
        QVERIFY(m_helper.waitForFinished(30000));
        QCOMPARE(SqliteFixture::dumpAll(books()), planted);
    }

    // A walk in another process holds its journal on the database: the list says so, and a repair
    // asked for there is refused in one box with nothing changed; once it is gone, F5 clears it.
    void repairRunningElsewhere()
    {
        writeSystemDatabase(systemDatabase(m_dir->path()), {{"007", "异形", {2031}, {}}});
        writeLongChart(3000);
        m_helper.start(N3_WALK_RUNNER, {m_dir->path(), "2031", "101500"});
        QVERIFY(m_helper.waitForReadyRead(120000) && m_helper.readAll() == "holding\n");
        const QString held = SqliteFixture::dump(books(), "code");
        openWindow();
        const QList<repair::RepairRecord> repairs = repair::listRepairs(repair::journalDirectory());
        QCOMPARE(repairs.size(), 1);
        QTableView *list = m_window->databaseList;
        QVERIFY2(cell(list, 0, 6).startsWith("另一个程序正在修复这个数据库（彻底根除，修复日志 " + repairs[0].id + "）"),
                 qPrintable(cell(list, 0, 6)));
        QVERIFY(m_window->endFlagsButton->isEnabled());
        m_window->endFlagsButton->click();
        QTRY_VERIFY_WITH_TIMEOUT(!m_window->busy(), 60000);
        const QStringList shown = boxes();
        QCOMPARE(shown, QStringList({"16|另一个程序正在修复帐套 007，2031 年度（LQDATA_007_2031）（彻底根除，修复日志 "
                                     + repairs[0].id + "），请等它结束后再试。未做任何改动。"}));
        QCOMPARE(SqliteFixture::dump(books(), "code"), held);
        QCOMPARE(repair::listRepairs(repair::journalDirectory()).size(), 1);

        m_helper.kill();
        QVERIFY(m_helper.waitForFinished());
        QTest::keyClick(list, Qt::Key_F5);
        QTRY_VERIFY_WITH_TIMEOUT(!m_window->busy(), 60000);
        QCOMPARE(cell(list, 0, 6), QStringLiteral("可以重建末级标志"));
    }

    // Triggers on the tables the repairs write: each report names them after what the repair did,
    // since what they wrote is not in the journal and undo can't put it back.
    void triggersNamedInTheReports()
    {
        writeSystemDatabase(systemDatabase(m_dir->path()), {{"007", "异形", {2031}, {}}});
        SqliteFixture::run(books(),
                           QString(LedgerFixture::TypicalTables) + LedgerFixture::PlantedBooks
                               + "create table audit(what TEXT);"
                                 "create trigger audit_sums after update on GL_accsum begin insert into audit values('sum'); end;"
                                 "create trigger audit_flags after update on code begin insert into audit values('flag'); end;");
        openWindow();
        const QString after =
            "：修复日志只记下本工具写入的记录，触发器可能同时改动了其他记录，那些改动不在日志中，撤销也不能恢复它们。";
        for (const auto &[button, said] : {std::pair(m_window->recomputeButton, "数据表 GL_accsum 上有触发器 audit_sums" + after),
                                           std::pair(m_window->endFlagsButton, "数据表 code 上有触发器 audit_flags" + after)}) {
            MessageBox::answerNext(0);
            button->click();
            QTRY_VERIFY_WITH_TIMEOUT(!m_window->busy(), 60000);
            const QStringList shown = boxes();
            QCOMPARE(shown.size(), 2);  // the question, and the report
            QVERIFY2(shown[1].startsWith("0|已") && shown[1].contains("\n\n" + said + "\n\n"), qPrintable(shown[1]));
        }
        // the recompute wrote two rows, the walk the two flags PlantedBooks has wrong
        QCOMPARE(SqliteFixture::dump(books(), "audit"), QStringLiteral("t:'sum'\nt:'sum'\nt:'flag'\nt:'flag'\n"));
    }

    // A database that can't be read by the time its repair is asked for: one box says why.
    void unreadableWhenAskedFor()
    {
        writeSystemDatabase(systemDatabase(m_dir->path()), {{"007", "异形", {2031}, {}}});
        SqliteFixture::run(books(), QString(LedgerFixture::TypicalTables) + LedgerFixture::PlantedBooks);
        openWindow();
        QVERIFY(QFile::remove(books()));
        QFile garbage(books());
        QVERIFY(garbage.open(QIODevice::WriteOnly) && garbage.write(QByteArray(4096, 'x')) == 4096);
        garbage.close();
        m_window->recomputeButton->click();
        QTRY_VERIFY_WITH_TIMEOUT(!m_window->busy(), 60000);
        const QStringList shown = boxes();
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown[0].startsWith("16|无法读取帐套 007，2031 年度（LQDATA_007_2031），未做任何改动：\n文件不是有效的数据库"),
                 qPrintable(shown[0]));
        QVERIFY(cell(m_window->databaseList, 0, 6).startsWith("无法读取："));
        QVERIFY(!m_window->recomputeButton->isEnabled());
    }

    // Closing the window during a walk stops it after the row in hand: the journal says where,
    // and the rows before keep their new flags; the window goes once the walk has stopped.
    void closingStopsTheWalk()
    {
        writeSystemDatabase(systemDatabase(m_dir->path()), {{"007", "异形", {2031}, {}}});
        writeLongChart(30000);
        openWindow();
        MessageBox::answerNext(0);
        m_window->endFlagsButton->click();
        QTRY_VERIFY(m_window->status->text().startsWith("正在重建"));
        m_window->close();
        QVERIFY(m_window->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(!m_window->isVisible(), 60000);
        QCOMPARE(boxes().size(), 1);  // the question; no report once the window is going
        const QList<repair::RepairRecord> repairs = repair::listRepairs(repair::journalDirectory());
        QCOMPARE(repairs.size(), 1);
        QCOMPARE(repairs[0].outcome, repair::Outcome::Stopped);
        QVERIFY(repairs[0].rowsDone > 0 && repairs[0].rowsDone < 30000);
        const QString written = SqliteFixture::select(books(), "select count(*) from code where bend = 1");
        QCOMPARE(written, QStringLiteral("i:%1\n").arg(repairs[0].rowsDone + 1));  // the last was right already
    }

    // Through the real ODBC driver manager: each worker opens its own connections through the
    // driver, the recompute and the walk go through it, and both are journaled for the server.
    void odbcChecksAndRepairs()
    {
        OdbcFixture::useDemoDatabases(data("odbc"));
        openWindow();
        QTableView *list = m_window->databaseList;
        QCOMPARE(m_window->windowTitle(), QStringLiteral("检查和修复 — ODBC（SQL Server）"));
        QCOMPARE(list->model()->rowCount(), 6);
        QCOMPARE(cell(list, 0, 1), QStringLiteral("2006（LQDATA_001_2006）"));
        for (int row = 0; row < 6; ++row)
            QVERIFY2(cell(list, row, 6) == QStringLiteral("可以重建末级标志、按下级科目重算"), qPrintable(rowText(list, row)));
        const QString wrong = cell(list, 0, 2);
        MessageBox::answerNext(0);
        m_window->recomputeButton->click();
        QTRY_VERIFY_WITH_TIMEOUT(!m_window->busy(), 60000);
        const QStringList recomputed = boxes();
        QCOMPARE(recomputed.size(), 2);
        QVERIFY2(recomputed[1].startsWith("0|已按下级科目重算帐套 001，2006 年度（LQDATA_001_2006）：改动 "),
                 qPrintable(recomputed[1]));
        QCOMPARE(cell(list, 0, 3), QStringLiteral("0"));
        MessageBox::answerNext(0);
        m_window->endFlagsButton->click();
        QTRY_VERIFY_WITH_TIMEOUT(!m_window->busy(), 60000);
        const QStringList shown = boxes();
        QCOMPARE(shown.size(), 2);
        QVERIFY2(shown[1].startsWith("0|已重建帐套 001，2006 年度（LQDATA_001_2006）的末级标志：")
                     && shown[1].contains("改动末级标志 " + wrong + " 个"),
                 qPrintable(shown[1]));
        QCOMPARE(cell(list, 0, 2), QStringLiteral("0"));
        const QList<repair::RepairRecord> repairs = repair::listRepairs(repair::journalDirectory());
        QCOMPARE(repairs.size(), 2);
        for (const repair::RepairRecord &record : repairs)
            QCOMPARE(record.engine + '|' + repair::storedName(record.outcome), QStringLiteral("odbc|completed"));
    }

    // The option that opens the window, with the engine choices of the others, and refused beside
    // a command or the journal window.
    void commandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("expected");  // action|engine|data directory, or the error
        QTest::newRow("alone") << QStringList{"--check-window"} << "check|embedded|" + db::defaultDataDirectory();
        QTest::newRow("data dir") << QStringList{"--check-window", "--data-dir", "@"} << "check|embedded|@";
        QTest::newRow("demo") << QStringList{"--demo", "--check-window"} << "check|embedded|" + db::demoDataDirectory();
        QTest::newRow("odbc") << QStringList{"-check-window", "--odbc"} << "check|odbc|" + db::defaultDataDirectory();
        QTest::newRow("with a command") << QStringList{"--check-window", "--check"}
                                        << "--check-window 打开检查和修复窗口，不能与命令选项同用。";
        QTest::newRow("with the journal window")
            << QStringList{"--check-window", "--journal-window"} << "--journal-window 和 --check-window 每次只能用一个。";
        QTest::newRow("choosing data") << QStringList{"--check-window", "--choose-data"}
                                       << "--choose-data 重新选择数据位置，然后打开修正工具窗口，不能与命令选项、--journal-window、"
                                          "--check-window、--data-dir、--odbc、--demo、--server 或 --sql-login 同用。";
        QTest::newRow("help wins") << QStringList{"--check-window", "--help"} << "help";
    }
    void commandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, expected);
        QCOMPARE(startRead(arguments, cli::Action::CheckWindow, "check"), expected.replace("@", m_dir->path()));
    }

    // The real program: refused beside a command with status 2; opened on a data directory, it
    // stays up until it is closed.
    void programOpensTheWindow()
    {
        writeSystemDatabase(systemDatabase(m_dir->path()), {{"007", "异形", {2031}, {}}});
        DataDirectoryTest::programOpensTheWindow(N3FIX, {"--check-window", "--repair-end-flags"}, {"--check-window"});
    }
};

QTEST_MAIN(CheckWindowTest)
#include "tst_check_window.moc"
