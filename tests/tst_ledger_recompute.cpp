// Recomputing every parent account's balances from its sub-accounts (n3fix --recompute-balances),
// as real processes on real database files: what it writes, what it leaves, its preview, its
// undo, another program at work between its reading and its writing, the demo's planted faults,
// and the same over the real ODBC driver manager.
#include "support/DataFiles.h"
#include "support/LedgerFixture.h"
#include "support/OdbcFixture.h"
#include "support/ProcessRun.h"
#include "support/SqliteFixture.h"

#include <QtTest>

namespace {

// One account set, 001, with the live year 2007.
const QString SystemScript = "create table KS_Account(cAcc_Id TEXT, cAcc_Name TEXT); insert into KS_Account values('001','测试');"
                             "create table KS_period(cacc_id TEXT, iyear INTEGER, iperiod INTEGER, bisdelete INTEGER);"
                             "insert into KS_period values('001',2007,1,0);";

const QString Typical = LedgerFixture::TypicalTables;

// A parent off in period 9 (md 400 where its sub-accounts add up to 300), and agreeing in period 10.
const QString ParentOff = Typical
                          + "insert into code values('1002',0),('100201',1),('100202',1);"
                            "insert into GL_accsum values('1002',9,1200,400,5),('100201',9,600,200,0),"
                            "('100202',9,600,100,5),('1002',10,50,0,0),('100201',10,20,0,0),('100202',10,30,0,0);";

using LedgerFixture::spelled;

// One database's result, one line each: "code|period|column old>new" for every amount changed,
// "code|period|column kept stored" for an amount left that is no amount in decimal digits, then "missing code|period", "duplicate
// code|period|rows", "orphan code|period", "unreadable code|period|column stored", "unworkable code|period|columns" and "inexact
// code|period|column sum>stored".
QStringList outcome(const QJsonObject &result)
{
    QStringList lines;
    const QRegularExpression digits("^-?[0-9]+\\.[0-9]+$");
    for (const QJsonValue row : result["rows"].toArray())
        for (const QString &column :
             QStringList{"mb", "md", "mc"} + row["new"].toObject().keys().filter(QRegularExpression("^(?!m[bdc]$)")))
            if (row["old"][column] != row["new"][column])
                lines << QStringLiteral("%1|%2|%3 %4>%5")
                             .arg(spelled(row["code"]), spelled(row["period"]), column, LedgerFixture::amount(row["old"][column]),
                                  LedgerFixture::amount(row["new"][column]));
            else if (!row["old"][column].isNull() && !row["old"][column].isUndefined()
                     && !digits.match(row["old"][column].toString()).hasMatch())
                lines << QStringLiteral("%1|%2|%3 kept %4")
                             .arg(spelled(row["code"]), spelled(row["period"]), column, spelled(row["old"][column]));
    for (const QJsonValue row : result["missing_rows"].toArray())
        lines << "missing " + spelled(row["code"]) + '|' + spelled(row["period"]);
    for (const QJsonValue row : result["duplicate_rows"].toArray())
        lines << "duplicate " + spelled(row["code"]) + '|' + spelled(row["period"]) + '|' + spelled(row["rows"]);
    for (const QJsonValue row : result["orphans"].toArray())
        lines << "orphan " + spelled(row["code"]) + '|' + spelled(row["period"]);
    for (const QJsonValue row : result["unreadable"].toArray())
        lines << "unreadable " + spelled(row["code"]) + '|' + spelled(row["period"]) + '|' + row["column"].toString() + ' '
                     + spelled(row["stored"]);
    for (const QJsonValue row : result["unworkable"].toArray())
        lines << "unworkable " + spelled(row["code"]) + '|' + spelled(row["period"]) + '|'
                     + row["columns"].toVariant().toStringList().join(',');
    for (const QJsonValue row : result["inexact"].toArray())
        lines << "inexact " + spelled(row["code"]) + '|' + spelled(row["period"]) + '|' + row["column"].toString() + ' '
                     + row["sum"].toString() + '>' + row["stored"].toString();
    return lines;
}

// Every table of the file, each row with its stored types: the rowid's order where the table has
// one, else its columns' order.
QString books(const QString &path)
{
    const bool withoutRowid =
        SqliteFixture::select(path, "select count(*) from sqlite_master where sql like '%without rowid%'") != "i:0\n";
    if (!withoutRowid)
        return SqliteFixture::dumpAll(path);
    return SqliteFixture::select(path, "select * from code order by 1")
           + SqliteFixture::select(path, "select * from GL_accsum order by 1, 2, 3");
}

}  // namespace

