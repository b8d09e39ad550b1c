// The check-and-repair window on a real X server (Xvfb, Qt's xcb platform), driven by clicks and
// key presses, with real message boxes answered by real keys: what it lists for books with wrong
// end flags and ledgers that disagree, as painted on the screen; each repair cancelled from its
// box with Enter, then confirmed, the database checked value for value and the repair found in the
// journal window. The program itself, on the same server, keeps its repair's locks while its own
// windows read the same file.
#include "support/DataFiles.h"
#include "support/BoxAnswerer.h"
#include "support/FormDriver.h"
#include "support/JournalDriver.h"
#include "support/LedgerFixture.h"
#include "support/ProcessRun.h"
#include "support/SqliteFixture.h"
#include "support/X11Windows.h"

#include "app/CheckWindow.h"
#include "app/JournalWindow.h"
#include "app/MessageBox.h"
#include "app/WindowHub.h"
#include "db/ODBC.h"
#include "demo/DemoData.h"

#include <QtTest>
#include <QtWidgets>

#include <sqlite3.h>

namespace {

using JournalDriver::cell;
using JournalDriver::cellUnder;
using JournalDriver::rowText;
using JournalDriver::shownWhole;
using X11Windows::pressIn;

const BoxAnswerer::Answer PressAltR = BoxAnswerer::press(Qt::Key_R, Qt::AltModifier);
const BoxAnswerer::Answer PressAltE = BoxAnswerer::press(Qt::Key_E, Qt::AltModifier);

// Whether what the screen shows of `widget` is what it paints: the window is on the screen, not
// only in memory.
bool onScreen(QWidget *widget)
{
    const QRect area(widget->mapToGlobal(QPoint(0, 0)), widget->size());
    const QImage screen =
        widget->screen()->grabWindow(0, area.x(), area.y(), area.width(), area.height()).toImage().convertToFormat(QImage::Format_RGB32);
    const QImage painted = widget->grab().toImage().convertToFormat(QImage::Format_RGB32);
    return screen.size() == painted.size() && screen == painted;
}

// The window that has the keyboard, as a number.
qulonglong focusedWindow()
{
    return runProcess("xdotool", {"getwindowfocus"}).out.trimmed().toULongLong();
}

// Whether another program, waiting 100 ms at most, is kept from writing to the file at `path`.
bool writingLockedOut(const QString &path)
{
    sqlite3 *db = nullptr;
    int result = sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    if (result == SQLITE_OK) {
        sqlite3_busy_timeout(db, 100);
        result = sqlite3_exec(db, "begin immediate", nullptr, nullptr, nullptr);
        sqlite3_exec(db, "rollback", nullptr, nullptr, nullptr);
    }
    sqlite3_close(db);
    return result == SQLITE_BUSY;
}

}  // namespace

class X11CheckWindow : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<CheckWindow> m_window;

    QString books() const { return yearDatabase(m_dir->path(), "007", "2031"); }

    // The books as they are to be after a repair: the planted ones with `change` made by hand.
    QString expected(const QString &table, const QString &change)
    {
        const QString path = m_dir->filePath("expected.db");
        QFile::remove(path);
        SqliteFixture::run(path, QString(LedgerFixture::TypicalTables) + LedgerFixture::PlantedBooks + change);
        return SqliteFixture::dump(path, table);
    }

    // Gives the window the keyboard back after a box, as a window manager would.
    void activate()
    {
        m_window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    }

    // Presses the button with the mouse, with `answerer` at the boxes it brings.
    void press(QPushButton *button, BoxAnswerer &answerer, int boxes)
    {
        QVERIFY(button->isEnabled());
        QTest::mouseClick(button, Qt::LeftButton);
        QTRY_COMPARE(answerer.shown.size(), boxes);
        QTRY_VERIFY(!m_window->busy());
    }

