// Finding where the general ledger and the detail ledgers disagree (n3fix --check-balances) and
// clearing one account's balances from the command line (n3fix --reset-balance), as real
// processes on real database files.
#include "repair/AccountCodes.h"
#include "support/DataFiles.h"
#include "support/ProcessRun.h"
#include "support/LedgerFixture.h"
#include "support/OdbcFixture.h"
#include "support/SqliteFixture.h"

#include <QRandomGenerator>
#include <QtTest>

using Run = ProcessRun;  // what one run of the command line gave

namespace {

// One account set, 001, with the live years 2007 and 2008 (2008 has no database file).
const QString SystemScript = "create table KS_Account(cAcc_Id TEXT, cAcc_Name TEXT); insert into KS_Account values('001','测试');"
                             "create table KS_period(cacc_id TEXT, iyear INTEGER, iperiod INTEGER, bisdelete INTEGER);"
                             "insert into KS_period values('001',2007,1,0),('001',2008,1,0);";

const QString Typical = LedgerFixture::TypicalTables;

using LedgerFixture::spelled;

// One database's findings, one line each: "code|period|column|amount|sum", then "orphan code|period",
// then "unreadable code|period|column stored".
QStringList findings(const QJsonObject &result)
{
    QStringList lines;
    for (const QJsonValue found : result["disagreements"].toArray())
        lines << QStringList{spelled(found["code"]), spelled(found["period"]), found["column"].toString(),
                             LedgerFixture::amount(found["amount"]), LedgerFixture::amount(found["sub_accounts_sum"])}
                     .join('|');
    for (const QJsonValue orphan : result["orphans"].toArray())
        lines << "orphan " + spelled(orphan["code"]) + '|' + spelled(orphan["period"]);
    for (const QJsonValue amount : result["unreadable"].toArray())
        lines << "unreadable " + spelled(amount["code"]) + '|' + spelled(amount["period"]) + '|' + amount["column"].toString()
                     + ' ' + spelled(amount["stored"]);
    return lines;
}

}  // namespace

