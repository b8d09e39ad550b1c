// The windows of one program joined over the same data, on a real X server (Xvfb, Qt's xcb
// platform), used as a person does: each window opened or brought to the front with its key or a
// click in the menu, one of each, all on the same data. The program itself, as a real process:
// 选择数据位置… asks in a program of its own, which opens the main window on the place chosen while
// the first keeps its data. (The menus as heard, F1, Ctrl+W, the About box and the demo marker:
// tst_x11_accessibility.)
#include "support/FormDriver.h"
#include "support/LedgerFixture.h"
#include "support/ProcessRun.h"
#include "support/SqliteFixture.h"
#include "support/X11Windows.h"

#include "app/CheckWindow.h"
#include "app/Form1.h"
#include "app/JournalWindow.h"
#include "app/MessageBox.h"
#include "app/WindowHub.h"
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

private slots:
    void initTestCase()
    {
        QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
        QCoreApplication::setApplicationName(QStringLiteral("n3fix"));  // the tool's own data directory
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
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        m_home.reset();
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

        QCOMPARE(shown<CheckWindow>().size(), 1);
        QCOMPARE(shown<JournalWindow>().size(), 1);
        QCOMPARE(shown<Form1>().size(), 1);
    }

    // n3fix --check-window as a real program: Ctrl+3 opens its journal window; Ctrl+O starts the
    // program again, which asks where the data is, keeps the answer (the demo data, Enter) and opens
    // the main window on it, while the first program's windows stay on their folder.
    void theRealProgramsWindows()
    {
        RunningProgram program(N3FIX, {"--check-window", "--data-dir", books()}, environmentWithHome(m_home->path()));
        qint64 chooser = 0;
        const auto ended = qScopeGuard([&chooser] {
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

        QVERIFY(X11Windows::titles().contains("检查和修复 — " + books()));  // the first program keeps its data
    }
};

QTEST_MAIN(WindowHubTest)
#include "tst_window_hub.moc"
