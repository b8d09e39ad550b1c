// The connection module on both engines: real SQLite files and the system's ODBC driver
// manager (unixODBC).
#include "support/DataFiles.h"
#include "support/FormDriver.h"
#include "support/SqliteFixture.h"

#include "app/ConnectDatabase.h"
#include "app/MessageBox.h"
#include "cli/CommandAdvice.h"
#include "db/ConnectionString.h"
#include "db/ODBC.h"
#include "db/Recordset.h"
#include "db/RowByRowWrites.h"

#include <QSqlError>
#include <QtTest>

// as the window says it, sending its user to the guide by the menu
static const QString NoDriver = "系统中没有登记名为“SQL Server”的 ODBC 驱动。请安装 FreeTDS（tdsodbc），"
                                "并在 /etc/odbcinst.ini 中加入 [SQL Server] 一节（见 帮助 → 使用说明）：";

// The first row of `sql` on the current connection, as strings.
static QStringList firstRow(const QString &sql, int columns)
{
    db::Recordset rows;
    rows.open(sql, ODBC::DbConn(), db::CursorType::Keyset, db::LockType::ReadOnly);
    QStringList values;
    for (int i = 0; i < columns && !rows.eof(); ++i)
        values << rows.field(i).toString();
    return values;
}

class ConnectionTest : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    // Creates the database `name` with `script` and connects to it; gives its file on success.
    QString connectTo(const QString &name, const QString &script)
    {
        SqliteFixture::run(m_dir.filePath(name + ".db"), script);
        return app::ConnectDatabase(name) ? m_dir.filePath(name + ".db") : QString();
    }

