// The connection module on both engines: real SQLite files and the system's ODBC driver
// manager (unixODBC).
#include "support/FormDriver.h"
#include "support/SqliteFixture.h"

#include "app/MessageBox.h"
#include "db/ConnectionString.h"
#include "db/ODBC.h"
#include "db/Recordset.h"
#include "db/RowByRowWrites.h"

#include <QtTest>

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
        return ODBC::ConnectDatabase(name) ? m_dir.filePath(name + ".db") : QString();
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
    // driver installed, the driver manager's own description. On ODBC the server gets the
    // connection string exactly as below.
    void connectDatabase()
    {
        QVERIFY(!connectTo("LQsystem", "create table t(x);").isEmpty());
        const std::shared_ptr<db::Connection> first = ODBC::DbConn();
        QVERIFY(ODBC::ConnectDatabase(ODBC::SystemDatabase) && ODBC::DbConn() != first && ODBC::DbConn()->isOpen());
        QVERIFY(!ODBC::ConnectDatabase("LQDATA_001_1999"));
        QList<MessageBox::Shown> shown = MessageBox::takeShown();
        QVERIFY(shown.size() == 1 && shown[0].prompt.contains(QDir::toNativeSeparators(m_dir.filePath("LQDATA_001_1999.db"))));
        QVERIFY(!QFile::exists(m_dir.filePath("LQDATA_001_1999.db")) && !ODBC::DbConn()->isOpen());
        QCOMPARE(db::buildConnectionString(ODBC::accountSetDatabaseName("667", "2007")),
                 "DRIVER=SQL Server;SERVER=(local);APP=Microsoft(R) Windows (R) 2000 Operating System;WSID=N3FIX;DATABASE=LQDATA_667_2007;Trusted_Connection=Yes");
        ODBC::setEngine({db::EngineKind::Odbc, QString()});
        QVERIFY(!ODBC::ConnectDatabase(ODBC::SystemDatabase));
        shown = MessageBox::takeShown();
        QVERIFY2(shown.size() == 1 && shown[0].prompt.contains(QRegularExpression("^数据库LQsystem连接错误 \r\n.*\\[unixODBC\\]\\[Driver Manager\\]")),
                 qPrintable(shown.value(0).prompt));
    }

    // On SQLite, left() and len() keep their server meaning (len ignores trailing blanks) and a
    // literal that looks like a call is left alone; an optimistic recordset writes back to the
    // row it read, not to an equal one.
    void recordsetsOnTheEmbeddedEngine()
    {
        const QString path = connectTo("LQDATA_1_1", "create table code(ccode text, bend integer); insert into code values"
                                                     "('1011',0),('1011  ',0),(NULL,0),('1011',0),('101101',0);");
        QCOMPARE(firstRow("select ccode, 'left(ccode,4)', len(ccode), count(*) from code where left(ccode,4)='1011' and len(ccode)>4", 4),
                 QStringList({"101101", "left(ccode,4)", "6", "1"}));
        db::Recordset walk;
        walk.open("select * from code where ccode='1011' order by rowid desc", ODBC::DbConn(), db::CursorType::Static, db::LockType::Optimistic);
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
};

QTEST_MAIN(ConnectionTest)
#include "tst_connection.moc"
