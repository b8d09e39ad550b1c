// SQL Server on another computer, from the command line as a technician uses it: the real n3fix
// as a process over the real unixODBC driver manager. FreeTDS, registered as "SQL Server", is
// shown to reach the host and port given with --server by a listener on 127.0.0.1 that takes its
// pre-login packet; the SQLite ODBC driver, registered under the same name, stands in for a
// server that answers (it takes no notice of SERVER, UID and PWD), so the journal, the undo and
// the password's path can be followed end to end.
#include "support/ProcessRun.h"
#include "support/SqliteFixture.h"

#include <QtNetwork>
#include <QtTest>

static const QString Secret = QStringLiteral("Pw;{9=x");

class tst_RemoteServer : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;

    QString path(const QString &name) const { return m_dir.filePath(name); }

    // An environment whose driver manager knows `driver` as "SQL Server", on a fresh home.
    QProcessEnvironment environment(const QString &driver) const
    {
        const QString config = path("odbc-" + QFileInfo(driver).baseName());
        QDir().mkpath(config);
        QFile ini(QDir(config).filePath("odbcinst.ini"));
        if (ini.open(QIODevice::WriteOnly))
            ini.write("[SQL Server]\nDriver=" + driver.toUtf8() + "\n");
        QProcessEnvironment env = environmentWithHome(path("home"));
        env.insert("ODBCSYSINI", config);
        env.remove("TDSHOST");
        env.remove("TDSPORT");
        return env;
    }

    // n3fix with `arguments`, `input` on its standard input (closed after it), in `dir`.
    static ProcessRun n3fix(const QStringList &arguments, const QProcessEnvironment &env, const QByteArray &input = {},
                            const QString &dir = QString())
    {
        QProcess process;
        process.setProcessEnvironment(env);
        if (!dir.isEmpty())
            process.setWorkingDirectory(dir);
        process.start(N3FIX, arguments);
        process.write(input);
        process.closeWriteChannel();
        ProcessRun run;
        if (process.waitForFinished(120000) && process.exitStatus() == QProcess::NormalExit)
            run.status = process.exitCode();
        run.out = process.readAllStandardOutput();
        run.err = process.readAllStandardError();
        return run;
    }

    // Every byte under the home folder and in the runs' output: none may hold the password.
    void verifyNoSecretIn(const QList<ProcessRun> &runs)
    {
        for (const ProcessRun &run : runs)
            QVERIFY2(!run.out.contains(Secret.toUtf8()) && !run.err.contains(Secret.toUtf8()), run.err.constData());
        QDirIterator files(path("home"), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (files.hasNext()) {
            QFile file(files.next());
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QByteArray bytes = file.readAll();
            QVERIFY2(
                !bytes.contains(Secret.toUtf8())
                    && !bytes.contains(QByteArray::fromRawData(reinterpret_cast<const char *>(Secret.utf16()), Secret.size() * 2)),
                qPrintable(file.fileName()));
        }
    }

private slots:
    // FreeTDS goes to the host and port given, with no environment variable, and the message
    // names the server and the database tried, the driver's words and none of Qt's. A SQL Server
    // login reads its password from standard input and never shows it. FreeTDS's own variables
    // still win where set, and the message says so instead of asking for them.
    void freeTdsReachesTheServerGiven_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<bool>("byVariables");
        QTest::newRow("--server host,port") << QStringList() << false;
        QTest::newRow("--sql-login") << QStringList{"--sql-login", "n3"} << false;
        QTest::newRow("TDSHOST and TDSPORT") << QStringList{"--odbc"} << true;
    }
    void freeTdsReachesTheServerGiven()
    {
        QFETCH(QStringList, options);
        QFETCH(bool, byVariables);
        QTcpServer listener;
        QVERIFY(listener.listen(QHostAddress::LocalHost));
        const QString server = QStringLiteral("127.0.0.1,%1").arg(listener.serverPort());
        QProcessEnvironment env = environment("/usr/lib/x86_64-linux-gnu/odbc/libtdsodbc.so");
        QStringList arguments{"--check", "--json"};
        if (byVariables) {
            env.insert("TDSHOST", "127.0.0.1");
            env.insert("TDSPORT", QString::number(listener.serverPort()));
        } else {
            arguments << "--server" << server;
        }
        QProcess check;
        check.setProcessEnvironment(env);
        check.start(N3FIX, arguments + options);
        check.write((Secret + "\n").toUtf8());
        QVERIFY(check.waitForBytesWritten(30000));
        check.closeWriteChannel();
        QVERIFY2(listener.waitForNewConnection(60000), "no connection reached the listener");
        QTcpSocket *client = listener.nextPendingConnection();
        QVERIFY(client->bytesAvailable() > 0 || client->waitForReadyRead(30000));
        QCOMPARE(int(client->read(1).at(0)), 0x12);  // a TDS pre-login packet
        client->abort();
        // FreeTDS may try again, with another protocol version: every later try is cut off too
        QObject::connect(&listener, &QTcpServer::newConnection, &listener, [&listener] {
            while (QTcpSocket *again = listener.nextPendingConnection())
                again->abort();
        });
        QTRY_VERIFY_WITH_TIMEOUT(check.state() == QProcess::NotRunning, 120000);
        ProcessRun run{
            check.exitCode(),
            check.readAllStandardOutput(),
            check.readAllStandardError(),
        };
        QCOMPARE(run.status, 2);
        const QString error = QString::fromUtf8(run.err);
        const QString tried = byVariables ? "(local)" : server;
        QVERIFY2(error.startsWith(QStringLiteral("SQL Server 服务器 %1 上的数据库 LQsystem：服务器接受了连接").arg(tried))
                     && error.contains("[FreeTDS][SQL Server]") && !error.contains("QODBC"),
                 qPrintable(error));
        QCOMPARE(error.contains(QStringLiteral("环境变量 TDSHOST=127.0.0.1、TDSPORT=%1 已设置").arg(listener.serverPort())),
                 byVariables);
        QCOMPARE(run.json()["error"].toString(), error.trimmed());
        verifyNoSecretIn({run});
    }

    // FreeTDS's own variables would take the connection to another server than --server names, and
    // a repair would be journaled on the wrong one: refused before any connection is tried.
    void variablesThatWouldSendItElsewhere()
    {
        QProcessEnvironment env = environment("/usr/lib/x86_64-linux-gnu/odbc/libtdsodbc.so");
        env.insert("TDSHOST", "127.0.0.1");
        const ProcessRun run = n3fix({"--check", "--server", "db01,1433"}, env);
        QCOMPARE(run.status, 2);
        QVERIFY2(run.err.startsWith(QStringLiteral("SQL Server 服务器 db01,1433 上的数据库 LQsystem：没有连接：FreeTDS 会按环境变量 "
                                                   "TDSHOST、TDSPORT 连接，而不是这里给出的服务器 db01,1433")
                                        .toUtf8()),
                 run.err.constData());
    }

    // What --server and --sql-login refuse, before anything is opened (exit 2).
    void refusedOnTheCommandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("error");
        QTest::newRow("attribute in the name")
            << QStringList{"--server", "db;DATABASE=x"} << "--server：服务器名“db;DATABASE=x”中不能有“;”。";
        QTest::newRow("port out of range") << QStringList{"--server", "db,70000"} << "--server：无法识别服务器名“db,70000”。";
        QTest::newRow("no login") << QStringList{"--sql-login", ""} << "选项 --sql-login 后面需要给出登录名。";
        QTest::newRow("with --demo") << QStringList{"--server", "db", "--demo"} << "--data-dir、--odbc 和 --demo 只能选一个";
        QTest::newRow("with --guide") << QStringList{"--guide", "--sql-login", "n3"} << "--guide 只打开使用说明窗口";
        QTest::newRow("no password") << QStringList{"--sql-login", "n3"} << "没有得到 SQL Server 登录名 n3 的密码";
    }
    void refusedOnTheCommandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, error);
        const ProcessRun run = n3fix(arguments << "--check", environment("/nonexistent/driver.so"));
        QCOMPARE(run.status, 2);
        QVERIFY2(QString::fromUtf8(run.err).startsWith(error), run.err.constData());
        QVERIFY(!QFileInfo::exists(path("home/.local/share/n3fix")));
    }

    // A repair on another server keeps the server in its journal: it is listed there and undone
    // only there, with the password asked again; the local server (--odbc) refuses the undo and
    // names the --server to add. The database is back as it was, and the password is nowhere.
    void journalKeepsTheServer()
    {
        const QString data = path("server");
        QVERIFY(QDir().mkpath(data));
        QProcessEnvironment env = environment("/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so");
        QCOMPARE(runProcess(N3DEMO, {data}).status, 0);
        for (const QString &file : QDir(data).entryList({"*.db"}))
            QVERIFY(QDir(data).rename(file, file.chopped(3)));  // DATABASE=X opens the file X
        const QString year = QDir(data).filePath("LQDATA_001_2007");
        const QString before = SqliteFixture::dump(year, "code");
        const QStringList onServer{"--server", "db01\\N3", "--sql-login", "n3"};
        QList<ProcessRun> runs;

        runs << n3fix(QStringList{"--repair-end-flags", "--account-set", "001", "--year", "2007", "--json"} + onServer, env,
                      (Secret + "\r\n").toUtf8(), data);
        QCOMPARE(runs.last().status, 0);
        const QString id = runs.last().json()[0]["journal"].toString();
        QVERIFY(!id.isEmpty() && SqliteFixture::dump(year, "code") != before);

        runs << n3fix(QStringList{"--journal", "--json"} + onServer, env, {}, data);  // reads no password
        QCOMPARE(runs.last().status, 0);
        QCOMPARE(runs.last().json()[0]["server"].toString(), "db01\\N3");
        QCOMPARE(runs.last().json()[0]["engine"].toString(), "odbc");
        runs << n3fix({"--journal", "--odbc"}, env, {}, data);
        QVERIFY2(runs.last().out.contains("另有 1 次在 SQL Server 服务器 db01\\N3 上做的修复，加 --server \"db01\\N3\" 查看。"),
                 runs.last().out.constData());

        runs << n3fix({"--undo", id, "--odbc"}, env, {}, data);
        QCOMPARE(runs.last().status, 2);
        QVERIFY2(runs.last().err.contains(
                     QStringLiteral("是在 SQL Server 服务器 db01\\N3 上做的，撤销时也要连接这台服务器：加 --server \"db01\\N3\"。")
                         .toUtf8()),
                 runs.last().err.constData());
        QVERIFY(SqliteFixture::dump(year, "code") != before);

        runs << n3fix(QStringList{"--undo", id} + onServer, env, (Secret + "\n").toUtf8(), data);
        QCOMPARE(runs.last().status, 0);
        QCOMPARE(SqliteFixture::dump(year, "code"), before);
        verifyNoSecretIn(runs);
    }
};

QTEST_MAIN(tst_RemoteServer)
#include "tst_remote_server.moc"
