// The first start from the menu on a fresh account, on a real X server (Xvfb, Qt's xcb platform):
// with no system database in the default data directory one real box comes before the window and
// leads, by key presses and clicks, to a window that lists account sets: the demo data (Enter),
// a folder picked in the real folder dialog, or SQL Server through the real ODBC driver manager.
// The place chosen is kept in the settings file and used by the next starts: of the window, the
// journal window and the commands, also as real processes of n3fix; --choose-data asks again.
#include "support/BoxAnswerer.h"
#include "support/FormDriver.h"
#include "support/OdbcFixture.h"
#include "support/ProcessRun.h"
#include "support/X11Windows.h"

#include "app/FirstStart.h"
#include "app/Form1.h"
#include "app/GuideWindow.h"
#include "app/MessageBox.h"
#include "app/SqlServerDialog.h"
#include "cli/CommandLine.h"
#include "db/ODBC.h"
#include "demo/DemoData.h"

#include <QtTest>
#include <QtWidgets>

// A folder typed into the folder dialog, as an answer to it.
static BoxAnswerer::Answer typeFolder(const QString &path)
{
    return [path](QWidget *dialog) {
        auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        QVERIFY(name);
        FormDriver::typeOver(name, path);
        // Return takes the folder; one that only closes the completer's list, which may come up
        // late on a busy machine, is pressed again.
        for (int tries = 0; tries < 40 && dialog->isVisible(); ++tries) {
            QTest::keyClick(name, Qt::Key_Return);
            QTest::qWait(50);
        }
    };
}

// The guide window that is open, if one is.
static GuideWindow *openGuide()
{
    for (QWidget *window : QApplication::topLevelWidgets())
        if (auto *guide = qobject_cast<GuideWindow *>(window); guide && guide->isVisible())
            return guide;
    return nullptr;
}

// The engine the window opens on when started with `arguments`.
static std::optional<db::EngineSettings> windowEngine(const QStringList &arguments)
{
    const cli::StartOptions options = cli::parseCommandLine(arguments);
    return FirstStart::windowEngine(options.place, options.chooseData);
}

class tst_FirstStart : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> m_home;
    std::unique_ptr<Form1> m_form;

    QString home(const QString &name) const { return m_home->filePath(name); }
    static QString choicePrompt() { return "默认数据目录 " + db::defaultDataDirectory() + " 中还没有数据库。"; }
    static QString choiceButtons() { return FirstStart::choiceButtons().join(',') + ",使用说明|打开演示数据"; }
    // The start of a box of the tool's title kept by the answerer, up to `text`.
    static QString titled(const QString &text) { return MessageBox::ApplicationTitle + '|' + text; }

    // The window opened as the program opens it, on the engine the start gave.
    bool openWindow(const db::EngineSettings &engine)
    {
        ODBC::setEngine(engine);
        m_form = FormDriver::openWindow();
        return m_form != nullptr;
    }

    // The window lists the demo account sets, and a pick from the list gives that set's years.
    void verifyWindowListsDemoSets()
    {
        QCOMPARE(FormDriver::entries(m_form->Combo3),
                 QStringList({"001(演示工业有限公司)", "002(演示商贸有限公司)", "003(演示服务有限公司)", "667(澄岚示范单位)"}));
        FormDriver::pickFromList(m_form->Combo3, 0);
        QCOMPARE(FormDriver::seen(m_form->Combo5), QStringLiteral("2006,2007|"));
        QCOMPARE(m_form->Combo1->currentText(), QStringLiteral("9"));
    }

    // Runs n3demo with the test's home directory; gives its exit status.
    int n3demo(const QStringList &arguments) { return runProcess(N3DEMO, arguments, environmentWithHome(m_home->path())).status; }
    // Runs an n3fix command with the test's home directory.
    ProcessRun n3fix(const QStringList &arguments) { return runProcess(N3FIX, arguments, environmentWithHome(m_home->path())); }

    // The settings file as the user finds it, and one written as by hand.
    QString settingsFile() const { return home(".config/n3fix/n3fix.conf"); }
    QString settings() const
    {
        QFile file(settingsFile());
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QStringLiteral("(none)");
    }
    void writeSettings(const QString &text)
    {
        QVERIFY(QDir().mkpath(home(".config/n3fix")));
        QFile file(settingsFile());
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(text.toUtf8()) > 0);
    }

    // Starts n3fix as a real program on this X server with the test's home directory and waits for
    // a window titled `title`; gives the titles of every window then shown, and ends the program.
    QStringList programShows(const QStringList &arguments, const QString &title)
    {
        RunningProgram program(N3FIX, arguments, environmentWithHome(m_home->path()));
        const QString id = X11Windows::waitFor(title);
        const QStringList titles = X11Windows::titles();
        return id.isEmpty() ? QStringList{"no window " + title} + titles : titles;
    }

