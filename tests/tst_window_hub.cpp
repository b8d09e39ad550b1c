// The menus of the check-and-repair window and the journal window on a real X server (Xvfb, Qt's
// xcb platform), used as a person does: the menus opened with their access keys and read as shown,
// each window opened or brought to the front with its key or a click in the menu, one of each, all
// on the same data; a window closed while others stay leaves them working; the About box read from
// the real box; the demo data named in the titles. The program itself, as a real process: its last
// window ends it, and 选择数据位置… asks in a program of its own, which opens the main window on the
// place chosen while the first keeps its data.
#include "support/BoxAnswerer.h"
#include "support/FormDriver.h"
#include "support/JournalDriver.h"
#include "support/LedgerFixture.h"
#include "support/ProcessRun.h"
#include "support/SqliteFixture.h"
#include "support/X11Windows.h"

#include "app/CheckWindow.h"
#include "app/Form1.h"
#include "app/GuideWindow.h"
#include "app/JournalWindow.h"
#include "app/MessageBox.h"
#include "app/WindowHub.h"
#include "db/ODBC.h"
#include "demo/DemoData.h"

#include <QtTest>
#include <QtWidgets>

#include <signal.h>

namespace {

const QString MainCaption = QStringLiteral("澄岚N3科目错误修正工具（修复总账和明细账不平的错误）");

// The visible top-level windows of a kind.
template <typename Window> QList<Window *> shown()
{
    QList<Window *> found;
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (auto *window = qobject_cast<Window *>(widget); window && window->isVisible())
            found << window;
    return found;
}

// A key pressed where the keyboard is, as a person presses it: in the menu open, else in the
// control that has the focus.
void press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QWidget *target = QApplication::activePopupWidget();
    if (!target)
        target = QApplication::focusWidget() ? QApplication::focusWidget() : QApplication::activeWindow();
    QVERIFY(target);
    QTest::keyClick(target, Qt::Key(key), modifiers);
}

// The menu open on the screen, its items as shown: each text with its key, a line for a separator
// that shows.
QStringList openMenu()
{
    auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
    if (!menu || !QTest::qWaitForWindowExposed(menu))
        return {"no menu open"};
    QStringList items{menu->title()};
    for (QAction *action : menu->actions()) {
        if (!action->isVisible() || menu->actionGeometry(action).isEmpty())
            continue;
        const QString key = action->shortcut().toString(QKeySequence::NativeText);
        items << (action->isSeparator() ? QStringLiteral("—") : key.isEmpty() ? action->text() : action->text() + ' ' + key);
    }
    return items;
}

// Closes the menus and leaves the menu bar, as Esc does.
void leaveMenus()
{
    for (int tries = 0; tries < 5 && (QApplication::activePopupWidget() || qobject_cast<QMenuBar *>(QApplication::focusWidget()));
         ++tries)
        press(Qt::Key_Escape);
    QTRY_VERIFY(!QApplication::activePopupWidget());
}

// Gives the window the keyboard, as a window manager would after a click on it.
void activate(QWidget *window)
{
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
}

}  // namespace

class WindowHubTest : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> m_home;

    QString home(const QString &name) const { return m_home->filePath(name); }
    QString books() const { return home("books"); }
    QString demo() const { return home(".local/share/n3fix/demo"); }

    // The check window as the program opens it, once it has checked every database.
    CheckWindow *openCheckWindow()
    {
        auto *window = qobject_cast<CheckWindow *>(WindowHub::show(WindowHub::Window::Check));
        if (!window || !QTest::qWaitForWindowActive(window) || !QTest::qWaitFor([window] { return !window->busy(); }))
            return nullptr;
        return window;
    }

    // The window that has the keyboard once `key` is pressed where it is, after the events it brings.
    template <typename Window> Window *comesUp(int key, Qt::KeyboardModifiers modifiers = Qt::ControlModifier)
    {
        press(key, modifiers);
        Window *window = nullptr;
        return QTest::qWaitFor([&window] { return (window = qobject_cast<Window *>(QApplication::activeWindow())) != nullptr; })
                   ? window
                   : nullptr;
    }

    // The About box as shown from the 帮助 menu of the window with the keyboard: Alt+H, Down to its
    // second item, Enter; the box closed with Enter, and the window given the keyboard back as a
    // window manager would.
    QString aboutBox()
    {
        QWidget *window = QApplication::activeWindow();
        const auto back = qScopeGuard([window] { activate(window); });
        BoxAnswerer answerer({PressEnter});
        press(Qt::Key_H, Qt::AltModifier);
        if (openMenu().value(0) != "帮助(&H)")
            return "no help menu";
        press(Qt::Key_Down);
        press(Qt::Key_Return);
        const bool closed =
            QTest::qWaitFor([&answerer] { return answerer.shown.size() == 1 && !QApplication::activeModalWidget(); });
        return answerer.shown.join("\n--\n") + (closed ? "" : "|still open");
    }