private slots:
    void initTestCase() { QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb")); }
    void cleanup()
    {
        m_window.reset();
        WindowHub::deleteAll();  // the journal window its button opened
        m_dir.reset();
    }

    void repairsThroughTheRealBoxes()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        FormDriver::useDataDirectory(m_dir->path());
        MessageBox::setRecording(false);
        writeSystemDatabase(systemDatabase(m_dir->path()), {{"007", "异形", {2031}, {}}});
        SqliteFixture::run(books(), QString(LedgerFixture::TypicalTables) + LedgerFixture::PlantedBooks);
        const QString planted = SqliteFixture::dumpAll(books());

        m_window = std::make_unique<CheckWindow>();
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        activate();  // no window manager to do it
        QCOMPARE(m_window->windowTitle(), "检查和修复 — " + QDir::toNativeSeparators(m_dir->path()));
        QTableView *list = m_window->databaseList;
        QTRY_VERIFY(!m_window->busy());
        QCOMPARE(list->model()->rowCount(), 1);
        QCOMPARE(rowText(list, 0), QStringLiteral("007(异形) | 2031（LQDATA_007_2031） | 2 | 2 个科目，2 个期间 | 1 | 1 | "
                                                  "可以重建末级标志、按下级科目重算"));
        QCOMPARE(m_window->status->text(), QStringLiteral("共检查 1 个数据库：1 个有问题，0 个无法读取。"));

        // a click on the row shows its findings, whole, on the screen
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(list->model()->index(0, 3)).center());
        QTableView *flags = m_window->wrongFlagsList, *disagreements = m_window->disagreementsList;
        QCOMPARE(flags->model()->rowCount(), 2);
        QCOMPARE(rowText(flags, 0), QStringLiteral("1001 | 是（1） | 否（0）"));
        QCOMPARE(rowText(flags, 1), QStringLiteral("10010101 | 否（0） | 是（1）"));
        QCOMPARE(disagreements->model()->rowCount(), 2);
        QCOMPARE(rowText(disagreements, 0), QStringLiteral("1001 | 3 | mb | 无余额行 | 5.00 | -5.00"));
        QCOMPARE(rowText(disagreements, 1), QStringLiteral("100101 | 2 | mb | 180.00 | 200.00 | -20.00"));
        for (int column = 0; column < list->model()->columnCount(); ++column)
            QTRY_VERIFY2(shownWhole(list, 0, column), qPrintable(cell(list, 0, column)));
        for (int column = 0; column < disagreements->model()->columnCount(); ++column)
            QTRY_VERIFY2(shownWhole(disagreements, 1, column), qPrintable(cell(disagreements, 1, column)));
        QTRY_VERIFY(onScreen(m_window.get()));

        // 按下级科目重算: Enter takes the box's default, 取消, and nothing changes
        {
            BoxAnswerer answerer({PressEnter});
            press(m_window->recomputeButton, answerer, 1);
            QVERIFY2(answerer.shown[0].startsWith(MessageBox::ApplicationTitle
                                                  + "|按下级科目重算帐套 007，2031 年度（LQDATA_007_2031）的余额吗？"),
                     qPrintable(answerer.shown[0]));
            QVERIFY2(answerer.shown[0].contains(
                         "将改动 2 行余额：\n1001 第 2 期：mb 230.00 → 250.00\n100101 第 2 期：mb 180.00 → 200.00\n"),
                     qPrintable(answerer.shown[0]));
            QVERIFY2(answerer.shown[0].contains("另有 1 个期间缺少余额行"), qPrintable(answerer.shown[0]));
            QVERIFY2(answerer.shown[0].endsWith("|取消"), qPrintable(answerer.shown[0]));
        }
        QCOMPARE(SqliteFixture::dumpAll(books()), planted);
        // confirmed with the box's access key; the result box names the journal
        {
            BoxAnswerer answerer({PressAltR, PressEnter});
            press(m_window->recomputeButton, answerer, 2);
            QVERIFY2(answerer.shown[1].startsWith(
                         MessageBox::ApplicationTitle
                         + "|已按下级科目重算帐套 007，2031 年度（LQDATA_007_2031）：改动 2 行余额，修复日志 "),
                     qPrintable(answerer.shown[1]));
            QVERIFY2(answerer.shown[1].contains("“修复日志”"), qPrintable(answerer.shown[1]));
        }
        QCOMPARE(SqliteFixture::dump(books(), "GL_accsum"),
                 expected("GL_accsum", "update GL_accsum set mb = 250 where ccode = '1001' and iperiod = 2;"
                                       "update GL_accsum set mb = 200 where ccode = '100101' and iperiod = 2;"));
        QCOMPARE(SqliteFixture::dump(books(), "code"), expected("code", ""));
        // checked again: only the row that isn't there is left, and nothing to recompute
        QTRY_COMPARE(cell(list, 0, 3), QStringLiteral("1 个科目，1 个期间"));
        QCOMPARE(rowText(disagreements, 0), QStringLiteral("1001 | 3 | mb | 无余额行 | 5.00 | -5.00"));
        QVERIFY(!m_window->recomputeButton->isEnabled());

        // 重建末级标志 from the keyboard: its access key, Enter for 取消, then the box's access key
        QVERIFY(m_window->endFlagsButton->isEnabled());
        {
            BoxAnswerer answerer({PressEnter});
            activate();
            QTest::keyClick(m_window.get(), Qt::Key_E, Qt::AltModifier);
            QTRY_COMPARE(answerer.shown.size(), 1);
            QTRY_VERIFY(!m_window->busy());
            QVERIFY2(answerer.shown[0].contains("|重建帐套 007，2031 年度（LQDATA_007_2031）的末级标志吗？")
                         && answerer.shown[0].contains(
                             "将改动 2 个：\n1001：现为 是（1），应为 否（0）\n10010101：现为 否（0），应为 是（1）\n")
                         && answerer.shown[0].endsWith("|取消"),
                     qPrintable(answerer.shown[0]));
        }
        const QString recomputed = SqliteFixture::dumpAll(books());
        {
            BoxAnswerer answerer({PressAltE, PressEnter});
            activate();
            QTest::keyClick(m_window.get(), Qt::Key_E, Qt::AltModifier);
            QTRY_COMPARE(answerer.shown.size(), 2);
            QTRY_VERIFY(!m_window->busy());
            QVERIFY2(answerer.shown[1].contains(
                         "|已重建帐套 007，2031 年度（LQDATA_007_2031）的末级标志：处理科目 5 个，改动末级标志 2 个，修复日志 "),
                     qPrintable(answerer.shown[1]));
        }
        QVERIFY(SqliteFixture::dumpAll(books()) != recomputed);
        QCOMPARE(SqliteFixture::dump(books(), "code"),
                 expected("code",
                          "update code set bend = 0 where ccode = '1001'; update code set bend = 1 where ccode = '10010101';"));
        QTRY_COMPARE(cell(list, 0, 2), QStringLiteral("0"));
        QCOMPARE(flags->model()->rowCount(), 0);
        QVERIFY(!m_window->endFlagsButton->isEnabled());

        // 修复日志 opens the journal window on the same data, the two repairs at its top
        QTest::mouseClick(m_window->journalButton, Qt::LeftButton);
        auto *journal = qobject_cast<JournalWindow *>(WindowHub::open(WindowHub::Window::Journal));
        QVERIFY(journal && QTest::qWaitForWindowExposed(journal));
        QCOMPARE(journal->windowTitle(), "修复日志 — " + QDir::toNativeSeparators(m_dir->path()));
        QCOMPARE(journal->repairList->model()->rowCount(), 2);
        QCOMPARE(cellUnder(journal->repairList, 0, "修复") + '|' + cellUnder(journal->repairList, 0, "结果"),
                 QStringLiteral("彻底根除|完成"));
        QCOMPARE(cellUnder(journal->repairList, 1, "修复") + '|' + cellUnder(journal->repairList, 1, "结果"),
                 QStringLiteral("按下级科目重算|完成"));
        QCOMPARE(cellUnder(journal->repairList, 1, "改动行数"), QStringLiteral("2"));
    }

    // n3fix --check-window as a real program: while its recompute holds the write lock on the books
    // (strace holds the commit's first sync), the same program opens its journal window, which
    // lists the running repair, looks at its lock and reads the rows' current values, and both
    // windows are asked to read everything again (F5). The repair keeps its lock through all of
    // it: another program still can't write, and the file ends whole with just the recompute.
    void repairKeepsItsLocksWhileItsWindowsRead()
    {
        if (QStandardPaths::findExecutable("xdotool").isEmpty() || QStandardPaths::findExecutable("strace").isEmpty()
            || runProcess("strace", {"-o", "/dev/null", "true"}).status != 0)
            SKIP_UNLESS_CI("xdotool or strace is missing, or strace may not trace here (scripts/install-deps --test)");
        m_dir = std::make_unique<QTemporaryDir>();
        writeSystemDatabase(systemDatabase(m_dir->path()), {{"007", "异形", {2031}, {}}});
        SqliteFixture::run(books(), QString(LedgerFixture::TypicalTables) + LedgerFixture::PlantedBooks);

        RunningProgram program(N3FIX, {"--check-window", "--data-dir", m_dir->path()}, environmentWithHome(m_dir->path()));
        const QString checkWindow = X11Windows::waitFor("检查和修复 — " + QDir::toNativeSeparators(m_dir->path()));
        QVERIFY2(!checkWindow.isEmpty(), qPrintable(X11Windows::titles().join('|')));
        QProcess tracer;
        tracer.setProcessChannelMode(QProcess::MergedChannels);
        tracer.start("strace", {"-f", "-o", "/dev/null", "-P", books() + "-journal", "-e", "trace=fdatasync", "-e",
                                "inject=fdatasync:delay_enter=600000000:when=1", "-p", QString::number(program.processId())});
        const auto detached = qScopeGuard([&] {
            tracer.terminate();
            tracer.waitForFinished();
        });
        QByteArray traced;
        QTRY_VERIFY_WITH_TIMEOUT((traced += tracer.readAll()).contains("attached"), 30000);

        // Alt+R once the first check has made the button usable, then the box's own Alt+R
        QString box;
        for (int tries = 0; tries < 60 && box.isEmpty(); ++tries) {
            QVERIFY(pressIn(checkWindow, "alt+r"));
            box = X11Windows::waitFor(MessageBox::ApplicationTitle, 1000);
        }
        QVERIFY(!box.isEmpty());
        QVERIFY(pressIn(box, "alt+r"));
        QTRY_VERIFY_WITH_TIMEOUT(writingLockedOut(books()), 60000);

        // 修复日志 (Alt+J) brings the journal window up and gives it the keyboard: a key pressed before
        // it in either window has been handled once the journal window has the keyboard again.
        QVERIFY(pressIn(checkWindow, "alt+j"));
        const QString journalWindow = X11Windows::waitFor("修复日志 — " + QDir::toNativeSeparators(m_dir->path()));
        QVERIFY(!journalWindow.isEmpty());
        for (const QString &window : {journalWindow, checkWindow}) {
            QVERIFY(pressIn(window, "F5"));
            QVERIFY(pressIn(checkWindow, "alt+j"));
            QTRY_COMPARE_WITH_TIMEOUT(focusedWindow(), journalWindow.toULongLong(nullptr, 16), 60000);
        }
        QVERIFY2(writingLockedOut(books()), "another program could write while the recompute held the file");

        tracer.terminate();  // strace lets the sync go on
        QVERIFY(tracer.waitForFinished(30000));
        const QString done = X11Windows::waitFor(MessageBox::ApplicationTitle, 60000);
        QVERIFY(!done.isEmpty());
        QCOMPARE(SqliteFixture::select(books(), "pragma integrity_check"), QStringLiteral("t:'ok'\n"));
        QCOMPARE(SqliteFixture::dump(books(), "GL_accsum"),
                 expected("GL_accsum", "update GL_accsum set mb = 250 where ccode = '1001' and iperiod = 2;"
                                       "update GL_accsum set mb = 200 where ccode = '100101' and iperiod = 2;"));
    }
};

QTEST_MAIN(X11CheckWindow)
#include "tst_x11_check_window.moc"