private slots:
    // The driver manager looks for drivers only in the data directory, which has none.
    void init()
    {
        qputenv("ODBCSYSINI", QFile::encodeName(m_dir.path()));
        FormDriver::useDataDirectory(m_dir.path());
    }

    // Every call opens a new connection, even to the same database. A failure shows one box
    // naming the database and why: a missing file (not created) or, through unixODBC with no
    // driver registered, the driver manager's own description led by what to register. On ODBC
    // the server gets the connection string exactly as below.
    void connectDatabase()
    {
        QVERIFY(!connectTo("LQsystem", "create table t(x);").isEmpty());
        const std::shared_ptr<db::Connection> first = ODBC::DbConn();
        QVERIFY(app::ConnectDatabase(ODBC::SystemDatabase) && ODBC::DbConn() != first && ODBC::DbConn()->isOpen());
        QVERIFY(!app::ConnectDatabase("LQDATA_001_1999"));
        QList<MessageBox::Shown> shown = MessageBox::takeShown();
        QVERIFY(shown.size() == 1 && shown[0].prompt.contains(QDir::toNativeSeparators(yearDatabase(m_dir.path(), "001", "1999"))));
        QVERIFY(!QFile::exists(yearDatabase(m_dir.path(), "001", "1999")) && !ODBC::DbConn()->isOpen());
        QCOMPARE(
            db::buildConnectionString(ODBC::accountSetDatabaseName("667", "2007")),
            "DRIVER=SQL Server;SERVER=(local);APP=Microsoft(R) Windows (R) 2000 Operating System;WSID=N3FIX;DATABASE=LQDATA_667_2007;Trusted_Connection=Yes");
        ODBC::setEngine({db::EngineKind::Odbc, QString()});
        QVERIFY(!app::ConnectDatabase(ODBC::SystemDatabase));
        shown = MessageBox::takeShown();
        QVERIFY2(shown.size() == 1
                     && shown[0].prompt.startsWith("数据库LQsystem连接错误 \r\nSQL Server 服务器 (local) 上的数据库 LQsystem："
                                                   + NoDriver)
                     && shown[0].prompt.contains("：[unixODBC][Driver Manager]Can't open lib 'SQL Server'"),
                 qPrintable(shown.value(0).prompt));
    }

    // The command line, a process of its own (the driver manager reads its configuration once),
    // explains a registered driver that is not there, and FreeTDS that finds no server, before the
    // driver's own words. A refused login can't be had without a server: its text is checked as
    // Qt hands it over.
    void odbcFailuresExplained_data()
    {
        QTest::addColumn<QByteArray>("odbcinst");
        QTest::addColumn<QString>("explained");  // how the message begins, up to the driver's words
        QTest::newRow("driver missing")
            << QByteArray("[SQL Server]\nDriver=/nonexistent/libtdsodbc.so\n")
            << "SQL Server 服务器 (local) 上的数据库 LQsystem：系统中登记的“SQL Server” ODBC 驱动无法加载。请检查 /etc/odbcinst.ini 中 [SQL Server] 一节的 Driver 路径（见 man n3fix）："
               "[unixODBC][Driver Manager]Can't open lib '/nonexistent/libtdsodbc.so'";
        QTest::newRow("no server") << QByteArray("[SQL Server]\nDriver=/usr/lib/x86_64-linux-gnu/odbc/libtdsodbc.so\n")
                                   << "SQL Server 服务器 (local) 上的数据库 LQsystem：无法连接到服务器：FreeTDS 不认识本机服务器名“(local)”，"
                                      "请指定服务器（用 --server），例如 127.0.0.1（本机）、主机名\\实例名 或 "
                                      "主机名,端口（见 man n3fix）：[FreeTDS][SQL Server]";
    }
    void odbcFailuresExplained()
    {
        QFETCH(QByteArray, odbcinst);
        QFETCH(QString, explained);
        QTemporaryDir config;
        QFile ini(config.filePath("odbcinst.ini"));
        QVERIFY(ini.open(QIODevice::WriteOnly) && ini.write(odbcinst) == odbcinst.size());
        ini.close();
        QProcess check;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("ODBCSYSINI", config.path());
        check.setProcessEnvironment(environment);
        check.start(N3FIX, {"--check", "--odbc"});
        QVERIFY(check.waitForFinished(120000));
        QCOMPARE(check.exitCode(), 2);
        const QString error = QString::fromUtf8(check.readAllStandardError());
        QVERIFY2(error.startsWith(explained) && !error.contains("QODBC"), qPrintable(error));
    }
    // A refused login, with Windows authentication and with a SQL Server login: the server and
    // database tried, what to check (the other way to log on in the words of the front end in
    // use), the driver's words, and nothing of Qt's own.
    void loginFailureExplained()
    {
        const QSqlError refused(
            "QODBC: Unable to connect",
            "[FreeTDS][SQL Server]Login failed for user 'N3\\kim'. [FreeTDS][SQL Server]Unable to connect to data source",
            QSqlError::ConnectionError);
        const QString windows = db::describeOdbcConnectFailure(refused, {}, "LQsystem");
        QVERIFY2(windows.startsWith(
                     "SQL Server 服务器 (local) 上的数据库 LQsystem：SQL Server 拒绝了登录：Windows 身份验证需要当前用户的 "
                     "Kerberos 票据（kinit），且该用户须有权访问此数据库；也可以在“选择数据位置”中改用 SQL Server 登录名："
                     "[FreeTDS][SQL Server]Login failed")
                     && windows.endsWith("data source"),
                 qPrintable(windows));
        db::setAdviceWays(cli::commandAdviceWays());
        QVERIFY(db::describeOdbcConnectFailure(refused, {}, "LQsystem")
                    .contains("此数据库；也可以用 --sql-login 改用 SQL Server 登录名：[FreeTDS]"));
        db::setAdviceWays({});
        QVERIFY(db::describeOdbcConnectFailure(refused, {}, "LQsystem").contains("此数据库：[FreeTDS]"));
        const QString login = db::describeOdbcConnectFailure(refused, {"db01\\N3", "kim", "secret"}, "LQDATA_001_2007");
        QVERIFY2(login.startsWith(
                     "SQL Server 服务器 db01\\N3 上的数据库 LQDATA_001_2007：SQL Server 拒绝了登录名 kim：请检查登录名和密码")
                     && !login.contains("secret") && !login.contains("QODBC"),
                 qPrintable(login));
    }

    // The connection string is the local server's with only SERVER= changed, and for a SQL Server
    // login its last attribute; a value that would end the attribute is braced, a closing brace
    // doubled, so the password can't add an attribute of its own.
    void connectionStrings_data()
    {
        QTest::addColumn<QString>("server");
        QTest::addColumn<QString>("login");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("expected");
        const QString app = "APP=Microsoft(R) Windows (R) 2000 Operating System;WSID=N3FIX;DATABASE=LQsystem;";
        QTest::newRow("local") << ""
                               << ""
                               << ""
                               << "DRIVER=SQL Server;SERVER=(local);" + app + "Trusted_Connection=Yes";
        QTest::newRow("instance") << "db01\\N3"
                                  << ""
                                  << ""
                                  << "DRIVER=SQL Server;SERVER=db01\\N3;" + app + "Trusted_Connection=Yes";
        QTest::newRow("port") << "10.0.0.5,1433"
                              << ""
                              << ""
                              << "DRIVER=SQL Server;SERVER=10.0.0.5,1433;" + app + "Trusted_Connection=Yes";
        QTest::newRow("login") << "db01"
                               << "n3"
                               << "pw"
                               << "DRIVER=SQL Server;SERVER=db01;" + app + "Trusted_Connection=No;UID=n3;PWD=pw;";
        QTest::newRow("braced") << ""
                                << "a b"
                                << "p;w}d={x"
                                << "DRIVER=SQL Server;SERVER=(local);" + app + "Trusted_Connection=No;UID=a b;PWD={p;w}}d={x};";
        QTest::newRow("blank ends") << ""
                                    << "n3"
                                    << " pw "
                                    << "DRIVER=SQL Server;SERVER=(local);" + app + "Trusted_Connection=No;UID=n3;PWD={ pw };";
    }
    void connectionStrings()
    {
        QFETCH(QString, server);
        QFETCH(QString, login);
        QFETCH(QString, password);
        QFETCH(QString, expected);
        QCOMPARE(db::buildConnectionString("LQsystem", {server, login, password}), expected);
    }

    // Server names the string can hold, and those it can't.
    void serverNames()
    {
        for (const char *good : {"db01", "db01\\N3", "10.0.0.5,1433", "db01.example.com", "(local)", "h,65535"})
            QVERIFY2(db::serverNameFault(good).isEmpty(), good);
        for (const char *bad : {"", " db01", "db01 ", "a;DATABASE=x", "a=b", "{a}", "a b", "h,0", "h,65536", "h,12a", "h\\",
                                "h\\i,1433", "\\i", "a'b"})
            QVERIFY2(!db::serverNameFault(bad).isEmpty(), bad);
        // a closing brace, which FreeTDS can't take back from "}}", is refused in a login or password
        QVERIFY(!db::passwordFault("a}b").isEmpty() && !db::loginNameFault("n3}").isEmpty()
                && db::passwordFault("a;{b= ").isEmpty());
    }

    // On SQLite, left() and len() keep their server meaning (len ignores trailing blanks) and a
    // literal that looks like a call is left alone; an optimistic recordset writes back to the
    // row it read, not to an equal one.
    void recordsetsOnTheEmbeddedEngine()
    {
        const QString path = connectTo("LQDATA_1_1", "create table code(ccode text, bend integer); insert into code values"
                                                     "('1011',0),('1011  ',0),(NULL,0),('1011',0),('101101',0);");
        QCOMPARE(
            firstRow("select ccode, 'left(ccode,4)', len(ccode), count(*) from code where left(ccode,4)='1011' and len(ccode)>4", 4),
            QStringList({"101101", "left(ccode,4)", "6", "1"}));
        db::Recordset walk;
        walk.open("select * from code where ccode='1011' order by rowid desc", ODBC::DbConn(), db::CursorType::Static,
                  db::LockType::Optimistic);
        walk.setField(1, 7);
        walk.update();
        QCOMPARE(SqliteFixture::dump(path, "code"), "t:'1011'|i:0\nt:'1011  '|i:0\nNULL|i:0\nt:'1011'|i:7\nt:'101101'|i:0\n");
    }

    // A walk's write-ahead log and normal syncing last only as long as the walk; an index an earlier
    // version left behind is dropped.
    void walkSettingsAreUndone()
    {
        const QString path = connectTo("LQDATA_4_4", "create table code(ccode text, bend integer);");
        const QString before = SqliteFixture::dumpAll(path);
        SqliteFixture::run(path, "create index n3fix_code_left_ccode_4 on code(substr(ccode,1,4))");
        {
            db::RowByRowWrites writes(ODBC::DbConn());
            QCOMPARE(writes.journalMode(), "delete");
            QVERIFY(writes.dropLeftoverIndexes());
            writes.start("delete");
            QCOMPARE(firstRow("select * from pragma_journal_mode, pragma_synchronous", 2), QStringList({"wal", "1"}));
            QVERIFY(writes.finish());
        }
        QCOMPARE(firstRow("select * from pragma_journal_mode, pragma_synchronous", 2), QStringList({"delete", "2"}));
        QCOMPARE(SqliteFixture::dumpAll(path), before);
    }

    // A walk of a few rows stays in the file's own journal mode, each commit synced in full; a
    // file in the log already stays there, with normal syncing for the walk only. Either way
    // the file ends in the mode it was found in.
    void fewRowsOrTheLogAlreadyKeepTheMode_data()
    {
        QTest::addColumn<QString>("mode");  // the file's own
        QTest::addColumn<qint64>("rows");
        QTest::addColumn<QStringList>("during");  // journal mode and synchronous while the walk runs
        QTest::newRow("delete, no row") << "delete" << qint64(0) << QStringList({"delete", "2"});
        QTest::newRow("delete, 3 rows") << "delete" << qint64(3) << QStringList({"delete", "2"});
        QTest::newRow("delete, 4 rows") << "delete" << qint64(4) << QStringList({"wal", "1"});
        QTest::newRow("wal, 1 row") << "wal" << qint64(1) << QStringList({"wal", "1"});
        QTest::newRow("wal, 1000 rows") << "wal" << qint64(1000) << QStringList({"wal", "1"});
    }
    void fewRowsOrTheLogAlreadyKeepTheMode()
    {
        QFETCH(QString, mode);
        QFETCH(qint64, rows);
        QFETCH(QStringList, during);
        const QString path =
            connectTo("LQDATA_5_5", "create table code(ccode text, bend integer); PRAGMA journal_mode=" + mode + ";");
        {
            db::RowByRowWrites writes(ODBC::DbConn());
            QCOMPARE(writes.journalMode(), mode);
            writes.plan(rows);
            QCOMPARE(writes.switchesToLog(), mode == "delete" && rows > 3);
            writes.start(mode);
            QCOMPARE(firstRow("select * from pragma_journal_mode, pragma_synchronous", 2), during);
            QVERIFY(writes.finish());
        }
        QCOMPARE(firstRow("select * from pragma_journal_mode, pragma_synchronous", 2), QStringList({mode, "2"}));
        ODBC::DbConn().reset();
        QCOMPARE(SqliteFixture::select(path, "pragma journal_mode"), "t:'" + mode + "'\n");
        QFile::remove(path);
    }
};

QTEST_MAIN(ConnectionTest)
#include "tst_connection.moc"