private slots:
    void initTestCase()
    {
        QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
        QCoreApplication::setApplicationName(QStringLiteral("n3fix"));  // the tool's own data directory
        // the version the real program gives, as it gives it to its windows
        const ProcessRun version = runProcess(N3FIX, {"--version"});
        QVERIFY(version.status == 0 && version.out.startsWith("n3fix "));
        QCoreApplication::setApplicationVersion(QString::fromUtf8(version.out.mid(6).trimmed()));
    }
    // A home of its own with books in a folder, the tool on that folder, real boxes.
    void init()
    {
        m_home = std::make_unique<QTemporaryDir>();
        qputenv("HOME", QFile::encodeName(m_home->path()));
        qunsetenv("XDG_DATA_HOME");
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, home(".config"));
        QVERIFY(QDir().mkpath(books()));
        writeSystemDatabase(home("books/LQsystem.db"), {{"007", "异形", {2031}, {}}, {"008", "另一家", {2030}, {}}});
        SqliteFixture::run(home("books/LQDATA_007_2031.db"), QString(LedgerFixture::TypicalTables) + LedgerFixture::PlantedBooks);
        SqliteFixture::run(home("books/LQDATA_008_2030.db"), LedgerFixture::TypicalTables);
        FormDriver::useDataDirectory(books());
        MessageBox::setRecording(false);
    }
    void cleanup()
    {
        leaveMenus();
        WindowHub::deleteAll();
        qDeleteAll(shown<GuideWindow>());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        ODBC::DbConn().reset();
        m_home.reset();
    }

    // Both windows carry the same menus, each item with its key, and the window's own access keys
    // stay its own: Alt+F opens 文件, Alt+B goes to the wrong flags.
    void menusOfBothWindows()
    {
        CheckWindow *check = openCheckWindow();
        QVERIFY(check);
        JournalWindow *journal = comesUp<JournalWindow>(Qt::Key_3);
        QVERIFY(journal);
        for (QWidget *window : {static_cast<QWidget *>(check), static_cast<QWidget *>(journal)}) {
            activate(window);
            auto *bar = window->findChild<QMenuBar *>();
            QVERIFY(bar && bar->isVisible());
            QStringList titles;
            for (QAction *menu : bar->actions())
                titles << menu->text();
            QCOMPARE(titles, QStringList({"文件(&F)", "窗口(&W)", "帮助(&H)"}));

            press(Qt::Key_F, Qt::AltModifier);
            QCOMPARE(openMenu(), QStringList({"文件(&F)", "关闭 Ctrl+W"}));
            press(Qt::Key_Right);
            QCOMPARE(openMenu(), QStringList({"窗口(&W)", "主窗口 Ctrl+1", "检查和修复 Ctrl+2", "修复日志 Ctrl+3", "—",
                                              "选择数据位置… Ctrl+O"}));
            press(Qt::Key_Right);
            QCOMPARE(openMenu(), QStringList({"帮助(&H)", "使用说明 F1", "关于"}));
            leaveMenus();
            press(Qt::Key_W, Qt::AltModifier);
            QCOMPARE(openMenu().value(0), QStringLiteral("窗口(&W)"));
            leaveMenus();
        }
        activate(check);
        press(Qt::Key_B, Qt::AltModifier);
        QCOMPARE(QApplication::focusWidget(), check->wrongFlagsList);
        QCOMPARE(check->wrongFlagsLabel->text(), QStringLiteral("末级标志错误(&B)：2 个"));
        press(Qt::Key_F, Qt::AltModifier);
        QCOMPARE(openMenu().value(0), QStringLiteral("文件(&F)"));
        leaveMenus();
        QCOMPARE(QApplication::focusWidget(), check->wrongFlagsList);
    }

    // Each key opens its window on the same data, or brings the one open to the front: pressed
    // again, from any window, it never makes a second. 主窗口 is the real main window, listing the
    // account sets; 检查和修复 checks the same books; the journal button and a click in the menu
    // find the same journal window.
    void eachWindowOnceOnTheSameData()
    {
        CheckWindow *check = openCheckWindow();
        QVERIFY(check);
        QCOMPARE(check->windowTitle(), "检查和修复 — " + books());
        QCOMPARE(check->databaseList->model()->rowCount(), 2);

        JournalWindow *journal = comesUp<JournalWindow>(Qt::Key_3);
        QVERIFY(journal);
        QCOMPARE(journal->windowTitle(), "修复日志 — " + books());
        QCOMPARE(journal->rowSummary->text(), "日志目录 " + books() + "/journal 中没有修复记录。");
        QCOMPARE(comesUp<JournalWindow>(Qt::Key_3), journal);
        QCOMPARE(comesUp<CheckWindow>(Qt::Key_2), check);
        QCOMPARE(comesUp<JournalWindow>(Qt::Key_3), journal);
        activate(check);
        QTest::mouseClick(check->journalButton, Qt::LeftButton);
        QTRY_COMPARE(QApplication::activeWindow(), journal);

        Form1 *main = comesUp<Form1>(Qt::Key_1);
        QVERIFY(main);
        QCOMPARE(main->windowTitle(), MainCaption);
        QCOMPARE(FormDriver::entries(main->Combo3), QStringList({"007(异形)", "008(另一家)"}));
        FormDriver::pickFromList(main->Combo3, 1);
        QCOMPARE(FormDriver::seen(main->Combo5), QStringLiteral("2030|"));
        activate(journal);
        QCOMPARE(comesUp<Form1>(Qt::Key_1), main);

        // the journal window's menu, by mouse: 窗口, then 检查和修复
        activate(journal);
        auto *bar = journal->findChild<QMenuBar *>();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(bar->actions().at(1)).center());
        QTRY_VERIFY(qobject_cast<QMenu *>(QApplication::activePopupWidget()));
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        QVERIFY(QTest::qWaitForWindowExposed(menu));
        QAction *item = menu->actions().at(1);
        QCOMPARE(item->text(), QStringLiteral("检查和修复"));
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(item).center());
        QTRY_COMPARE(QApplication::activeWindow(), check);

        // F1 gives the guide, one window however often it is asked for
        auto *guide = comesUp<GuideWindow>(Qt::Key_F1, Qt::NoModifier);
        QVERIFY(guide);
        activate(journal);
        QCOMPARE(comesUp<GuideWindow>(Qt::Key_F1, Qt::NoModifier), guide);

        QCOMPARE(shown<CheckWindow>().size(), 1);
        QCOMPARE(shown<JournalWindow>().size(), 1);
        QCOMPARE(shown<Form1>().size(), 1);
        QCOMPARE(shown<GuideWindow>().size(), 1);
    }

    // Ctrl+W closes the window it is pressed in and no other: the journal window the check window
    // opened outlives it and still follows the journal, here of a repair the command line makes;
    // Ctrl+2 there opens a new check window, which checks the books again.
    void closingOneLeavesTheOthers()
    {
        QPointer<CheckWindow> check = openCheckWindow();
        QVERIFY(check);
        QTest::mouseClick(check->journalButton, Qt::LeftButton);
        QPointer<JournalWindow> journal = qobject_cast<JournalWindow *>(QApplication::activeWindow());
        QTRY_VERIFY((journal = qobject_cast<JournalWindow *>(QApplication::activeWindow())));
        QCOMPARE(journal->repairList->model()->rowCount(), 0);

        activate(check);
        press(Qt::Key_W, Qt::ControlModifier);
        QTRY_VERIFY(!check);
        QVERIFY(journal && journal->isVisible());

        const ProcessRun repair = runProcess(N3FIX, {"--repair-end-flags", "--account-set", "007", "--data-dir", books()},
                                             environmentWithHome(m_home->path()));
        QCOMPARE(repair.status, 0);
        activate(journal);
        press(Qt::Key_F5);
        QTRY_COMPARE(journal->repairList->model()->rowCount(), 1);
        QCOMPARE(JournalDriver::cell(journal->repairList, 0, 2), QStringLiteral("彻底根除"));

        auto *again = comesUp<CheckWindow>(Qt::Key_2);
        QVERIFY(again);
        QTRY_VERIFY(!again->busy());
        QCOMPARE(again->status->text(), QStringLiteral("共检查 2 个数据库：1 个有问题，0 个无法读取。"));
        QCOMPARE(JournalDriver::cell(again->databaseList, 0, 2), QStringLiteral("0"));  // the flags the repair wrote
        activate(journal);
        press(Qt::Key_W, Qt::ControlModifier);
        QTRY_VERIFY(!journal);
        QVERIFY(again->isVisible());
        QCOMPARE(shown<CheckWindow>(), QList<CheckWindow *>{again});
    }

    // The About box names the program, its version and licence, the Qt it runs on, and where the
    // data and its journal are: a folder, the demo data, SQL Server. The titles say when the data
    // is the demo data, however its folder was named; the main window's does not.
    void aboutAndTheDemoMarker()
    {
        const QString about = "关于 n3fix|澄岚N3科目错误修正工具（n3fix）\n版本：" + QCoreApplication::applicationVersion()
                              + "\n许可证：MIT\nQt 版本：" + QLibraryInfo::version().toString() + "\n\n数据位置：";
        CheckWindow *check = openCheckWindow();
        QVERIFY(check);
        QCOMPARE(aboutBox(), about + "文件夹 " + books() + "\n修复日志目录：" + books() + "/journal|确定|确定");
        QVERIFY(comesUp<JournalWindow>(Qt::Key_3));
        QCOMPARE(aboutBox(), about + "文件夹 " + books() + "\n修复日志目录：" + books() + "/journal|确定|确定");
        WindowHub::deleteAll();

        QCOMPARE(prepareDemoData(demo()), QString());
        QVERIFY(QFile::link(demo(), home("练习")));
        for (const QString &named : {demo(), demo() + "/", home("练习")}) {
            ODBC::setEngine({db::EngineKind::Embedded, named});
            check = openCheckWindow();
            QVERIFY(check);
            QCOMPARE(check->windowTitle(), QStringLiteral("检查和修复 — 演示数据"));
            QCOMPARE(check->databaseList->model()->rowCount(), 6);
            auto *journal = comesUp<JournalWindow>(Qt::Key_3);
            QVERIFY(journal);
            QCOMPARE(journal->windowTitle(), QStringLiteral("修复日志 — 演示数据"));
            const QString box = aboutBox();
            QVERIFY2(box.startsWith(about + "演示数据（" + demo() + "）\n修复日志目录："), qPrintable(box));
            QVERIFY2(box.endsWith("/journal|确定|确定"), qPrintable(box));
            auto *main = comesUp<Form1>(Qt::Key_1);
            QVERIFY(main);
            QCOMPARE(main->windowTitle(), MainCaption);
            WindowHub::deleteAll();
        }

        ODBC::setEngine({db::EngineKind::Odbc, home(".local/share/n3fix")});
        auto *journal = qobject_cast<JournalWindow *>(WindowHub::show(WindowHub::Window::Journal));
        QVERIFY(journal && QTest::qWaitForWindowActive(journal));
        QCOMPARE(journal->windowTitle(), QStringLiteral("修复日志 — ODBC（SQL Server）"));
        QCOMPARE(aboutBox(), about + "SQL Server（ODBC）\n修复日志目录：" + home(".local/share/n3fix/journal") + "|确定|确定");
    }

    // n3fix --check-window as a real program: Ctrl+3 opens its journal window; Ctrl+O starts the
    // program again, which asks where the data is, keeps the answer (the demo data, Enter) and opens
    // the main window on it, while the first program's windows stay on their folder. Ctrl+W closes
    // the check window and the program goes on; closing its last window ends it.
    void theRealProgramsWindows()
    {
        QProcess program;
        program.setProcessEnvironment(environmentWithHome(m_home->path()));
        program.start(N3FIX, {"--check-window", "--data-dir", books()});
        qint64 chooser = 0;
        const auto ended = qScopeGuard([&] {
            program.kill();
            program.waitForFinished();
            if (chooser > 0)
                ::kill(pid_t(chooser), SIGKILL);
        });
        const QString check = X11Windows::waitFor("检查和修复 — " + books());
        QVERIFY2(!check.isEmpty(), qPrintable(X11Windows::titles().join('|')));
        QVERIFY(X11Windows::pressIn(check, "ctrl+3"));
        const QString journal = X11Windows::waitFor("修复日志 — " + books());
        QVERIFY2(!journal.isEmpty(), qPrintable(X11Windows::titles().join('|')));

        QVERIFY(X11Windows::pressIn(check, "ctrl+o"));
        const QString box = X11Windows::waitFor(MessageBox::ApplicationTitle);
        QVERIFY2(!box.isEmpty(), qPrintable(X11Windows::titles().join('|')));
        chooser = X11Windows::processOf(box);
        QVERIFY(chooser > 0 && chooser != program.processId());
        QVERIFY(X11Windows::pressIn(box, "Return"));
        const QString main = X11Windows::waitFor(MainCaption, 120000);
        QVERIFY2(!main.isEmpty(), qPrintable(X11Windows::titles().join('|')));
        QCOMPARE(X11Windows::processOf(main), chooser);
        QFile settings(home(".config/n3fix/n3fix.conf"));
        QVERIFY(settings.open(QIODevice::ReadOnly));
        QCOMPARE(settings.readAll(), QByteArray("[data]\nlocation=demo\n"));
        QVERIFY(QFileInfo::exists(demo() + "/LQsystem.db"));

        QVERIFY(X11Windows::pressIn(check, "ctrl+w"));
        QTRY_VERIFY_WITH_TIMEOUT(!X11Windows::titles().contains("检查和修复 — " + books()), 30000);
        QVERIFY(!program.waitForFinished(1000));
        QVERIFY(X11Windows::titles().contains("修复日志 — " + books()));
        QVERIFY(X11Windows::pressIn(journal, "ctrl+w"));
        QVERIFY(program.waitForFinished(30000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
        QVERIFY(X11Windows::titles().contains(MainCaption));  // the other program is on its own
    }
};

QTEST_MAIN(WindowHubTest)
#include "tst_window_hub.moc"
