// The first start from the menu on a fresh account, on a real X server (Xvfb, Qt's xcb platform):
// with no system database in the default data directory one real box comes before the window and
// leads, by key presses and clicks, to a window that lists account sets: the demo data (Enter),
// a folder picked in the real folder dialog, or SQL Server through the real ODBC driver manager.
#include "support/FormDriver.h"
#include "support/OdbcFixture.h"
#include "support/ProcessRun.h"

#include "app/CommandLine.h"
#include "app/FirstStart.h"
#include "app/Form1.h"
#include "app/MessageBox.h"
#include "db/ODBC.h"
#include "demo/DemoData.h"

#include <QtTest>
#include <QtWidgets>

#include <functional>

// Answers the modal windows as they come up on the screen, each with the next answer in line,
// once it is exposed; keeps what each showed. A box shows as "text|buttons|default button".
class ModalAnswers : public QObject {
public:
    explicit ModalAnswers(QList<std::function<void(QWidget *)>> answers) : m_answers(std::move(answers))
    {
        connect(&m_timer, &QTimer::timeout, this, &ModalAnswers::answer);
        m_timer.start(10);
    }
    QStringList seen;

private:
    void answer()
    {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible())
            return;
        m_timer.stop();  // waiting below runs the event loop
        if (!QTest::qWaitForWindowExposed(modal))
            seen << QStringLiteral("never exposed");
        if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            QStringList buttons;
            for (QAbstractButton *button : box->buttons())
                buttons << button->text();
            seen << box->text() + '|' + buttons.join(',') + '|' + (box->defaultButton() ? box->defaultButton()->text() : QString());
        } else {
            seen << modal->metaObject()->className();
        }
        if (m_answers.isEmpty())
            modal->close();  // a window nobody expected: closed, and seen above
        else
            m_answers.takeFirst()(modal);
        m_timer.start();
    }

    QList<std::function<void(QWidget *)>> m_answers;
    QTimer m_timer;
};

// Answers: a key on the box, a click on its button of that text, a folder typed into the dialog.
static std::function<void(QWidget *)> key(Qt::Key key)
{
    return [key](QWidget *box) { QTest::keyClick(box, key); };
}
static std::function<void(QWidget *)> click(const QString &text)
{
    return [text](QWidget *box) {
        for (QAbstractButton *button : box->findChildren<QAbstractButton *>())
            if (button->text() == text)
                return QTest::mouseClick(button, Qt::LeftButton);
        QFAIL(qPrintable("no button " + text));
    };
}
static std::function<void(QWidget *)> typeFolder(const QString &path)
{
    return [path](QWidget *dialog) {
        auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        QVERIFY(name);
        FormDriver::typeOver(name, path);
        QTest::keyClick(name, Qt::Key_Return);
        if (dialog->isVisible())  // the first Return closed the completer's list
            QTest::keyClick(name, Qt::Key_Return);
    };
}

