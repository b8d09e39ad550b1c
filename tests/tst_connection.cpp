// The connection module on both engines: the embedded SQLite files and the system's ODBC
// driver manager (unixODBC), with real files and the real driver manager.
#include "support/FormDriver.h"
#include "support/SqliteFixture.h"

#include "app/MessageBox.h"
#include "db/ConnectionString.h"
#include "db/DbError.h"
#include "db/ODBC.h"
#include "db/Recordset.h"
#include "db/RowByRowWrites.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class ConnectionTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QTemporaryDir m_odbcConfig;
    QString file(const QString &name) const { return m_dir.filePath(name); }

private slots:
    // The driver manager finds drivers only through our own, empty, odbcinst.ini.
    void initTestCase()
    {
        qputenv("ODBCSYSINI", QFile::encodeName(m_odbcConfig.path()));
        qputenv("ODBCINI", QFile::encodeName(m_odbcConfig.filePath(QStringLiteral("odbc.ini"))));
    }

    void init()
    {
        FormDriver::useDataDirectory(m_dir.path());
    }

    void connectionStringIsBuiltAsTheServerExpects()
    {
        QCOMPARE(db::buildConnectionString(QStringLiteral("LQDATA_667_2007")),
                 QStringLiteral("DRIVER=SQL Server;SERVER=(local);APP=Microsoft(R) Windows (R) 2000 Operating System;"
                                "WSID=N3FIX;DATABASE=LQDATA_667_2007;Trusted_Connection=Yes"));
        QCOMPARE(ODBC::accountSetDatabaseName(QStringLiteral("001"), QStringLiteral("2007")),
                 QStringLiteral("LQDATA_001_2007"));
    }

    void everyCallMakesAFreshConnection()
    {
        SqliteFixture::run(file(QStringLiteral("LQsystem.db")), QStringLiteral("create table t(x);"));
        QVERIFY(ODBC::ConnectDatabase(ODBC::SystemDatabase));
        const std::shared_ptr<db::Connection> first = ODBC::DbConn();
        QVERIFY(ODBC::ConnectDatabase(ODBC::SystemDatabase));
        QVERIFY(ODBC::DbConn() != first);
        QVERIFY(ODBC::DbConn()->isOpen());
        QVERIFY(MessageBox::takeShown().isEmpty());
    }

    void missingDatabaseFailsNamesTheFileAndCreatesNothing()
    {
        QVERIFY(!ODBC::ConnectDatabase(QStringLiteral("LQDATA_001_1999")));
        const QList<MessageBox::Shown> shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QVERIFY(shown[0].prompt.contains(QDir::toNativeSeparators(file(QStringLiteral("LQDATA_001_1999.db")))));
        QVERIFY(!QFile::exists(file(QStringLiteral("LQDATA_001_1999.db"))));
        QVERIFY(!ODBC::DbConn()->isOpen());
        // What is sent over a connection that did not open fails with a description.
        db::Recordset rows;
        QVERIFY_THROWS_EXCEPTION(db::DbError, rows.open(QStringLiteral("select 1"), ODBC::DbConn(),
                                                         db::CursorType::Keyset, db::LockType::ReadOnly));
    }

    // The T-SQL functions the probe uses run on SQLite with their server meaning, and a
    // string literal that merely looks like a call goes through untouched.
    void tsqlFunctionsRunOnTheEmbeddedEngine()
    {
        SqliteFixture::run(file(QStringLiteral("LQDATA_1_1.db")),
                           QStringLiteral("create table code(ccode text, bend integer);"
                                          "insert into code values('1011',0),('101101',0),('1011  ',0),(NULL,0);"));
        QVERIFY(ODBC::ConnectDatabase(QStringLiteral("LQDATA_1_1")));
        db::Recordset rows;
        rows.open(QStringLiteral("select ccode, 'left(ccode,4)' as literal, len(ccode) as n from code "
                                 "where left(ccode,4)='1011' and len(ccode)>4"),
                  ODBC::DbConn(), db::CursorType::Keyset, db::LockType::ReadOnly);
        QVERIFY(!rows.eof());
        QCOMPARE(rows.field(QStringLiteral("CCODE")).toString(), QStringLiteral("101101"));
        QCOMPARE(rows.field(QStringLiteral("literal")).toString(), QStringLiteral("left(ccode,4)"));
        QCOMPARE(rows.field(2).toInt(), 6);
        rows.moveNext();
        QVERIFY(rows.eof());  // '1011  ' has length 4 for len(), as on the server
    }

    void optimisticRecordsetWritesBackToTheRowItRead()
    {
        const QString path = file(QStringLiteral("LQDATA_2_2.db"));
        SqliteFixture::run(path, QStringLiteral("create table code(ccode text, bend integer);"
                                                "insert into code values('2',0),('1',0),('1',0);"));
        QVERIFY(ODBC::ConnectDatabase(QStringLiteral("LQDATA_2_2")));
        db::Recordset walk;
        walk.open(QStringLiteral("select ccode,bend from code order by ccode"), ODBC::DbConn(), db::CursorType::Static,
                  db::LockType::Optimistic);
        walk.setField(1, 7);  // the first '1', rowid 2
        walk.update();
        QCOMPARE(SqliteFixture::dump(path, QStringLiteral("code")),
                 QStringLiteral("t:'2'|i:0\nt:'1'|i:7\nt:'1'|i:0\n"));
    }

    // A walk's settings hold only while the walk does: afterwards every commit is synced again
    // and the file is back in its own journal mode, with no index of the walk left behind.
    void rowByRowSettingsAreUndoneAfterTheWalk()
    {
        const QString path = file(QStringLiteral("LQDATA_4_4.db"));
        SqliteFixture::run(path, QStringLiteral("create table code(ccode text, bend integer);"));
        const QString schema = SqliteFixture::dumpAll(path);
        QVERIFY(ODBC::ConnectDatabase(QStringLiteral("LQDATA_4_4")));
        const auto pragma = [](const QString &name) {
            db::Recordset value;
            value.open(QStringLiteral("PRAGMA ") + name, ODBC::DbConn(), db::CursorType::Keyset, db::LockType::ReadOnly);
            return value.field(0).toString();
        };
        QCOMPARE(pragma(QStringLiteral("synchronous")), QStringLiteral("2"));
        {
            db::RowByRowWrites writes(ODBC::DbConn());
            writes.indexExpression(QStringLiteral("code"), QStringLiteral("left(ccode,4)"));
            QCOMPARE(pragma(QStringLiteral("journal_mode")), QStringLiteral("wal"));
            QCOMPARE(pragma(QStringLiteral("synchronous")), QStringLiteral("1"));
            QVERIFY(SqliteFixture::dumpAll(path).contains(QStringLiteral("substr(ccode,1,4)")));
        }
        QCOMPARE(pragma(QStringLiteral("journal_mode")), QStringLiteral("delete"));
        QCOMPARE(pragma(QStringLiteral("synchronous")), QStringLiteral("2"));
        QCOMPARE(SqliteFixture::dumpAll(path), schema);
    }

    void odbcFailureShowsTheDriverManagersDescription()
    {
        ODBC::setEngine({db::EngineKind::Odbc, QString()});
        QVERIFY(!ODBC::ConnectDatabase(ODBC::SystemDatabase));
        const QList<MessageBox::Shown> shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown[0].prompt.contains(QStringLiteral("[unixODBC][Driver Manager]")), qPrintable(shown[0].prompt));
        QVERIFY(shown[0].prompt.startsWith(QStringLiteral("数据库LQsystem连接错误 \r\n")));
    }
};

QTEST_MAIN(ConnectionTest)
#include "tst_connection.moc"