private slots:
    void initTestCase()
    {
        QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
        QCoreApplication::setApplicationName(QStringLiteral("n3fix"));  // the tool's own data directory
        QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);    // Qt's folder dialog, the same everywhere
    }
    // An empty home directory, and real boxes.
    void init()
    {
        m_home = std::make_unique<QTemporaryDir>();
        qputenv("HOME", QFile::encodeName(m_home->path()));
        qunsetenv("XDG_DATA_HOME");
        // Qt finds the settings folder once per process; the programs started here find it by HOME.
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, home(".config"));
        MessageBox::setRecording(false);
    }
    void cleanup() { m_form.reset(); }

    // Enter opens the demo data: one box, then a window with the demo sets and no other box. The
    // choice is kept: though n3demo then fills the default data directory, the next start and the
    // commands keep to the one demo folder, and the commands say so.
    void enterOpensTheDemoData()
    {
        BoxAnswerer answers({BoxAnswerer::press(Qt::Key_Return)});
        const std::optional<db::EngineSettings> engine = windowEngine({"n3fix"});
        QVERIFY(engine && engine->kind == db::EngineKind::Embedded);
        QCOMPARE(engine->dataDirectory, db::demoDataDirectory());
        QVERIFY(openWindow(*engine));
        QCOMPARE(answers.shown.size(), 1);
        QVERIFY2(answers.shown[0].startsWith(titled(choicePrompt())), qPrintable(answers.shown[0]));
        QVERIFY2(answers.shown[0].endsWith(choiceButtons()), qPrintable(answers.shown[0]));
        verifyWindowListsDemoSets();
        QCOMPARE(answers.shown.size(), 1);
        m_form.reset();

        QCOMPARE(settings(), QStringLiteral("[data]\nlocation=demo\n"));

        QCOMPARE(n3demo({}), 0);
        QVERIFY(QFile::exists(db::defaultDataDirectory() + "/LQsystem.db"));
        const std::optional<db::EngineSettings> next = windowEngine({"n3fix"});
        QVERIFY(next && next->dataDirectory == db::demoDataDirectory());
        QCOMPARE(answers.shown.size(), 1);
        const ProcessRun repair = n3fix({"--repair-end-flags", "--account-set", "667"});
        QCOMPARE(repair.status, 0);
        QCOMPARE(QString::fromUtf8(repair.err), "使用上次选择的数据位置：演示数据（" + db::demoDataDirectory() + "）\n");
        QVERIFY(n3fix({"--journal", "--demo"}).out.contains("帐套 667"));
        QVERIFY(!n3fix({"--journal", "--data-dir", db::defaultDataDirectory()}).out.contains("帐套 667"));
    }

    // The box's 使用说明 button opens the guide beside it and asks again. The guide is no part of
    // the question: while the box waits it is searched with real keys (XTest), and it stays open
    // beside the window chosen. F1 opens it too.
    void guideBesideTheBox()
    {
        if (QStandardPaths::findExecutable("xdotool").isEmpty())
            SKIP_UNLESS_CI("xdotool is missing (scripts/install-deps --test)");
        QString found;
        const auto searchTheGuide = [&found](QWidget *box) {
            GuideWindow *guide = openGuide();
            QVERIFY(guide && guide->isVisible());
            const QString id = QString::number(guide->winId());
            QVERIFY(runProcess("xdotool", {"windowfocus", "--sync", id}).status == 0);
            QVERIFY(runProcess("xdotool", {"key", "ctrl+f"}).status == 0);
            QVERIFY(runProcess("xdotool", {"type", "--delay", "50", "kinit"}).status == 0);
            for (int tries = 0; tries < 100 && found.isEmpty(); ++tries) {
                QTest::qWait(50);
                found = guide->note->text();
            }
            PressEnter(box);
        };
        {
            BoxAnswerer answers({BoxAnswerer::click("使用说明"), searchTheGuide});
            const std::optional<db::EngineSettings> engine = windowEngine({"n3fix"});
            QVERIFY(engine && engine->dataDirectory == db::demoDataDirectory());
            QCOMPARE(answers.shown.size(), 2);
            QVERIFY2(
                answers.shown[0].contains(
                    "设置方法见使用说明：按下面的“使用说明”按钮或 F1 打开，也在检查和修复窗口、修复日志窗口的菜单 帮助 → 使用说明 中"),
                qPrintable(answers.shown[0]));
            QVERIFY2(answers.shown[0].endsWith(choiceButtons()), qPrintable(answers.shown[0]));
            QCOMPARE(answers.shown[1], answers.shown[0]);
            QVERIFY2(found.startsWith("第 1 处，共 "), qPrintable(found));
            QVERIFY(openGuide());
            delete openGuide();
        }

        BoxAnswerer pressed({BoxAnswerer::press(Qt::Key_F1), BoxAnswerer::press(Qt::Key_Escape)});
        QVERIFY(!windowEngine({"n3fix", "--choose-data"}));
        QCOMPARE(pressed.shown.size(), 2);
        QVERIFY(openGuide());
        delete openGuide();
    }

    // A folder picked in the box is kept in the settings file and used by the next starts, without
    // a box: of the window, the journal window and the commands, as real programs too. A command
    // says where its data comes from on standard error, apart from --json's document; --data-dir
    // takes another folder for one run and leaves the kept place as it was.
    void folderKeptForTheNextStarts()
    {
        createDemoDataDirectory(home("books"));
        QVERIFY(QDir().mkpath(home("other")));
        writeSystemDatabase(home("other/LQsystem.db"), {{"900", "别处", {2030}, {}}});
        BoxAnswerer answers({BoxAnswerer::click("选择文件夹…"), typeFolder(home("books"))});
        QVERIFY(windowEngine({"n3fix"}));
        QCOMPARE(answers.shown.size(), 2);
        const QString kept = "[data]\nfolder=" + home("books") + "\nlocation=folder\n";
        QCOMPARE(settings(), kept);

        const std::optional<db::EngineSettings> next = windowEngine({"n3fix"});
        QVERIFY(next && next->kind == db::EngineKind::Embedded);
        QCOMPARE(next->dataDirectory, home("books"));
        const std::optional<db::EngineSettings> other = windowEngine({"n3fix", "--data-dir", home("other")});
        QVERIFY(other && other->dataDirectory == home("other"));
        QCoreApplication::processEvents();
        QCOMPARE(answers.shown.size(), 2);

        const QString said = "使用上次选择的数据位置：文件夹 " + home("books") + "\n";
        const ProcessRun check = n3fix({"--check", "--account-set", "667"});
        QCOMPARE(check.status, 1);
        QCOMPARE(QString::fromUtf8(check.err), said);
        QVERIFY2(check.out.startsWith("帐套 667，2007 年度（LQDATA_667_2007）："), check.out.constData());
        const ProcessRun json = n3fix({"--check", "--account-set", "667", "--json"});
        QCOMPARE(json.status, 1);
        QCOMPARE(QString::fromUtf8(json.err), said);
        QCOMPARE(json.json().array().at(0)["database"].toString(), QStringLiteral("LQDATA_667_2007"));
        const ProcessRun elsewhere = n3fix({"--check", "--account-set", "667", "--data-dir", home("other")});
        QCOMPARE(elsewhere.status, 2);
        QCOMPARE(QString::fromUtf8(elsewhere.err), QStringLiteral("系统库中没有编号为“667”的帐套（现有帐套：900）。\n"));

        const QString caption = QStringLiteral("澄岚N3科目错误修正工具（修复总账和明细账不平的错误）");
        const QStringList shown = programShows({}, caption);
        QVERIFY2(shown.contains(caption) && !shown.contains(MessageBox::ApplicationTitle), qPrintable(shown.join('|')));
        const QString journalTitle = "修复日志 — " + home("books");
        QVERIFY2(programShows({"--journal-window"}, journalTitle).contains(journalTitle),
                 qPrintable(X11Windows::titles().join('|')));
        QCOMPARE(settings(), kept);
    }

    // --choose-data brings the box back, naming the place in use: Esc leaves it kept, a choice
    // replaces it. The settings file is read as written by hand.
    void chooseDataAgain()
    {
        createDemoDataDirectory(home("books"));
        const QString kept = "[data]\nlocation=folder\nfolder=" + home("books") + "\n";
        writeSettings(kept);
        BoxAnswerer answers({BoxAnswerer::press(Qt::Key_Escape), BoxAnswerer::press(Qt::Key_Return)});
        QVERIFY(!windowEngine({"n3fix", "--choose-data"}));
        QCOMPARE(answers.shown.size(), 1);
        QVERIFY2(answers.shown[0].startsWith(titled("现在使用的数据：文件夹 " + home("books") + "。\n\n可以先打开演示数据练习；")),
                 qPrintable(answers.shown[0]));
        QCOMPARE(settings(), kept);

        const std::optional<db::EngineSettings> engine = windowEngine({"n3fix", "--choose-data"});
        QVERIFY(engine && engine->dataDirectory == db::demoDataDirectory());
        QCOMPARE(answers.shown.size(), 2);
        QCOMPARE(settings(), QStringLiteral("[data]\nlocation=demo\n"));
    }

    // A folder kept from an earlier start and since moved: the window's box says so and asks again;
    // the journal window and the commands say so and what to do, and open or change nothing.
    void keptFolderGone()
    {
        const QString kept = "[data]\nlocation=folder\nfolder=" + home("moved") + "\n";
        writeSettings(kept);
        const QString gone = "上次选择的数据文件夹 " + home("moved") + " 已不存在（可能已被移动、改名或删除）。";
        BoxAnswerer answers({BoxAnswerer::press(Qt::Key_Escape)});
        QVERIFY(!windowEngine({"n3fix"}));
        QCOMPARE(answers.shown.size(), 1);
        QVERIFY2(answers.shown[0].startsWith(titled(gone + "请重新选择数据位置。\n\n可以先打开演示数据练习；")),
                 qPrintable(answers.shown[0]));

        MessageBox::setRecording(true);
        QVERIFY(!FirstStart::journalEngine(cli::parseCommandLine({"n3fix", "--journal-window"}).place));
        const QList<MessageBox::Shown> boxes = MessageBox::takeShown();
        QCOMPARE(boxes.size(), 1);
        QVERIFY2(boxes[0].prompt.startsWith(gone + "请从菜单中的“选择数据位置”（或 n3fix --choose-data）重新选择"),
                 qPrintable(boxes[0].prompt));

        const ProcessRun check = n3fix({"--check"});
        QCOMPARE(check.status, 2);
        QVERIFY2(QString::fromUtf8(check.err).contains(gone + "可用 n3fix --choose-data 重新选择，或加 --data-dir 目录"),
                 check.err.constData());
        const ProcessRun json = n3fix({"--journal", "--json"});
        QCOMPARE(json.status, 2);
        QVERIFY2(json.json()["error"].toString().startsWith(gone), json.out.constData());
        QCOMPARE(settings(), kept);
        QVERIFY(!QFileInfo::exists(home("moved")) && !QFileInfo::exists(db::defaultDataDirectory()));
    }

    // A relative folder written by hand is the one beside the settings file, from any working
    // directory: the commands list that folder's journal, not one found from where they started.
    void relativeKeptFolder()
    {
        createDemoDataDirectory(home("books"));
        QVERIFY(QDir().mkpath(home("books/journal")) && QDir().mkpath(home("elsewhere/deeper")));
        const QString kept = "[data]\nlocation=folder\nfolder=../../books\n";
        writeSettings(kept);
        for (const QString &from : {home("elsewhere"), home("elsewhere/deeper"), home(".config/n3fix")}) {
            const ProcessRun listed = runProcess(N3FIX, {"--journal", "--json"}, environmentWithHome(m_home->path()), from);
            QVERIFY2(listed.status == 0 && listed.json().isArray(), qPrintable(from + ": " + listed.out + listed.err));
        }
        QCOMPARE(settings(), kept);
    }

    // A choice that can't be kept (where the settings folder should be, there is a file): the
    // window still opens on it, after a box that says it will be asked for again.
    void choiceThatCannotBeKept()
    {
        QVERIFY(QDir().mkpath(home(".config")));
        QFile blocker(home(".config/n3fix"));
        QVERIFY(blocker.open(QIODevice::WriteOnly) && blocker.write("x") == 1);
        blocker.close();
        BoxAnswerer answers({BoxAnswerer::press(Qt::Key_Return), BoxAnswerer::press(Qt::Key_Return)});
        const std::optional<db::EngineSettings> engine = windowEngine({"n3fix"});
        QVERIFY(engine && engine->dataDirectory == db::demoDataDirectory());
        QCOMPARE(answers.shown.size(), 2);
        QVERIFY2(
            answers.shown[1].startsWith(titled("无法把所选的数据位置写入设置文件 " + settingsFile() + "，下次启动时还会询问。")),
            qPrintable(answers.shown[1]));
    }

    // A folder without a system database is named in the box asked again; the next folder, with
    // one, opens in the window.
    void folderChosenInTheDialog()
    {
        createDemoDataDirectory(home("books"));
        QVERIFY(QDir().mkpath(home("empty")));
        BoxAnswerer answers({BoxAnswerer::click("选择文件夹…"), typeFolder(home("empty")), BoxAnswerer::click("选择文件夹…"),
                             typeFolder(home("books"))});
        const std::optional<db::EngineSettings> engine = windowEngine({"n3fix"});
        QVERIFY(engine && engine->kind == db::EngineKind::Embedded);
        QCOMPARE(QFileInfo(engine->dataDirectory).canonicalFilePath(), QFileInfo(home("books")).canonicalFilePath());
        QVERIFY(openWindow(*engine));
        QCOMPARE(answers.shown.size(), 4);
        QCOMPARE(answers.shown[1], QStringLiteral("QFileDialog"));
        QVERIFY2(answers.shown[2].startsWith(titled("文件夹 " + home("empty") + " 中没有系统库 LQsystem.db。\n\n" + choicePrompt())),
                 qPrintable(answers.shown[2]));
        verifyWindowListsDemoSets();
        QCOMPARE(answers.shown.size(), 4);
        QVERIFY(!QFileInfo::exists(db::demoDataDirectory()));
    }

    // Esc quits: no window, and no data directory made; a folder dialog cancelled asks again.
    void escapeQuits()
    {
        BoxAnswerer answers(
            {BoxAnswerer::click("选择文件夹…"), BoxAnswerer::press(Qt::Key_Escape), BoxAnswerer::press(Qt::Key_Escape)});
        QVERIFY(!windowEngine({"n3fix"}));
        QCOMPARE(answers.shown.size(), 3);
        QVERIFY2(answers.shown[2].startsWith(titled(choicePrompt())), qPrintable(answers.shown[2]));
        QVERIFY(!QFileInfo::exists(db::defaultDataDirectory()));
    }

    // No box when there is data, or when the command line names where it is.
    void noBoxWhenTheDataIsThere_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("defaultHoldsData");
        QTest::newRow("default data directory with data") << QStringList{"n3fix"} << true;
        QTest::newRow("--demo") << QStringList{"n3fix", "--demo"} << false;
    }
    void noBoxWhenTheDataIsThere()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, defaultHoldsData);
        if (defaultHoldsData)
            createDemoDataDirectory(db::defaultDataDirectory());
        BoxAnswerer answers({});
        const cli::StartOptions options = cli::parseCommandLine(arguments);
        const std::optional<db::EngineSettings> engine = FirstStart::windowEngine(options.place, options.chooseData);
        QVERIFY(engine && engine->kind == options.place.engine.kind && engine->dataDirectory == options.place.engine.dataDirectory);
        QCoreApplication::processEvents();
        QCOMPARE(answers.shown, QStringList());
    }

    // SQL Server: the window over the real ODBC driver manager, with the SQLite ODBC driver
    // registered as "SQL Server" (it takes no notice of the server and the login, and opens the
    // file DATABASE names in the current folder). The box asks for the server and the login, its
    // test says which server and database it tried and what came back; while the server has no
    // system database the choice is asked again and says so; once it has, the window lists its
    // sets. The server and login are kept, the password is not: the next start asks for it, and
    // a server that can't be reached then offers to connect again or choose another place. Last,
    // as the driver manager reads its configuration once.
    void sqlServerChosen()
    {
        OdbcFixture::registerSqliteDriver(m_home->path());  // also moves the default data directory
        QVERIFY(QDir().mkpath(home("no-server")) && QDir::setCurrent(home("no-server")));
        const QString secret = "Pw;{9=x";
        QStringList tested;
        const auto fillIn = [&](QWidget *window) {
            auto *dialog = qobject_cast<SqlServerDialog *>(window);
            QVERIFY(dialog);
            FormDriver::typeOver(dialog->serverField, "db01\\N3");
            QTest::mouseClick(dialog->sqlAuthentication, Qt::LeftButton, {}, QPoint(8, dialog->sqlAuthentication->height() / 2));
            QVERIFY(dialog->sqlAuthentication->isChecked() && dialog->passwordField->isEnabled());
            FormDriver::typeOver(dialog->loginField, "tester");
            FormDriver::typeOver(dialog->passwordField, secret);
            QTest::mouseClick(dialog->testButton, Qt::LeftButton);
            QTRY_VERIFY(dialog->isEnabled() && !dialog->result->text().startsWith("正在连接"));
            tested << dialog->result->text();
            QTest::keyClick(dialog->passwordField, Qt::Key_Return);
        };
        const auto serverReady = [this](QWidget *box) {
            OdbcFixture::useDemoDatabases(home("server"));
            MessageBox::setRecording(false);
            BoxAnswerer::click("连接 SQL Server")(box);
        };
        {
            BoxAnswerer answers({BoxAnswerer::click("连接 SQL Server"), fillIn, serverReady, fillIn});
            const std::optional<db::EngineSettings> engine = windowEngine({"n3fix"});
            QVERIFY(engine && engine->kind == db::EngineKind::Odbc);
            QCOMPARE(engine->access.server, "db01\\N3");
            QCOMPARE(engine->access.password, secret);
            QVERIFY(openWindow(*engine));
            verifyWindowListsDemoSets();
            QCOMPARE(answers.shown.size(), 4);
            QCOMPARE(answers.shown[1], "SqlServerDialog");
            QVERIFY2(answers.shown[2].startsWith(titled("无法读取系统库 LQsystem：数据库中缺少数据表：")),
                     qPrintable(answers.shown[2]));
            QVERIFY2(answers.shown[2].contains("\n\n" + choicePrompt()), qPrintable(answers.shown[2]));
            QCOMPARE(tested.size(), 2);
            QVERIFY2(tested[0].startsWith("连接失败：SQL Server 服务器 db01\\N3 上的数据库 LQsystem："), qPrintable(tested[0]));
            QCOMPARE(tested[1], "连接成功：SQL Server 服务器 db01\\N3 上的数据库 LQsystem，列有 4 个帐套。");
        }

        // kept: the server and the login, never the password
        QFile settings(settingsFile());
        QVERIFY(settings.open(QIODevice::ReadOnly));
        const QByteArray kept = settings.readAll();
        QVERIFY2(kept.contains("location=sqlserver") && kept.contains("login=tester") && kept.contains("db01")
                     && !kept.contains(secret.toUtf8()),
                 kept.constData());
        m_form.reset();

        // the next start asks for the password; without the databases it offers to connect again
        QVERIFY(QDir::setCurrent(home("no-server")));
        const auto typePassword = [&](QWidget *box) {
            auto *field = box->findChild<QLineEdit *>();
            QVERIFY(field && field->echoMode() == QLineEdit::Password);
            FormDriver::typeOver(field, secret);
            QTest::keyClick(field, Qt::Key_Return);
        };
        const auto serverBack = [this](QWidget *box) {
            QVERIFY(QDir::setCurrent(home("server")));
            BoxAnswerer::click("重新连接")(box);
        };
        BoxAnswerer again({typePassword, serverBack, typePassword});
        const std::optional<db::EngineSettings> next = windowEngine({"n3fix"});
        QVERIFY2(next && next->access.login == "tester" && next->access.password == secret, qPrintable(again.shown.join("\n--\n")));
        QCOMPARE(again.shown.size(), 3);
        QCOMPARE(again.shown[0], "QInputDialog");
        QVERIFY2(again.shown[1].startsWith(titled("无法读取系统库 LQsystem：数据库中缺少数据表："))
                     && again.shown[1].contains(
                         "可以在排除问题后重新连接，或选择别的数据位置。|重新连接,选择数据位置…,退出,使用说明|重新连接"),
                 qPrintable(again.shown[1]));
        QVERIFY(openWindow(*next));
        verifyWindowListsDemoSets();
    }
};

QTEST_MAIN(tst_FirstStart)
#include "tst_first_start.moc"