class tst_FirstStart : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> m_home;
    std::unique_ptr<Form1> m_form;

    QString home(const QString &name) const { return m_home->filePath(name); }
    static QString choicePrompt() { return "默认数据目录 " + db::defaultDataDirectory() + " 中还没有数据库。"; }
    static QString choiceButtons() { return FirstStart::choiceButtons().join(',') + "|打开演示数据"; }

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
        MessageBox::showDataLayerMessages();
        MessageBox::setRecording(false);
    }
    void cleanup()
    {
        m_form.reset();
        ODBC::DbConn().reset();
    }

    // Enter opens the demo data: one box, then a window with the demo sets and no other box. The
    // demo folder leaves the default data directory free: n3demo still fills it, and the next start
    // then opens it without a box.
    void enterOpensTheDemoData()
    {
        ModalAnswers answers({key(Qt::Key_Return)});
        const std::optional<db::EngineSettings> engine = FirstStart::windowEngine(parseCommandLine({"n3fix"}));
        QVERIFY(engine && engine->kind == db::EngineKind::Embedded);
        QCOMPARE(engine->dataDirectory, demoDataDirectory());
        QVERIFY(openWindow(*engine));
        QCOMPARE(answers.seen.size(), 1);
        QVERIFY2(answers.seen[0].startsWith(choicePrompt()), qPrintable(answers.seen[0]));
        QVERIFY2(answers.seen[0].endsWith(choiceButtons()), qPrintable(answers.seen[0]));
        verifyWindowListsDemoSets();
        QCOMPARE(answers.seen.size(), 1);
        m_form.reset();

        QCOMPARE(n3demo({}), 0);
        QVERIFY(QFile::exists(db::defaultDataDirectory() + "/LQsystem.db"));
        const std::optional<db::EngineSettings> next = FirstStart::windowEngine(parseCommandLine({"n3fix"}));
        QVERIFY(next && next->dataDirectory == db::defaultDataDirectory());
        QCOMPARE(answers.seen.size(), 1);
        QVERIFY(QFile::exists(demoDataDirectory() + "/LQsystem.db"));
    }

    // A folder without a system database is named in the box asked again; the next folder, with
    // one, opens in the window.
    void folderChosenInTheDialog()
    {
        createDemoDataDirectory(home("books"));
        QVERIFY(QDir().mkpath(home("empty")));
        ModalAnswers answers({click("选择文件夹…"), typeFolder(home("empty")), click("选择文件夹…"), typeFolder(home("books"))});
        const std::optional<db::EngineSettings> engine = FirstStart::windowEngine(parseCommandLine({"n3fix"}));
        QVERIFY(engine && engine->kind == db::EngineKind::Embedded);
        QCOMPARE(QFileInfo(engine->dataDirectory).canonicalFilePath(), QFileInfo(home("books")).canonicalFilePath());
        QVERIFY(openWindow(*engine));
        QCOMPARE(answers.seen.size(), 4);
        QCOMPARE(answers.seen[1], QStringLiteral("QFileDialog"));
        QVERIFY2(answers.seen[2].startsWith("文件夹 " + home("empty") + " 中没有系统库 LQsystem.db。\n\n" + choicePrompt()),
                 qPrintable(answers.seen[2]));
        verifyWindowListsDemoSets();
        QCOMPARE(answers.seen.size(), 4);
        QVERIFY(!QFileInfo::exists(demoDataDirectory()));
    }

    // Esc quits: no window, and no data directory made; a folder dialog cancelled asks again.
    void escapeQuits()
    {
        ModalAnswers answers({click("选择文件夹…"), key(Qt::Key_Escape), key(Qt::Key_Escape)});
        QVERIFY(!FirstStart::windowEngine(parseCommandLine({"n3fix"})));
        QCOMPARE(answers.seen.size(), 3);
        QVERIFY2(answers.seen[2].startsWith(choicePrompt()), qPrintable(answers.seen[2]));
        QVERIFY(!QFileInfo::exists(db::defaultDataDirectory()));
    }

    // No box when there is data, or when the command line names where it is.
    void noBoxWhenTheDataIsThere_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("defaultHoldsData");
        QTest::newRow("default data directory with data") << QStringList{"n3fix"} << true;
        QTest::newRow("--demo") << QStringList{"n3fix", "--demo"} << false;
        QTest::newRow("--odbc") << QStringList{"n3fix", "--odbc"} << false;
    }
    void noBoxWhenTheDataIsThere()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, defaultHoldsData);
        if (defaultHoldsData)
            createDemoDataDirectory(db::defaultDataDirectory());
        ModalAnswers answers({});
        const StartOptions options = parseCommandLine(arguments);
        const std::optional<db::EngineSettings> engine = FirstStart::windowEngine(options);
        QVERIFY(engine && engine->kind == options.engine.kind && engine->dataDirectory == options.engine.dataDirectory);
        QCoreApplication::processEvents();
        QCOMPARE(answers.seen, QStringList());
    }

    // SQL Server: the window over the real ODBC driver manager, with the SQLite ODBC driver
    // registered as "SQL Server". While the server has no system database the box asks again and
    // says so; once it has, the window lists its sets. Last, as the driver manager reads its
    // configuration once.
    void sqlServerChosen()
    {
        OdbcFixture::registerSqliteDriver(m_home->path());  // also moves the default data directory
        QVERIFY(QDir().mkpath(home("no-server")) && QDir::setCurrent(home("no-server")));
        const auto serverReady = [this](QWidget *box) {
            OdbcFixture::useDemoDatabases(home("server"));
            MessageBox::setRecording(false);
            click("连接 SQL Server")(box);
        };
        ModalAnswers answers({click("连接 SQL Server"), serverReady});
        const std::optional<db::EngineSettings> engine = FirstStart::windowEngine(parseCommandLine({"n3fix"}));
        QVERIFY(engine && engine->kind == db::EngineKind::Odbc);
        QVERIFY(openWindow(*engine));
        verifyWindowListsDemoSets();
        QCOMPARE(answers.seen.size(), 2);
        QVERIFY2(answers.seen[1].startsWith("无法读取系统库 LQsystem：数据库中缺少数据表："), qPrintable(answers.seen[1]));
        QVERIFY2(answers.seen[1].contains("\n\n" + choicePrompt()), qPrintable(answers.seen[1]));
    }
};

QTEST_MAIN(tst_FirstStart)
#include "tst_first_start.moc"