class LedgerBalances : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> m_dir;
    QProcess m_lockHolder;
    QString yearDb() const { return yearDatabase(m_dir->path()); }

    Run n3fix(const QStringList &arguments) { return runOnData(N3FIX, m_dir->path(), arguments); }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        SqliteFixture::run(systemDatabase(m_dir->path()), SystemScript);
    }
    void cleanup()
    {
        m_lockHolder.closeWriteChannel();
        m_lockHolder.waitForFinished();
    }

    // The parent of each code is the nearest code above it: on random charts of short codes with
    // blanks, duplicates, non-ASCII characters and NULL, against the longest other code that is a
    // proper prefix of it, found by trying every code.
    void directParentIsTheNearestPrefix()
    {
        const QStringList alphabet{"1", "0", " ", "a", "三", "😀"};
        for (quint32 seed = 1; seed <= 40; ++seed) {
            QRandomGenerator random(seed);
            std::vector<repair::ChartCode> codes;
            for (int i = 0; i < 120; ++i) {
                QString code = random.bounded(25) == 0 ? QString() : QString("");
                for (int n = code.isNull() ? 0 : random.bounded(6); n > 0; --n)
                    code += alphabet[random.bounded(alphabet.size())];
                codes.push_back({code});
            }
            const std::vector<qsizetype> parents = repair::directParents(codes);
            QCOMPARE(parents.size(), codes.size());
            for (std::size_t i = 0; i < codes.size(); ++i) {
                const QStringView code = repair::withoutPadding(codes[i].text);
                qsizetype nearest = -1;
                for (std::size_t j = 0; j < codes.size(); ++j) {
                    const QStringView other = repair::withoutPadding(codes[j].text);
                    if (!codes[i].text.isNull() && !codes[j].text.isNull() && code.size() > other.size() && code.startsWith(other)
                        && (nearest < 0 || other.size() > repair::withoutPadding(codes[std::size_t(nearest)].text).size()))
                        nearest = qsizetype(j);
                }
                QVERIFY2(
                    parents[i] == nearest,
                    qPrintable(
                        QString("seed %1: parent of '%2' is #%3, not #%4").arg(seed).arg(codes[i].text).arg(parents[i]).arg(nearest)));
            }
        }
    }

    // Charts and balances in the shapes real books and import tools leave them, each with the
    // findings worked out by hand. Only direct sub-accounts count towards an account; a row of a
    // code the chart lacks counts towards nobody and is listed.
    void check_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("parent is the sum of its children")
            << Typical
                   + "insert into code values('1001',1),('1002',0),('100201',1),('100202',1);"
                     "insert into GL_accsum values('1002',1,300,30,3),('100201',1,100,10,1),('100202',1,200,20,2),"
                     "('1002',2,50,0,0),('100201',2,50,0,0),('1001',1,7,7,7);"
            << QStringList();
        QTest::newRow("one period, one column differs")
            << Typical
                   + "insert into code values('1002',0),('100201',1),('100202',1);"
                     "insert into GL_accsum values('1002',1,300,30,3),('100201',1,100,10,1),('100202',1,200,20,2),"
                     "('1002',2,1200,5,5),('100201',2,600,5,0),('100202',2,400,0,5);"
            << QStringList{"'1002'|2|mb|1200.00|1000.00"};
        QTest::newRow("parent without a row in a period")
            << Typical
                   + "insert into code values('1002',0),('100201',1),('100202',1);"
                     "insert into GL_accsum values('1002',1,3,0,0),('100201',1,1,0,0),('100202',1,2,0,0),"
                     "('100201',3,10,0,-4),('100202',3,0,0,4),('100201',4,5,0,0),('100202',4,-5,0,0);"
            << QStringList{"'1002'|3|mb|null|10.00"};
        QTest::newRow("parent whose children have no rows")
            << Typical
                   + "insert into code values('1002',0),('100201',1);"
                     "insert into GL_accsum values('1002',1,10,0,0),('1002',2,0,0,0);"
            << QStringList{"'1002'|1|mb|10.00|0.00"};
        // 1002 equals its direct sub-accounts (300 = 100 + 200) but not every code below it
        // (100 + 60 + 40 + 200); 1003010 has no 6-digit code above it, so 1003 is its parent.
        QTest::newRow("two levels and a gap")
            << Typical
                   + "insert into code values('1002',0),('100201',0),('10020101',1),('10020102',1),('100202',1),"
                     "('1003',0),('1003010',1);"
                     "insert into GL_accsum values('1002',1,300,0,0),('100201',1,100,0,0),('10020101',1,60,0,0),"
                     "('10020102',1,40,0,0),('100202',1,200,0,0),('1002',2,100,0,0),('100201',2,100,0,0),"
                     "('10020101',2,70,0,0),('10020102',2,40,0,0),('1003',1,5,0,0),('1003010',1,5,0,0);"
            << QStringList{"'100201'|2|mb|100.00|110.00"};
        // Codes without a declared type keep numbers as numbers; blanks pad fixed-width codes. '1002 '
        // is 1002 again, and is counted once.
        QTest::newRow("codes padded or stored as numbers")
            << "create table code(ccode, bend); create table GL_accsum(ccode, iperiod, mb, md, mc);"
               "insert into code values(1002,0),('100201  ',1),(100202.0,1),('1002 ',0);"
               "insert into GL_accsum values('1002   ',1,300,0,0),(100201,1,100,0,0),('100202',1,150,0,0),"
               "(1002.0,2,10,0,0),('100201 ',2,4,0,0),(100202,2,6,0,0);"
            << QStringList{"'1002'|1|mb|300.00|250.00"};
        // An import tool's table: every column TEXT. '09' is period 9; a NULL amount is 0, 'abc' is
        // no amount at all; 12345678901234567.90, beyond what a double holds, comes out in its exact digits.
        QTest::newRow("every column TEXT, NULL and text amounts")
            << "create table code(ccode TEXT, bend TEXT); create table GL_accsum(ccode TEXT, iperiod TEXT, mb TEXT,"
               " md TEXT, mc TEXT); insert into code values('1002','0'),('100201','1'),('100202','1'),('1003','0'),('100301','1');"
               "insert into GL_accsum values('1002','9','1200.00',NULL,' 15 '),('100201','9','600',NULL,'10'),"
               "('100202','09','400.0','0','5'),('100202','10','abc',NULL,NULL),('1002','季末',NULL,'1',NULL),"
               "('1003','1','0',NULL,NULL),('100301','1','12345678901234567.90',NULL,NULL);"
            << QStringList{"'1002'|9|mb|1200.00|1000.00", "'1002'|'季末'|md|1.00|0.00", "'1003'|1|mb|0.00|12345678901234567.90",
                           "unreadable '100202'|10|mb 'abc'"};
        // Amounts as import tools leave them. In periods 1 to 9, 100202's mb is in a form that is no
        // plain number: the parent's sum can't be worked out, and 200 is not compared with 100. In
        // periods 11 to 16 it is plain (blanks, also non-breaking, an exponent, -0, NULL and the
        // empty text as 0), and 1002 holds the sum.
        QTest::newRow("amounts as import tools leave them")
            << Typical
                   + "insert into code values('1002',0),('100201',1),('100202',1);"
                     "with shapes(p, v, parent) as (values(1,'1,234.50',200),(2,'NaN',200),(3,'inf',200),"
                     "(4,'(100.00)',200),(5,'¥100.00',200),(6,'0x64',200),(7,x'3130',200),(8,9e999,200),"
                     "(9,'1e3,5',200),(11,' 12.5 ',112.5),(12,'1e3',1100),(13,'-0',100),"
                     "(14,char(160)||'12.5'||char(160),112.5),(15,NULL,100),(16,'',100))"
                     " insert into GL_accsum select '100202',p,v,0,0 from shapes union all"
                     " select '100201',p,100,0,0 from shapes union all select '1002',p,parent,0,0 from shapes;"
            << QStringList{"unreadable '100202'|1|mb '1,234.50'", "unreadable '100202'|2|mb 'NaN'",
                           "unreadable '100202'|3|mb 'inf'",      "unreadable '100202'|4|mb '(100.00)'",
                           "unreadable '100202'|5|mb '¥100.00'",  "unreadable '100202'|6|mb '0x64'",
                           "unreadable '100202'|7|mb 'X'3130''",  "unreadable '100202'|8|mb 'inf'",
                           "unreadable '100202'|9|mb '1e3,5'"};
        QTest::newRow("rows of codes not in the chart")
            << Typical
                   + "insert into code values('1002',0),('100201',1);"
                     "insert into GL_accsum values('1002',1,100,0,0),('100201',1,100,0,0),('100299',1,50,0,0),"
                     "('9999',1,1,1,1),(NULL,2,0,0,0),('',4,1,0,0),('9999',1,1,1,1);"
            << QStringList{"orphan null|2", "orphan ''|4", "orphan '100299'|1", "orphan '9999'|1", "orphan '9999'|1"};
        QTest::newRow("differences below half a cent")
            << Typical
                   + "insert into code values('1002',0),('100201',1),('100202',1);"
                     "insert into GL_accsum values('1002',1,100.004,0,0),('100201',1,100,0,0),"
                     "('1002',2,100.005,0,0),('100201',2,100,0,0),"
                     "('1002',3,0.3,0,0),('100201',3,0.1,0,0),('100202',3,0.2,0,0);"
            << QStringList{"'1002'|2|mb|100.005|100.00"};
        QTest::newRow("tables without rowid, duplicate rows")
            << "create table code(ccode TEXT primary key, bend INTEGER) without rowid;"
               "create table GL_accsum(ccode TEXT, iperiod INTEGER, seq INTEGER, mb NUMERIC, md NUMERIC, mc NUMERIC,"
               " primary key(ccode, iperiod, seq)) without rowid;"
               "insert into code values('1002',0),('100201',1);"
               "insert into GL_accsum values('1002',1,1,100,0,0),('100201',1,1,100,0,0),('100201',1,2,100,0,0),"
               "('1002',12,1,0,0,3),('1002',12,2,0,0,4),('100201',12,1,0,0,7);"
            << QStringList{"'1002'|1|mb|100.00|200.00"};
        // Codes imported in GBK, stored in bytes that are not valid UTF-8: 10配 (3130C5E4) and 10你01
        // (3130C4E33031) are two sub-accounts of 10, not one the sub-account of the other, though
        // decoded with their bytes replaced they read as 10?? and 10??01; 20配01 is a sub-account of
        // 20配 by its bytes.
        QTest::newRow("codes in another encoding")
            << Typical
                   + "insert into code values('10',0),(cast(x'3130C5E4' as text),1),(cast(x'3130C4E33031' as text),1),"
                     "('20',0),(cast(x'3230C5E4' as text),0),(cast(x'3230C5E43031' as text),1);"
                     "insert into GL_accsum values('10',1,80,0,0),(cast(x'3130C5E4' as text),1,30,0,0),"
                     "(cast(x'3130C4E33031' as text),1,50,0,0),('20',1,9,0,0),(cast(x'3230C5E4' as text),1,7,0,0),"
                     "(cast(x'3230C5E43031' as text),1,9,0,0),(cast(x'3130C5E4' as text),2,1,0,0),"
                     "(cast(x'3930C5E4' as text),1,1,0,0);"
            << QStringList{"'10'|2|mb|null|1.00", "'20'|1|mb|9.00|7.00", "'X'3230c5e4''|1|mb|7.00|9.00", "orphan 'X'3930c5e4''|1"};
        QTest::newRow("empty tables") << Typical << QStringList();
    }

    // The findings as the JSON lists them, in code and period order; exit status 1 exactly when
    // something was found; every file byte- and time-identical afterwards.
    void check()
    {
        QFETCH(QString, script);
        QFETCH(QStringList, expected);
        SqliteFixture::run(yearDb(), script);
        const QMap<QString, QString> before = snapshot(m_dir->path());
        const Run run = n3fix({"--check-balances", "--year", "2007", "--json"});
        QCOMPARE(snapshot(m_dir->path()), before);
        QVERIFY2(run.status == (expected.isEmpty() ? 0 : 1), run.err.constData());
        const QJsonArray results = run.json().array();
        QCOMPARE(results.size(), 1);
        const QJsonObject result = results[0].toObject();
        QCOMPARE(result["database"].toString(), "LQDATA_001_2007");
        QCOMPARE(findings(result), expected);
        QSet<QString> accounts, periods;
        for (const QJsonValue found : result["disagreements"].toArray()) {
            accounts << found["code"].toString();
            periods << found["code"].toString() + '|' + spelled(found["period"]);
        }
        QCOMPARE(result["accounts"].toInt(), accounts.size());
        QCOMPARE(result["periods"].toInt(), periods.size());
    }

    // The text a person reads: one line per database, and with --verbose one line per finding.
    void checkInWords()
    {
        SqliteFixture::run(yearDb(), Typical
                                         + "insert into code values('1002',0),('100201',1),('100202',1);"
                                           "insert into GL_accsum values('1002',9,1200,5,5),('100201',9,600,5,0),"
                                           "('100202',9,400.125,0,5),('100201',10,1,0,0),('77',1,0,0,0);");
        const Run brief = n3fix({"--check-balances", "--year", "2007"});
        QCOMPARE(brief.status, 1);
        QCOMPARE(QString::fromUtf8(brief.out),
                 "帐套 001，2007 年度（LQDATA_001_2007）：科目 3 个，与下级科目合计不符的科目 1 个（2 个期间），"
                 "科目表中没有的余额行 1 行\n"
                 "共检查 1 个数据库：1 个总账与明细账不符，0 个无法读取。\n");
        const Run verbose = n3fix({"--check-balances", "--account-set", "001", "--year", "2007", "--verbose"});
        QCOMPARE(verbose.status, 1);
        const QStringList lines = QString::fromUtf8(verbose.out).split('\n');
        QCOMPARE(lines.mid(1, 3),
                 QStringList({"  1002 第 9 期：mb 本科目 1200.00，下级科目合计 1000.13",
                              "  1002 第 10 期：mb 本科目 无余额行，下级科目合计 1.00", "  77 第 1 期：科目表中没有这个科目"}));
    }

    // A database that can't be read is reported once, on standard error, and the others are still
    // checked; nothing is written.
    void unreadableDatabase()
    {
        SqliteFixture::run(systemDatabase(m_dir->path()), "insert into KS_Account values('002','坏');"
                                                          "insert into KS_period values('002',2007,1,0);");
        SqliteFixture::run(yearDb(), Typical
                                         + "insert into code values('1002',0),('100201',1);"
                                           "insert into GL_accsum values('1002',1,1,0,0);");
        SqliteFixture::run(yearDatabase(m_dir->path(), "002", "2007"), "create table code(ccode TEXT, bend INTEGER);");
        const QMap<QString, QString> before = snapshot(m_dir->path());
        const Run run = n3fix({"--check-balances", "--year", "2007", "--json"});
        QCOMPARE(snapshot(m_dir->path()), before);
        QCOMPARE(run.status, 2);
        const QJsonArray results = run.json().array();
        QCOMPARE(results.size(), 2);
        QCOMPARE(findings(results[0].toObject()), QStringList{"'1002'|1|mb|1.00|0.00"});
        QCOMPARE(results[1]["accounts"], QJsonValue());
        QVERIFY(results[1]["error"].toString().contains("no such table"));
        QCOMPARE(QString::fromUtf8(run.err).count("LQDATA_002_2007"), 1);
        const Run text = n3fix({"--check-balances", "--year", "2007"});
        QCOMPARE(text.status, 2);
        QVERIFY(!text.out.contains("LQDATA_002_2007"));
        QVERIFY(text.err.contains("帐套 002，2007 年度（LQDATA_002_2007）：无法读取：数据库中缺少数据表"));
    }

    // The dry run lists exactly the rows the real run then clears, beside rows of a sub-account, of
    // earlier periods and of other codes: in a table an import left (every column TEXT, amounts as
    // text), and in a typed one with padded codes, numbers for codes and a row already at 0. The
    // files do not change under the dry run; the real run's journal, undone, gives back every value.
    void dryRunThenReset_data()
    {
        QTest::addColumn<QString>("script");
        const QString rows = " select c.value, p.value, '借', c.key * 100 + p.value, 7, p.value || '.5', 'x' from"
                             " json_each('[\"1002\",\"100201\",\"1003\",\"10021\",\"1002  \",1002]') c,"
                             " json_each('[1,8,9,11,12]') p;";
        QTest::newRow("every column TEXT")
            << "create table GL_accsum(ccode TEXT, iperiod TEXT, cbegind_c TEXT, mb TEXT, md TEXT, mc TEXT, me TEXT);"
               "insert into GL_accsum"
                   + rows
                   + "insert into GL_accsum values('1002','9','借',NULL,'-3',NULL,'dup'),"
                     "('1002','10','贷','0','0','0','zero');";
        QTest::newRow("typed, codes padded or numbers")
            << "create table GL_accsum(ccode, iperiod INTEGER, cbegind_c TEXT, mb NUMERIC, md NUMERIC, mc NUMERIC,"
               " me NUMERIC); insert into GL_accsum"
                   + rows
                   + "insert into GL_accsum values('1002',9,'借',NULL,-3,NULL,0),"
                     "('1002',10,'贷',0,0,0,0);";
    }
    void dryRunThenReset()
    {
        QFETCH(QString, script);
        SqliteFixture::run(yearDb(), "create table code(ccode TEXT, bend TEXT); insert into code values('1002','0'),"
                                     "('100201','1');"
                                         + script);
        const QString original = SqliteFixture::dump(yearDb(), "GL_accsum");
        const QMap<QString, QString> before = snapshot(m_dir->path());
        const QStringList reset{"--reset-balance", "--account-set", "001",           "--year", "2007",
                                "--code",          "1002",          "--from-period", "9",      "--json"};

        const Run dry = n3fix(reset + QStringList{"--dry-run"});
        QCOMPARE(dry.status, 0);
        QCOMPARE(snapshot(m_dir->path()), before);
        const QJsonObject preview = dry.json().object();
        QCOMPARE(preview["dry_run"], QJsonValue(true));
        QCOMPARE(preview["journal"], QJsonValue());
        QCOMPARE(preview["database"].toString(), "LQDATA_001_2007");
        QCOMPARE(preview["from_period"], QJsonValue(9));
        // 1002, '1002  ' and the number 1002 in periods 9, 11 and 12, and the two rows added of 1002.
        QCOMPARE(preview["rows"].toArray().size(), 11);

        const Run real = n3fix(reset);
        QCOMPARE(real.status, 0);
        QCOMPARE(real.json()["dry_run"], QJsonValue(false));
        QCOMPARE(real.json()["rows"], preview["rows"]);
        const QString journal = real.json()["journal"].toString();
        QVERIFY(!journal.isEmpty());
        // The rows whose amounts the reset set to 0, as they were before it, against the preview.
        const QStringList was = original.split('\n'), now = SqliteFixture::dump(yearDb(), "GL_accsum").split('\n');
        QCOMPARE(now.size(), was.size());
        QStringList cleared, listed;
        for (qsizetype i = 0; i < now.size(); ++i) {
            if (now[i] == was[i])
                continue;
            const QStringList fields = was[i].split('|');
            QVERIFY2(QRegularExpression("^(i:0|t:'0')$").match(now[i].section('|', 3, 3)).hasMatch(), qPrintable(now[i]));
            QCOMPARE(now[i].section('|', 3, 5), QStringList(3, now[i].section('|', 3, 3)).join('|'));
            // each amount as JSON gives it: its decimal digits, in two decimals here
            const auto decimal = [](const QString &stored) {
                return stored == "NULL" ? stored : QString::number(stored.mid(2).remove('\'').toDouble(), 'f', 2);
            };
            cleared << QStringList{fields[1], decimal(fields[3]), decimal(fields[4]), decimal(fields[5])}.join('|');
        }
        const auto typed = [](const QJsonValue &v) {
            if (v.isNull() || v.isString())
                return v.isNull() ? QString("NULL") : "t:'" + v.toString() + "'";
            return "i:" + QString::number(v.toInteger());
        };
        for (const QJsonValue row : preview["rows"].toArray()) {
            const QString line = QStringList{typed(row["period"]), LedgerFixture::amount(row["mb"]).replace("null", "NULL"),
                                             LedgerFixture::amount(row["md"]).replace("null", "NULL"),
                                             LedgerFixture::amount(row["mc"]).replace("null", "NULL")}
                                     .join('|');
            if (!line.endsWith("|0.00|0.00|0.00"))  // already 0: cleared, not changed
                listed << line;
        }
        QCOMPARE(listed, cleared);

        QCOMPARE(n3fix({"--undo", journal}).status, 0);
        QCOMPARE(SqliteFixture::dump(yearDb(), "GL_accsum"), original);
    }

    // Over the real ODBC driver manager (Debian's SQLite driver registered as "SQL Server"), the
    // check finds what it finds on the embedded engine and changes nothing; the reset's preview
    // lists the rows its run clears, and undo gives them back.
    void overOdbc()
    {
        QTemporaryDir config;
        OdbcFixture::registerSqliteDriver(config.path());
        SqliteFixture::run(yearDb(), Typical
                                         + "insert into code values('1002',0),('100201',1),('100202',1);"
                                           "insert into GL_accsum values('1002',9,1200,5,5),('100201',9,600,5,0),"
                                           "('100202',9,400,0,5),('1002',10,3,2,1),('100201',10,3,2,1),('9',1,0,0,0);");
        const Run embedded = n3fix({"--check-balances", "--year", "2007", "--json"});
        QCOMPARE(embedded.status, 1);
        // The same files, named as the driver opens them: DATABASE=X is the file X in the current directory.
        const QString data = config.filePath("data");
        QVERIFY(QDir().mkpath(data));
        QVERIFY(QFile::copy(systemDatabase(m_dir->path()), data + "/LQsystem"));
        QVERIFY(QFile::copy(yearDb(), data + "/LQDATA_001_2007"));
        const auto odbc = [&data](QStringList arguments) {
            return runProcess(N3FIX, arguments << "--odbc", QProcessEnvironment::systemEnvironment(), data);
        };

        const QMap<QString, QString> before = snapshot(config.path());
        const Run check = odbc({"--check-balances", "--year", "2007", "--json"});
        QCOMPARE(check.status, 1);
        QCOMPARE(check.json(), embedded.json());
        const QStringList reset{"--reset-balance", "--account-set", "001",           "--year", "2007",
                                "--code",          "1002",          "--from-period", "10",     "--json"};
        const Run dry = odbc(reset + QStringList{"--dry-run"});
        QCOMPARE(dry.status, 0);
        QCOMPARE(snapshot(config.path()), before);
        QCOMPARE(dry.json()["rows"].toArray(),
                 QJsonArray({QJsonObject{{"period", 10}, {"mb", "3.00"}, {"md", "2.00"}, {"mc", "1.00"}}}));

        const QString original = SqliteFixture::dump(data + "/LQDATA_001_2007", "GL_accsum");
        const Run real = odbc(reset);
        QCOMPARE(real.status, 0);
        QCOMPARE(real.json()["rows"], dry.json()["rows"]);
        QCOMPARE(
            SqliteFixture::select(data + "/LQDATA_001_2007", "select mb, md, mc from GL_accsum where iperiod=10 order by ccode"),
            "i:0|i:0|i:0\ni:3|i:2|i:1\n");
        QCOMPARE(odbc({"--undo", real.json()["journal"].toString()}).status, 0);
        QCOMPARE(SqliteFixture::dump(data + "/LQDATA_001_2007", "GL_accsum"), original);
    }

    // Every refusal and failure says why in Chinese, with status 2, and changes no database; a
    // code without rows is status 1 and says so.
    void resetRefusals_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("says");
        const QStringList reset{"--reset-balance", "--code", "1002"};
        QTest::newRow("no such account set")
            << reset + QStringList{"--account-set", "00", "--year", "2007", "--from-period", "1", "--json"} << 2
            << "没有编号为“00”的帐套";
        QTest::newRow("no such year") << reset + QStringList{"--account-set", "001", "--year", "2099",
                                                             "--from-period", "1",   "--json"}
                                      << 2 << "2099";
        QTest::newRow("listed year without database")
            << reset + QStringList{"--account-set", "001", "--year", "2008", "--from-period", "1", "--json"} << 2
            << "数据库文件不存在";
        QTest::newRow("period not whole") << reset + QStringList{"--account-set", "001", "--year", "2007",
                                                                 "--from-period", "3.5", "--json"}
                                          << 2 << "“3.5”不是月份：请给出 1 到 12 的整数";
        QTest::newRow("period after the last month")
            << reset + QStringList{"--account-set", "001", "--year", "2007", "--from-period", "13", "--json"} << 2
            << "“13”不是月份";
        QTest::newRow("locked by another program")
            << reset + QStringList{"--account-set", "001", "--year", "2007", "--from-period", "1", "--json"} << 2 << "已锁定";
        QTest::newRow("without --code")
            << QStringList{"--reset-balance", "--account-set", "001", "--year", "2007", "--from-period", "1"} << 2 << "需要给出";
        QTest::newRow("without --account-set") << reset + QStringList{"--year", "2007", "--from-period", "1"} << 2 << "需要给出";
        QTest::newRow("--dry-run with --check-balances")
            << QStringList{"--check-balances", "--dry-run"} << 2 << "只用于 --repair-end-flags、--reset-balance";
        QTest::newRow("--code with --check") << QStringList{"--check", "--code", "1002"} << 2 << "只用于 --reset-balance";
        QTest::newRow("two commands") << reset + QStringList{"--check-balances"} << 2 << "每次只能用一个";
        QTest::newRow("no row matched") << QStringList{"--reset-balance", "--account-set", "001",           "--year", "2007",
                                                       "--code",          "100202",        "--from-period", "1"}
                                        << 1 << "";
        QTest::newRow("no row matched, dry run")
            << QStringList{"--reset-balance", "--account-set", "001", "--year",    "2007",  "--code",
                           "1002 1",          "--from-period", "1",   "--dry-run", "--json"}
            << 1 << "";
    }
    void resetRefusals()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, says);
        SqliteFixture::run(yearDb(), Typical
                                         + "insert into code values('1002',0),('100201',1);"
                                           "insert into GL_accsum values('1002',1,5,5,5),('1002',12,6,6,6),('100201',12,1,1,1);");
        const QMap<QString, QByteArray> before = SqliteFixture::dumpDirectory(m_dir->path());
        if (QString(QTest::currentDataTag()).startsWith("locked")) {
            m_lockHolder.start(N3_LOCK_HOLDER, {yearDb()});
            QVERIFY(m_lockHolder.waitForReadyRead(30000) && m_lockHolder.readAll() == "locked\n");
        }
        const Run run = n3fix(arguments);
        QCOMPARE(run.status, status);
        QVERIFY2(QString::fromUtf8(run.err).contains(says), run.err.constData());
        cleanup();
        QCOMPARE(SqliteFixture::dumpDirectory(m_dir->path()), before);
        if (status == 1 && !arguments.contains("--json"))
            QVERIFY2(run.out.contains("没有余额行，未做任何改动"), run.out.constData());
        if (arguments.contains("--json")) {
            QCOMPARE(run.json()["rows"].toArray().size(), 0);
            QCOMPARE(run.json()["error"].isString(), status == 2);
        }
    }
};

QTEST_GUILESS_MAIN(LedgerBalances)
#include "tst_ledger_balances.moc"