class LedgerRecompute : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> m_dir;
    QString yearDb() const { return yearDatabase(m_dir->path()); }

    ProcessRun n3fix(const QStringList &arguments) { return runOnData(N3FIX, m_dir->path(), arguments); }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        SqliteFixture::run(systemDatabase(m_dir->path()), SystemScript);
    }

    // Books in the shapes real ledgers and import tools leave them, each with what the recompute
    // changes and leaves worked out by hand, and what the changed rows then hold as stored.
    void recompute_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<QString>("afterSql");
        QTest::addColumn<QString>("after");
        QTest::newRow("a parent off in one period") << ParentOff << QStringList{"'1002'|9|md 400.00>300.00"}
                                                    << "select mb, md, mc from GL_accsum where ccode='1002' order by iperiod"
                                                    << "i:1200|i:300|i:5\ni:50|i:0|i:0\n";
        // 10020101 raised from 400 to 450: 100201 follows (700 to 750), and 1002 follows it (1000 to 1050).
        QTest::newRow("a detail account off, every level above follows")
            << Typical
                   + "insert into code values('1002',0),('100201',0),('10020101',1),('10020102',1),('100202',1);"
                     "insert into GL_accsum values('1002',3,1000,9,0),('100201',3,700,9,0),('10020101',3,450,4,0),"
                     "('10020102',3,300,5,0),('100202',3,300,0,0),('1002',4,1,0,0),('100201',4,1,0,0),('10020101',4,1,0,0);"
            << QStringList{"'1002'|3|mb 1000.00>1050.00", "'100201'|3|mb 700.00>750.00"}
            << "select ccode, mb from GL_accsum where iperiod=3 and ccode in ('1002','100201') order by ccode"
            << "t:'1002'|i:1050\nt:'100201'|i:750\n";
        // 100301 has no row in period 2: it is listed, and 1003 still gets what it would hold (7);
        // 1004 has no row in period 5.
        QTest::newRow("parents without a row")
            << Typical
                   + "insert into code values('1003',0),('100301',0),('10030101',1),('1004',0),('100401',1);"
                     "insert into GL_accsum values('1003',2,0,0,0),('10030101',2,7,0,0),('100401',5,9,1,0),"
                     "('1004',6,0,0,0),('100401',6,0,0,0);"
            << QStringList{"'1003'|2|mb 0.00>7.00", "missing '100301'|2", "missing '1004'|5"}
            << "select ccode, mb from GL_accsum where ccode in ('1003','1004') order by ccode"
            << "t:'1003'|i:7\nt:'1004'|i:0\n";
        QTest::newRow("rows of codes not in the chart, untouched")
            << Typical
                   + "insert into code values('1002',0),('100201',1);"
                     "insert into GL_accsum values('1002',1,100,0,0),('100201',1,90,0,0),('9999',1,1,1,1),(NULL,2,5,0,0),"
                     "('100299',1,50,0,0);"
            << QStringList{"'1002'|1|mb 100.00>90.00", "orphan null|2", "orphan '100299'|1", "orphan '9999'|1"}
            << "select mb from GL_accsum where ccode is null or ccode in ('9999','100299') order by rowid"
            << "i:1\ni:5\ni:50\n";
        // '09' is period 9; NULL counts as 0 and stays NULL where the sum is 0; 'abc' is no amount,
        // so 1002's mb in period 10 is not worked out.
        QTest::newRow("every column TEXT, NULL and text amounts")
            << "create table code(ccode TEXT, bend TEXT); create table GL_accsum(ccode TEXT, iperiod TEXT, mb TEXT,"
               " md TEXT, mc TEXT); insert into code values('1002','0'),('100201','1'),('100202','1');"
               "insert into GL_accsum values('1002','9','1200.00',NULL,' 15 '),('100201','9','600',NULL,'10'),"
               "('100202','09','400.0','0','5'),('100202','10','abc',NULL,NULL),('1002','10','7',NULL,NULL);"
            << QStringList{"'1002'|9|mb 1200.00>1000.00", "unreadable '100202'|10|mb 'abc'", "unworkable '1002'|10|mb"}
            << "select mb, md, mc from GL_accsum where ccode='1002' order by rowid"
            << "t:'1000'|NULL|t:' 15 '\nt:'7'|NULL|NULL\n";
        // 10020101's mb as import tools leave it: in periods 1 to 3 in no plain form, so neither
        // 100201 nor 1002 above it is worked out there (200 stays 200, not 100); in periods 11 to 13
        // plain (non-breaking blanks, the empty text and NULL as 0), and both follow.
        QTest::newRow("amounts as import tools leave them, every level above left")
            << Typical
                   + "insert into code values('1002',0),('100201',0),('10020101',1),('100202',1);"
                     "with shapes(p, v, mid, top) as (values(1,'1,234.50',100,200),(2,x'3130',100,200),(3,9e999,100,200),"
                     "(11,char(160)||'12.5'||char(160),0,0),(12,'',0,0),(13,NULL,0,0))"
                     " insert into GL_accsum select '10020101',p,v,0,0 from shapes union all select '100201',p,mid,0,0"
                     " from shapes union all select '100202',p,100,0,0 from shapes union all select '1002',p,top,0,0 from shapes;"
            << QStringList{"'1002'|11|mb 0.00>112.50",
                           "'1002'|12|mb 0.00>100.00",
                           "'1002'|13|mb 0.00>100.00",
                           "'100201'|11|mb 0.00>12.50",
                           "unreadable '10020101'|1|mb '1,234.50'",
                           "unreadable '10020101'|2|mb 'X'3130''",
                           "unreadable '10020101'|3|mb 'inf'",
                           "unworkable '1002'|1|mb",
                           "unworkable '1002'|2|mb",
                           "unworkable '1002'|3|mb",
                           "unworkable '100201'|1|mb",
                           "unworkable '100201'|2|mb",
                           "unworkable '100201'|3|mb"}
            << "select ccode, iperiod, mb from GL_accsum where iperiod in (1, 11) and ccode in ('1002','100201') order by ccode, iperiod"
            << "t:'1002'|i:1|i:200\nt:'1002'|i:11|f:112.5\nt:'100201'|i:1|i:100\nt:'100201'|i:11|f:12.5\n";
        // 1000000000000000 + 0.05 is more than a double holds: the row gets 1000000000000000, nearer
        // than 0, and the recompute says the sum could not be stored; run again, it writes nothing.
        QTest::newRow("a sum the engine can't hold")
            << Typical
                   + "insert into code values('1003',0),('100301',1),('100302',1);"
                     "insert into GL_accsum values('1003',1,0,0,0),('100301',1,1000000000000000,0,0),('100302',1,0.05,0,0);"
            << QStringList{"'1003'|1|mb 0.00>1000000000000000.05", "inexact '1003'|1|mb 1000000000000000.05>1000000000000000"}
            << "select mb from GL_accsum where ccode='1003'"
            << "i:1000000000000000\n";
        // Untyped columns keep numbers as numbers; blanks pad fixed-width codes; the padded row is the one written.
        QTest::newRow("codes padded or stored as numbers")
            << "create table code(ccode, bend); create table GL_accsum(ccode, iperiod, mb, md, mc);"
               "insert into code values(1002,0),('100201  ',1),(100202.0,1),('1002 ',0);"
               "insert into GL_accsum values('1002   ',1,300,0,0),(100201,1,100,0,0),('100202',1,150,0,0),"
               "(1002.0,2,10,0,0),('100201 ',2,4,0,0),(100202,2,6,0,0);"
            << QStringList{"'1002'|1|mb 300.00>250.00"} << "select ccode, mb from GL_accsum where rowid=1"
            << "t:'1002   '|i:250\n";
        // 1.2e15 is written as that integer; 0.1 + 0.2 as the real 0.3, not as 0.30000000000000004.
        QTest::newRow("huge amounts and exact sums")
            << Typical
                   + "insert into code values('1002',0),('100201',1),('100202',1),('1003',0),('100301',1),('100302',1);"
                     "insert into GL_accsum values('1002',1,0,0,0),('100201',1,1200000000000000,0,0),('100202',1,0,0,0),"
                     "('1003',1,0,0,0),('100301',1,0.1,0,0),('100302',1,0.2,0,0);"
            << QStringList{"'1002'|1|mb 0.00>1200000000000000.00", "'1003'|1|mb 0.00>0.30"}
            << "select mb, typeof(mb), mb = 0.3 from GL_accsum where ccode in ('1002','1003') order by ccode"
            << "i:1200000000000000|t:'integer'|i:0\nf:0.29999999999999999|t:'real'|i:1\n";
        // 500 sub-accounts of 50000000000.1234 and 500 of 50000000000.8766 make exactly
        // 50000000000500, the parent's mb; their md of 1.2e12 each make 1.2e15 against the parent's 0.
        QTest::newRow("1,000 sub-accounts")
            << Typical
                   + "insert into code values('1002',0);"
                     "with recursive n(i) as (select 1 union all select i + 1 from n where i < 1000)"
                     " insert into code select '1002' || printf('%04d', i), 1 from n;"
                     "insert into GL_accsum values('1002',1,50000000000500,0,0);"
                     "with recursive n(i) as (select 1 union all select i + 1 from n where i < 1000)"
                     " insert into GL_accsum select '1002' || printf('%04d', i), 1,"
                     " case when i % 2 then 50000000000.1234 else 50000000000.8766 end, 1200000000000, 0 from n;"
            << QStringList{"'1002'|1|md 0.00>1200000000000000.00"} << "select mb, md from GL_accsum where ccode='1002'"
            << "i:50000000000500|i:1200000000000000\n";
        // Several rows of 1002 in period 1 whose total is off: which to change can't be told; in
        // period 12 their total agrees. Below half a cent off is not written, half a cent is.
        QTest::newRow("several rows of a period, half a cent, no rowid")
            << "create table code(ccode TEXT primary key, bend INTEGER) without rowid;"
               "create table GL_accsum(ccode TEXT, iperiod INTEGER, seq INTEGER, mb NUMERIC, md NUMERIC, mc NUMERIC,"
               " primary key(ccode, iperiod, seq)) without rowid;"
               "insert into code values('1002',0),('100201',1);"
               "insert into GL_accsum values('1002',1,1,100,0,0),('1002',1,2,50,0,0),('100201',1,1,100,0,0),"
               "('1002',12,1,0,0,3),('1002',12,2,0,0,4),('100201',12,1,0,0,7),"
               "('1002',2,1,100.004,0,0),('100201',2,1,100,0,0),('1002',3,1,100.005,0,0),('100201',3,1,100,0,0);"
            << QStringList{"'1002'|3|mb 100.005>100.00", "duplicate '1002'|1|2"}
            << "select iperiod, seq, mb from GL_accsum where ccode='1002' and iperiod in (2, 3) order by iperiod"
            << "i:2|i:1|f:100.004\ni:3|i:1|i:100\n";
        // Codes imported in GBK, stored in bytes that are not valid UTF-8: 10配 (3130C5E4) and 10你01
        // (3130C4E33031), both end-level under 10, which holds their sum; decoded with their bytes
        // replaced they would read as 10?? and 10??01, one the parent of the other. 20配 (3230C5E4) is
        // the parent of 20配01 by its bytes, and follows it, as 20 follows 20配.
        QTest::newRow("codes in another encoding")
            << Typical
                   + "insert into code values('10',0),(cast(x'3130C5E4' as text),1),(cast(x'3130C4E33031' as text),1),"
                     "('20',0),(cast(x'3230C5E4' as text),0),(cast(x'3230C5E43031' as text),1);"
                     "insert into GL_accsum values('10',1,80,0,0),(cast(x'3130C5E4' as text),1,30,0,0),"
                     "(cast(x'3130C4E33031' as text),1,50,0,0),('20',1,9,0,0),(cast(x'3230C5E4' as text),1,7,0,0),"
                     "(cast(x'3230C5E43031' as text),1,11,0,0);"
            << QStringList{"'20'|1|mb 9.00>11.00", "'X'3230c5e4''|1|mb 7.00>11.00"}
            << "select hex(ccode), mb from GL_accsum order by rowid"
            << "t:'3130'|i:80\nt:'3130C5E4'|i:30\nt:'3130C4E33031'|i:50\nt:'3230'|i:11\nt:'3230C5E4'|i:11\nt:'3230C5E43031'|i:11\n";
        // Codes that decode alike or begin alike in characters but differ in their stored bytes. A
        // leading byte-order mark: EF BB BF 1001 is not 1001, so not the parent of 100101 (a
        // parent of its own, 1, is). 中 (E4B8AD) followed by the continuation byte AD is not a
        // sub-account of 中 to the engine's substr(); EF BB BF 1001 is written, found by its bytes. Blobs 1 FE and 1 FF are two
        // accounts, each the parent of the text that begins with its bytes.
        QTest::newRow("codes told apart by their bytes")
            << Typical
                   + "insert into code values('1',0),(cast(x'EFBBBF31303031' as text),0),('100101',1),"
                     "(cast(x'EFBBBF313030313031' as text),1),"
                     "('中',1),(cast(x'E4B8ADAD' as text),1),(x'31FE',0),(x'31FF',0),"
                     "(cast(x'31FE3031' as text),1),(cast(x'31FF3031' as text),1);"
                     "insert into GL_accsum values('1',1,5,0,0),(cast(x'EFBBBF31303031' as text),1,3,0,0),"
                     "('100101',1,4,0,0),('中',1,6,0,0),(cast(x'E4B8ADAD' as text),1,2,0,0),(x'31FE',1,10,0,0),"
                     "(x'31FF',1,20,0,0),(cast(x'31FE3031' as text),1,30,0,0),(cast(x'31FF3031' as text),1,40,0,0),"
                     "(cast(x'EFBBBF313030313031' as text),1,2,0,0);"
            << QStringList{"'1'|1|mb 5.00>4.00", "'X'31fe''|1|mb 10.00>30.00", "'X'31ff''|1|mb 20.00>40.00",
                           "'X'efbbbf31303031''|1|mb 3.00>2.00"}
            << "select hex(ccode), mb from GL_accsum order by rowid"
            << "t:'31'|i:4\nt:'EFBBBF31303031'|i:2\nt:'313030313031'|i:4\nt:'E4B8AD'|i:6\nt:'E4B8ADAD'|i:2\nt:'31FE'|i:30\n"
               "t:'31FF'|i:40\nt:'31FE3031'|i:30\nt:'31FF3031'|i:40\nt:'EFBBBF313030313031'|i:2\n";
        // 1002's md can't be read: it is written in mb only, and its md is given as stored, not as 0.
        QTest::newRow("an amount that can't be read beside one written")
            << Typical
                   + "insert into code values('1002',0),('100201',1);"
                     "insert into GL_accsum values('1002',9,100,'abc',0),('100201',9,60,5,0);"
            << QStringList{"'1002'|9|mb 100.00>60.00", "'1002'|9|md kept 'abc'", "unreadable '1002'|9|md 'abc'",
                           "unworkable '1002'|9|md"}
            << "select mb, md from GL_accsum where ccode='1002'"
            << "i:60|t:'abc'\n";
        QTest::newRow("nothing to change") << Typical
                                                  + "insert into code values('1002',0),('100201',1);"
                                                    "insert into GL_accsum values('1002',1,5,0,0),('100201',1,5,0,0);"
                                           << QStringList() << "select mb from GL_accsum order by rowid"
                                           << "i:5\ni:5\n";
    }

    // The preview lists exactly what the run then changes and changes nothing; the run changes only
    // those rows, with exit status 1 exactly when something is left; the check then agrees where
    // nothing is left; the journal names the repair; undo gives back the books as they were.
    void recompute()
    {
        QFETCH(QString, script);
        QFETCH(QStringList, expected);
        QFETCH(QString, afterSql);
        QFETCH(QString, after);
        SqliteFixture::run(yearDb(), script);
        const QString original = books(yearDb());
        const QMap<QString, QString> before = snapshot(m_dir->path());
        const QRegularExpression leftLine("^(missing|duplicate|orphan|unreadable|unworkable|inexact) ");
        const bool leaves = !expected.filter(leftLine).isEmpty();
        const qsizetype changes = expected.size() - expected.filter(leftLine).size();

        const ProcessRun dry = n3fix({"--recompute-balances", "--dry-run", "--json"});
        QCOMPARE(snapshot(m_dir->path()), before);
        QVERIFY2(dry.status == (leaves ? 1 : 0), dry.err.constData());
        const QJsonObject preview = dry.json().array().at(0).toObject();
        QCOMPARE(preview["database"].toString(), "LQDATA_001_2007");
        QCOMPARE(preview["dry_run"], QJsonValue(true));
        QCOMPARE(preview["journal"], QJsonValue());
        QCOMPARE(outcome(preview), expected);

        const ProcessRun real = n3fix({"--recompute-balances", "--json"});
        QVERIFY2(real.status == (leaves ? 1 : 0), real.err.constData());
        const QJsonObject result = real.json().array().at(0).toObject();
        QCOMPARE(result["rows"], preview["rows"]);
        QCOMPARE(outcome(result), expected);
        QCOMPARE(SqliteFixture::select(yearDb(), afterSql), after);
        // what could be written is written: a second run has nothing to write
        QCOMPARE(n3fix({"--recompute-balances", "--dry-run", "--json"}).json().array().at(0)["rows"].toArray().size(), 0);
        QCOMPARE(SqliteFixture::dump(yearDb(), "pragma_integrity_check"), QStringLiteral("t:'ok'\n"));
        // no row but those listed changed
        const QStringList was = original.split('\n'), now = books(yearDb()).split('\n');
        QCOMPARE(now.size(), was.size());
        qsizetype changedLines = 0;
        for (qsizetype i = 0; i < now.size(); ++i)
            changedLines += now[i] != was[i];
        QCOMPARE(changedLines, result["rows"].toArray().size());
        if (!leaves)
            QCOMPARE(n3fix({"--check-balances"}).status, 0);

        const QString journal = result["journal"].toString();
        if (changes == 0) {
            QVERIFY(journal.isEmpty());
            QCOMPARE(books(yearDb()), original);
            return;
        }
        const QJsonObject listed = n3fix({"--journal", "--json"}).json().array().at(0).toObject();
        QCOMPARE(listed["id"].toString(), journal);
        QCOMPARE(listed["repair"].toString(), "recompute-balances");
        QCOMPARE(listed["outcome"].toString(), "completed");
        QCOMPARE(listed["rows_changed"].toInt(), result["rows"].toArray().size());
        QVERIFY(n3fix({"--journal"}).out.contains("按下级科目重算"));
        // the journal gives the amounts of each row as the run did, in their exact digits
        const QJsonArray journaled = n3fix({"--journal", journal, "--json"}).json()["rows"].toArray();
        QCOMPARE(journaled.size(), result["rows"].toArray().size());
        // (but where the engine could not hold the sum: the journal has what it stored)
        for (qsizetype i = 0; i < journaled.size(); ++i) {
            QCOMPARE(journaled[i]["old"], result["rows"][i]["old"]);
            const auto storedInexactly = [&](const QJsonValue &inexact) {
                return inexact["code"] == journaled[i]["key"]["ccode"] && inexact["period"] == journaled[i]["key"]["iperiod"];
            };
            const QJsonArray inexact = result["inexact"].toArray();
            if (std::none_of(inexact.begin(), inexact.end(), storedInexactly))
                QCOMPARE(journaled[i]["new"], result["rows"][i]["new"]);
        }
        const ProcessRun undo = n3fix({"--undo", journal});
        QVERIFY2(undo.status == 0, undo.out + undo.err);
        QCOMPARE(books(yearDb()), original);
    }

    // What a person reads: the rows with their amounts in two decimals, what is left (codes not valid
    // UTF-8 by their bytes), the total.
    void inWords()
    {
        SqliteFixture::run(yearDb(), ParentOff
                                         + "insert into code values('1003',0),('100301',1);"
                                           "insert into GL_accsum values('100301',4,2.5,0,0),('77',1,0,0,0);"
                                           "insert into code values(cast(x'3130C5E4' as text),0),"
                                           "(cast(x'3130C5E43031' as text),1); insert into GL_accsum values"
                                           "(cast(x'3130C5E4' as text),1,0,0,0),(cast(x'3130C5E43031' as text),1,'?',0,0);");
        const ProcessRun dry = n3fix({"--recompute-balances", "--dry-run"});
        QCOMPARE(dry.status, 1);
        QCOMPARE(QString::fromUtf8(dry.out),
                 "帐套 001，2007 年度（LQDATA_001_2007）：按下级科目重算将改动 1 行余额（预览，未做任何改动）：\n"
                 "  1002 第 9 期：md 400.00 → 300.00\n"
                 "  科目 1003 第 4 期没有余额行，无法重算\n"
                 "  77 第 1 期：科目表中没有这个科目，未改动\n"
                 "  科目 X'3130c5e43031' 第 1 期 mb 的金额“?”无法识别\n"
                 "  科目 X'3130c5e4' 第 1 期 mb：本科目或下级科目中有无法识别的金额，未重算\n"
                 "共 1 个数据库：将改动 1 行余额；1 个数据库留有无法重算的余额行，0 个出错。\n");
        const ProcessRun real = n3fix({"--recompute-balances", "--account-set", "001", "--year", "2007"});
        QCOMPARE(real.status, 1);
        const QStringList lines = QString::fromUtf8(real.out).split('\n');
        QVERIFY2(QRegularExpression("^帐套 001，2007 年度（LQDATA_001_2007）：已按下级科目重算 1 行余额，修复日志 [0-9-]+：$")
                     .match(lines[0])
                     .hasMatch(),
                 qPrintable(lines[0]));
        QCOMPARE(lines[1], "  1002 第 9 期：md 400.00 → 300.00");
        const ProcessRun again = n3fix({"--recompute-balances"});
        QVERIFY(
            again.out.startsWith("帐套 001，2007 年度（LQDATA_001_2007）：上级科目的余额都与下级科目合计相符，未做任何改动。\n"));
    }

    // A trigger on GL_accsum that writes a row outside the recompute's journal whenever it writes a
    // parent: the recompute says so, naming the trigger (exit 1); undo gives back the row it
    // journaled and says the same; the trigger's row stays as the trigger left it, twice over.
    void triggerWritesAnotherRow()
    {
        SqliteFixture::run(yearDb(), ParentOff
                                         + "insert into GL_accsum values('9',9,0,0,0);"
                                           "create trigger tally after update on GL_accsum when new.ccode='1002'"
                                           " begin update GL_accsum set mb=mb+1 where ccode='9'; end;");
        const ProcessRun real = n3fix({"--recompute-balances", "--json"});
        QCOMPARE(real.status, 1);
        const QJsonObject result = real.json().array().at(0).toObject();
        QVERIFY2(real.err.contains("数据表 GL_accsum 上有触发器 tally"), real.err.constData());
        QVERIFY(result["trigger_notice"].toString().contains("撤销也不能恢复"));
        QCOMPARE(outcome(result), QStringList({"'1002'|9|md 400.00>300.00", "orphan '9'|9"}));
        const ProcessRun undo = n3fix({"--undo", result["journal"].toString(), "--json"});
        QCOMPARE(undo.status, 1);
        QCOMPARE(undo.json()["restored"].toInt(), 1);
        QVERIFY(undo.json()["left_alone"].toArray().isEmpty());
        QCOMPARE(SqliteFixture::select(
                     yearDb(), "select ccode, iperiod, mb, md, mc from GL_accsum where ccode in ('1002','9') order by rowid"),
                 QStringLiteral("t:'1002'|i:9|i:1200|i:400|i:5\nt:'1002'|i:10|i:50|i:0|i:0\nt:'9'|i:9|i:2|i:0|i:0\n"));
    }

    // Bad input says why, with status 2, and changes nothing.
    void refusals_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("says");
        QTest::newRow("no such account set")
            << QStringList{"--recompute-balances", "--account-set", "00"} << "没有编号为“00”的帐套";
        QTest::newRow("--code") << QStringList{"--recompute-balances", "--code", "1002"} << "只用于 --reset-balance";
        QTest::newRow("with another command") << QStringList{"--recompute-balances", "--check-balances"} << "每次只能用一个";
        QTest::newRow("no table") << QStringList{"--recompute-balances", "--json"} << "数据库中缺少数据表";
        QTest::newRow("an amount column twice") << QStringList{"--recompute-balances", "--amounts", "mb, MB"} << "给出了两次";
        QTest::newRow("--amounts with --check") << QStringList{"--check", "--amounts", "mb"} << "只用于 --check-balances";
    }
    void refusals()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, says);
        SqliteFixture::run(yearDb(), "create table code(ccode TEXT, bend INTEGER); insert into code values('1002',0);");
        const QMap<QString, QByteArray> before = SqliteFixture::dumpDirectory(m_dir->path());
        const ProcessRun run = n3fix(arguments);
        QCOMPARE(run.status, 2);
        QVERIFY2(QString::fromUtf8(run.err).contains(says), run.err.constData());
        QCOMPARE(SqliteFixture::dumpDirectory(m_dir->path()), before);
        QVERIFY(!QDir(m_dir->filePath("journal")).exists() || QDir(m_dir->filePath("journal")).isEmpty());
    }

    // Another program changes the books after the recompute read them and before it writes (while
    // a window would show its plan): the recompute stops, names the row, and changes nothing, so
    // the other program's change stays; no repair is journaled.
    void anotherWriterBetweenReadAndWrite_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("names");
        QTest::newRow("a sub-account's amount") << "update GL_accsum set md=250 where ccode='100202' and iperiod=9"
                                                << "科目 1002 第 9 期";
        QTest::newRow("the row to write") << "update GL_accsum set md=401 where ccode='1002' and iperiod=9"
                                          << "科目 1002 第 9 期";
        QTest::newRow("a row that agreed") << "update GL_accsum set mb=51 where ccode='1002' and iperiod=10"
                                           << "科目 1002 第 10 期";
    }
    void anotherWriterBetweenReadAndWrite()
    {
        QFETCH(QString, change);
        QFETCH(QString, names);
        SqliteFixture::run(yearDb(), ParentOff);
        QProcess runner;
        runner.start(N3_RECOMPUTE_RUNNER, {m_dir->path(), "001", "2007"});
        QVERIFY(runner.waitForReadyRead(60000) && runner.readLine() == "planned\n");
        SqliteFixture::run(yearDb(), change);
        const QString expected = books(yearDb());
        runner.closeWriteChannel();
        QVERIFY(runner.waitForFinished(60000));
        QCOMPARE(runner.exitCode(), 2);
        const QString said = QString::fromUtf8(runner.readAllStandardOutput());
        QVERIFY2(said.contains(names) && said.contains("被其他程序改动") && said.contains("没有做任何改动"), qPrintable(said));
        QCOMPARE(books(yearDb()), expected);
        QCOMPARE(n3fix({"--journal", "--json"}).json().array().size(), 0);
    }

    // Columns beyond mb, md and mc (the ending balance me here) follow the same rule when named:
    // checked, written, journaled and undone like the three; left alone when not named; a name
    // that is no column is refused with the columns there are.
    void otherAmountColumns()
    {
        SqliteFixture::run(yearDb(),
                           "create table code(ccode TEXT primary key, bend INTEGER);"
                           "create table GL_accsum(ccode TEXT, iperiod INTEGER, mb NUMERIC, md NUMERIC, mc NUMERIC,"
                           " me NUMERIC); insert into code values('1002',0),('100201',1),('100202',1);"
                           "insert into GL_accsum values('1002',1,10,0,0,50),('100201',1,10,0,0,20),('100202',1,0,0,0,20);");
        const QStringList withMe{"--amounts", "mb,md,mc,me"};
        QCOMPARE(n3fix({"--check-balances"}).status, 0);
        QCOMPARE(n3fix({"--recompute-balances", "--dry-run", "--json"}).json().array().at(0)["rows"].toArray().size(), 0);
        const ProcessRun check = n3fix(QStringList{"--check-balances", "--json"} + withMe);
        QCOMPARE(check.status, 1);
        const QJsonObject found = check.json().array().at(0)["disagreements"].toArray().at(0).toObject();
        QCOMPARE(found["column"].toString(), "me");
        QCOMPARE(spelled(found["amount"]) + '>' + spelled(found["sub_accounts_sum"]), "'50.00'>'40.00'");

        const QString before = books(yearDb());
        // me alone: the journal finds the row by the other amounts too, and gives them in exact digits
        const ProcessRun real = n3fix({"--recompute-balances", "--json", "--amounts", "me"});
        QVERIFY2(real.status == 0, real.err.constData());
        QCOMPARE(outcome(real.json().array().at(0).toObject()), QStringList{"'1002'|1|me 50.00>40.00"});
        QCOMPARE(SqliteFixture::select(yearDb(), "select mb, md, mc, me from GL_accsum where ccode='1002'"), "i:10|i:0|i:0|i:40\n");
        const QJsonObject key =
            n3fix({"--journal", real.json().array().at(0)["journal"].toString(), "--json"}).json()["rows"][0]["key"].toObject();
        QCOMPARE(key,
                 QJsonObject({{"rowid", 1}, {"ccode", "1002"}, {"iperiod", 1}, {"mb", "10.00"}, {"md", "0.00"}, {"mc", "0.00"}}));
        QCOMPARE(n3fix({"--check-balances", "--amounts", "ME"}).status, 0);
        const ProcessRun undo = n3fix({"--undo", real.json().array().at(0)["journal"].toString()});
        QVERIFY2(undo.status == 0, undo.out + undo.err);
        QCOMPARE(books(yearDb()), before);

        for (const char *command : {"--check-balances", "--recompute-balances"}) {
            const ProcessRun refused = n3fix({command, "--amounts", "mb,mf"});
            QCOMPARE(refused.status, 2);
            QVERIFY2(QString::fromUtf8(refused.err).contains("没有金额列“mf”。它的列有：ccode、iperiod、mb、md、mc、me"),
                     refused.err.constData());
        }
        QCOMPARE(books(yearDb()), before);
    }

    // The demo's planted faults: the check finds them; after the recompute it finds none.
    void demoFlow()
    {
        QTemporaryDir home;
        const auto demo = [&home](const QStringList &arguments) {
            return runProcess(N3FIX, QStringList{"--demo"} + arguments, environmentWithHome(home.path()));
        };
        const ProcessRun found = demo({"--check-balances", "--json"});
        QCOMPARE(found.status, 1);
        int disagreements = 0;
        for (const QJsonValue database : found.json().array()) {
            QVERIFY2(database["disagreements"].toArray().size() >= 2, qPrintable(database["database"].toString()));
            disagreements += int(database["disagreements"].toArray().size());
        }
        const ProcessRun recomputed = demo({"--recompute-balances", "--json"});
        QVERIFY2(recomputed.status == 0, recomputed.err.constData());
        for (const QJsonValue database : recomputed.json().array())
            QVERIFY2(database["rows"].toArray().size() >= 3,
                     qPrintable(database["database"].toString()));  // two levels and the top-level account
        QCOMPARE(demo({"--check-balances"}).status, 0);
        QVERIFY(disagreements > 0);
    }

    // Over the real ODBC driver manager (Debian's SQLite driver registered as "SQL Server"): the
    // same preview, the same writes and the same undo as on the embedded engine.
    void overOdbc()
    {
        QTemporaryDir config;
        OdbcFixture::registerSqliteDriver(config.path());
        SqliteFixture::run(yearDb(), ParentOff
                                         + "insert into code values('1003',0),('100301',1),('100302',1),('1004',0),('100401',1);"
                                           "insert into GL_accsum values('1003',1,0,0,0),('100301',1,0.1,'7',0),"
                                           "('100302',1,0.2,NULL,0),('9',1,0,0,0),('1004',1,5,0,0),('100401',1,9e999,0,0);");
        const QString data = config.filePath("data");
        QVERIFY(QDir().mkpath(data));
        QVERIFY(QFile::copy(systemDatabase(m_dir->path()), data + "/LQsystem"));
        QVERIFY(QFile::copy(yearDb(), data + "/LQDATA_001_2007"));
        const auto odbc = [&data](QStringList arguments) {
            return runProcess(N3FIX, arguments << "--odbc", QProcessEnvironment::systemEnvironment(), data);
        };

        const ProcessRun embedded = n3fix({"--recompute-balances", "--dry-run", "--json"});
        QCOMPARE(embedded.status, 1);
        const QMap<QString, QString> before = snapshot(config.path());
        const ProcessRun dry = odbc({"--recompute-balances", "--dry-run", "--json"});
        QCOMPARE(dry.status, 1);
        QCOMPARE(snapshot(config.path()), before);
        QCOMPARE(dry.json(), embedded.json());
        QCOMPARE(outcome(dry.json()[0].toObject()),
                 QStringList({"'1002'|9|md 400.00>300.00", "'1003'|1|mb 0.00>0.30", "'1003'|1|md 0.00>7.00", "orphan '9'|1",
                              "unreadable '100401'|1|mb 'inf'", "unworkable '1004'|1|mb"}));

        const QString original = books(data + "/LQDATA_001_2007");
        const ProcessRun real = odbc({"--recompute-balances", "--json"});
        QCOMPARE(real.status, 1);
        QCOMPARE(real.json()[0]["rows"], dry.json()[0]["rows"]);
        QCOMPARE(SqliteFixture::select(data + "/LQDATA_001_2007", "select md, mb = 0.3 from GL_accsum where ccode in ('1002', '1003')"
                                                                  " and iperiod in (1, 9) order by ccode"),
                 "i:300|i:0\ni:7|i:1\n");
        QCOMPARE(odbc({"--journal", "--json"}).json()[0]["repair"].toString(), "recompute-balances");
        QCOMPARE(odbc({"--undo", real.json()[0]["journal"].toString()}).status, 0);
        QCOMPARE(books(data + "/LQDATA_001_2007"), original);
    }
};

QTEST_GUILESS_MAIN(LedgerRecompute)
#include "tst_ledger_recompute.moc"
