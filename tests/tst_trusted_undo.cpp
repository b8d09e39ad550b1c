// Undo writes a value only into the very row a repair changed, still holding what the repair wrote,
// whatever happened to the table since (rowids reused, VACUUM, the table rebuilt), and on data as
// import tools leave it (every column TEXT, padded codes, WITHOUT ROWID tables); the journal holds
// only the rows a repair changes and reads a page at a time.
#include "db/DbError.h"
#include "demo/DemoData.h"
#include "repair/BalanceReset.h"
#include "repair/EndFlagRepair.h"
#include "repair/Journal.h"
#include "repair/JournalReader.h"
#include "support/DataFiles.h"
#include "support/DataDirectoryTest.h"
#include "support/FormDriver.h"
#include "support/JournalDriver.h"
#include "support/ProcessRun.h"
#include "support/SqliteFixture.h"

#include <QtTest>

namespace {

// Rows of `sql`, one string per row.
QStringList rowsOf(const QString &db, const QString &sql)
{
    return SqliteFixture::select(db, sql).split('\n', Qt::SkipEmptyParts);
}

}  // namespace

class TrustedUndo : public DataDirectoryTest {
    Q_OBJECT
    QString yearDb() const { return yearDatabase(m_dir->path()); }

    ProcessRun n3fix(const QStringList &arguments) { return runOnData(N3FIX, m_dir->path(), arguments); }

    repair::EndFlagRun walk()
    {
        JournalDriver::Walk progress;
        return repair::repairEndFlags("001", "2007", progress);
    }

    // Undoes a repair on the command line: it must succeed, restore `restored` rows and leave
    // `table` as `before`.
    void undoRestoresAll(const QString &journal, int restored, const QString &table, const QString &before)
    {
        const ProcessRun undo = n3fix({"--undo", journal, "--json"});
        QVERIFY2(undo.status == 0, (undo.out + undo.err).constData());
        QCOMPARE(undo.json()["restored"].toInt(), restored);
        QCOMPARE(SqliteFixture::dump(yearDb(), table), before);
    }

private slots:
    void init()
    {
        useFreshDataDirectory();
        writeSystemDatabase(systemDatabase(m_dir->path()), {{"001", "演示", {2007}, {}}});
    }
    void cleanup() { removeDataDirectory(); }

    // After a walk, the table changes under the journal; undo (the command line) then restores a
    // row only where rowid, code and the flag the walk wrote all still match. Whatever it leaves
    // alone is listed as gone or changed with exit 1; no row gets another row's flag.
    void undoFindsTheVeryRowAfterAWalk_data()
    {
        QTest::addColumn<QString>("meddle");  // run on the year database after the walk
        QTest::addColumn<int>("restored");
        QTest::addColumn<QStringList>("kinds");  // of the rows left alone, in journal order
        // 1001, 1002 and 100101 (rowids 2, 3 and 4) hold wrong flags; the rest are right
        QTest::newRow("untouched") << "" << 3 << QStringList();
        QTest::newRow("rowid reused by a new account")
            << "delete from code where ccode='1002'; insert into code(rowid,ccode,bend) values(3,'1003',0)" << 2
            << QStringList{"gone"};
        QTest::newRow("flag changed since") << "update code set bend=5 where ccode='100101'" << 2 << QStringList{"changed"};
        // rowids 3 and 4 happen to fall on 1002 and 100101 again; rowid 2 is now 100201's, and
        // 1001 is found by its code
        QTest::newRow("table rebuilt in another order")
            << "create table c2 as select * from code order by ccode desc; drop table code; alter table c2 rename to code" << 3
            << QStringList();
        // every rowid now finds another row; each code is found once
        QTest::newRow("vacuum after a delete") << "delete from code where ccode='0999'; vacuum" << 3 << QStringList();
    }
    void undoFindsTheVeryRowAfterAWalk()
    {
        QFETCH(QString, meddle);
        QFETCH(int, restored);
        QFETCH(QStringList, kinds);
        // no integer primary key: VACUUM may renumber the rows
        SqliteFixture::run(yearDb(),
                           "create table code(ccode TEXT, bend INTEGER);"
                           "insert into code values('0999',1),('1001',1),('1002',1),('100101',0),('100201',1),('2001',1);");
        const QString before = SqliteFixture::dump(yearDb(), "code");
        const QStringList rowsBefore = rowsOf(yearDb(), "select ccode, bend from code order by ccode");
        const repair::EndFlagRun run = walk();
        QVERIFY2(run.result == repair::RunResult::Completed, qPrintable(run.failure));
        QCOMPARE(run.rowsChanged, 3);
        // the journal holds the three changed rows, and counts the six it looked at
        QCOMPARE(repair::countRows(repair::journalDirectory(), run.journal), 3);
        QCOMPARE(repair::readRepair(repair::journalDirectory(), run.journal).rowsVisited, 6);

        SqliteFixture::run(yearDb(), meddle);
        const QStringList meddled = rowsOf(yearDb(), "select ccode, bend from code order by ccode");
        const ProcessRun undo = n3fix({"--undo", run.journal, "--json"});
        QCOMPARE(undo.status, kinds.isEmpty() ? 0 : 1);
        QCOMPARE(undo.json()["restored"].toInt(), restored);
        QCOMPARE(JournalDriver::kindsLeftAlone(undo), kinds);

        // Each row now holds what it held after the meddling, or, for a restored row, exactly its
        // own flag from before the walk.
        const QStringList now = rowsOf(yearDb(), "select ccode, bend from code order by ccode");
        QCOMPARE(now.size(), meddled.size());
        int changed = 0;
        for (int i = 0; i < now.size(); ++i) {
            if (now[i] == meddled[i])
                continue;
            ++changed;
            QVERIFY2(rowsBefore.contains(now[i]), qPrintable(now[i] + " is no row from before the walk"));
        }
        QCOMPARE(changed, restored);
        if (meddle.isEmpty())
            QCOMPARE(SqliteFixture::dump(yearDb(), "code"), before);
    }

    // The walk journals everything a row it changes holds; undo knows the row only by all of it.
    // When the rowid finds another row, the row is looked for by what it held and put back only
    // when exactly one row holds it all.
    void undoKnowsARowByAllItHeld_data()
    {
        QTest::addColumn<QString>("rows");
        QTest::addColumn<QString>("meddle");
        QTest::addColumn<int>("restored");
        QTest::addColumn<QStringList>("kinds");
        QTest::addColumn<QStringList>("after");  // ccode|cname|bend in rowid order
        // A (rowid 2) is written; after VACUUM rowid 2 is B's, a copy of the same code
        QTest::newRow("duplicate codes, vacuum") << "('0999','x',1),('1001','A',0),('1001','B',1)"
                                                 << "delete from code where ccode='0999'; vacuum" << 1 << QStringList()
                                                 << QStringList{"t:'1001'|t:'A'|i:0", "t:'1001'|t:'B'|i:1"};
        // what its rowid finds is still account 1002, holding the flag the walk wrote: its name
        // changed since, so it is left alone as changed, whoever wrote it
        QTest::newRow("row deleted, another imported in its rowid")
            << "('1001','A',1),('100101','A1',1),('1002','B',0)"
            << "delete from code where ccode='1002'; insert into code(rowid,ccode,cname,bend) values(3,'1002','B2',1)" << 1
            << QStringList{"changed"} << QStringList{"t:'1001'|t:'A'|i:1", "t:'100101'|t:'A1'|i:1", "t:'1002'|t:'B2'|i:1"};
        QTest::newRow("another account imported in its rowid")
            << "('1001','A',1),('100101','A1',1),('1002','B',0)"
            << "delete from code where ccode='1002'; insert into code(rowid,ccode,cname,bend) values(3,'1003','B',1)" << 1
            << QStringList{"gone"} << QStringList{"t:'1001'|t:'A'|i:1", "t:'100101'|t:'A1'|i:1", "t:'1003'|t:'B'|i:1"};
        // rowid 2 still finds a row holding all the first copy held; rowid 3 finds none, and
        // what it held is in two rows
        QTest::newRow("two identical rows, vacuum")
            << "('0999','x',1),('1001','A',0),('1001','A',0)"
            << "delete from code where ccode='0999'; vacuum" << 1 << QStringList{"ambiguous"}
            << QStringList{"t:'1001'|t:'A'|i:1", "t:'1001'|t:'A'|i:0"};
    }
    void undoKnowsARowByAllItHeld()
    {
        QFETCH(QString, rows);
        QFETCH(QString, meddle);
        QFETCH(int, restored);
        QFETCH(QStringList, kinds);
        QFETCH(QStringList, after);
        SqliteFixture::run(yearDb(), "create table code(ccode TEXT, cname TEXT, bend INTEGER); insert into code values" + rows);
        const repair::EndFlagRun run = walk();
        QVERIFY2(run.result == repair::RunResult::Completed, qPrintable(run.failure));
        QCOMPARE(repair::readRepair(repair::journalDirectory(), run.journal).keyColumns, QStringList({"ccode", "cname"}));
        SqliteFixture::run(yearDb(), meddle);
        const ProcessRun undo = n3fix({"--undo", run.journal, "--json"});
        QCOMPARE(undo.status, kinds.isEmpty() ? 0 : 1);
        QCOMPARE(undo.json()["restored"].toInt(), restored);
        QCOMPARE(JournalDriver::kindsLeftAlone(undo), kinds);
        QCOMPARE(rowsOf(yearDb(), "select ccode, cname, bend from code order by rowid"), after);
    }

    // A balance reset on a GL_accsum without an index, then a deleted row and VACUUM: the rowids
    // move to other periods' rows. Undo restores none of them into a wrong row: it finds each by
    // its code and period.
    void undoOfAResetAfterVacuum()
    {
        QString script = "create table code(ccode TEXT, bend INTEGER);"
                         "create table GL_accsum(ccode TEXT, iperiod INTEGER, mb NUMERIC, mc NUMERIC, md NUMERIC);";
        for (int period = 1; period <= 12; ++period)
            script += QStringLiteral("insert into GL_accsum values('1002',%1,%1.5,%1,-%1);").arg(period);
        SqliteFixture::run(yearDb(), script);
        const QString periods = "select iperiod, mb, mc, md from GL_accsum where iperiod<>2 order by iperiod";
        const QStringList before = rowsOf(yearDb(), periods);
        const repair::BalanceResetRun reset = repair::resetBalances("001", "2007", "1002", repair::resetPeriod("9"));
        QVERIFY2(reset.result == repair::RunResult::Completed, qPrintable(reset.failure));
        QCOMPARE(reset.rowsChanged, 4);
        SqliteFixture::run(yearDb(), "delete from GL_accsum where iperiod=2; vacuum");

        const ProcessRun undo = n3fix({"--undo", reset.journal, "--json"});
        QVERIFY2(undo.status == 0, (undo.out + undo.err).constData());
        QCOMPARE(undo.json()["restored"].toInt(), 4);
        QCOMPARE(rowsOf(yearDb(), periods), before);
    }

    // Column names that are SQL words or hold blanks: the reset journals them as key columns and
    // undo finds the rows by them and gives back every amount.
    void columnNamesThatAreNoPlainWords()
    {
        QString script = "create table code(ccode TEXT, bend INTEGER);"
                         "create table GL_accsum(ccode TEXT, iperiod INTEGER, \"group\" TEXT, \"c name\" TEXT,"
                         " mb NUMERIC, mc NUMERIC, md NUMERIC);";
        for (int period = 1; period <= 4; ++period)
            script += QStringLiteral("insert into GL_accsum values('1002',%1,'g','n',%1.5,%1,-%1);").arg(period);
        SqliteFixture::run(yearDb(), script);
        const QString before = SqliteFixture::dump(yearDb(), "GL_accsum");
        const repair::BalanceResetRun reset = repair::resetBalances("001", "2007", "1002", repair::resetPeriod("3"));
        QVERIFY2(reset.result == repair::RunResult::Completed, qPrintable(reset.failure));
        QCOMPARE(reset.rowsChanged, 2);
        undoRestoresAll(reset.journal, 2, "GL_accsum", before);
    }

    // Amounts that are 0 by value but not stored as the integer 0 (0.0 in an untyped column) are
    // rewritten by the reset, so their rows are journaled though not counted as changed; undo
    // then gives back each amount in the form it had.
    void resetJournalsZeroInAnotherForm()
    {
        SqliteFixture::run(yearDb(), "create table code(ccode TEXT, bend INTEGER);"
                                     "create table GL_accsum(ccode TEXT, iperiod INTEGER, mb, mc, md);"
                                     "insert into GL_accsum values('1002',8,1.5,2,3),('1002',9,1.5,2,3),"
                                     "('1002',10,0.0,0.0,0.0),('1002',11,0,0,0),('1002',12,0,0.0,0);");
        const QString before = SqliteFixture::dump(yearDb(), "GL_accsum");
        const repair::BalanceResetRun reset = repair::resetBalances("001", "2007", "1002", repair::resetPeriod("9"));
        QVERIFY2(reset.result == repair::RunResult::Completed, qPrintable(reset.failure));
        QCOMPARE(reset.rowsMatched, 4);
        QCOMPARE(reset.rowsChanged, 1);
        QCOMPARE(repair::countRows(repair::journalDirectory(), reset.journal), 3);  // all but period 11
        QCOMPARE(rowsOf(yearDb(), "select typeof(mb)||typeof(mc)||typeof(md) from GL_accsum where iperiod>=9"),
                 QStringList(4, "t:'integerintegerinteger'"));
        undoRestoresAll(reset.journal, 3, "GL_accsum", before);
    }

    // Flags equal by value to the right one but stored as reals: the walk rewrites them as
    // integers and journals them; undo gives back each real.
    void walkRewritesAFlagInAnotherForm()
    {
        SqliteFixture::run(yearDb(), "create table code(ccode TEXT, bend);"
                                     "insert into code values('1001',0.0),('100101',1.0),('1002',1),('2001',0);");
        const QString before = SqliteFixture::dump(yearDb(), "code");
        const repair::EndFlagRun run = walk();
        QVERIFY2(run.result == repair::RunResult::Completed, qPrintable(run.failure));
        QCOMPARE(run.rowsChanged, 1);
        QCOMPARE(repair::countRows(repair::journalDirectory(), run.journal), 3);
        undoRestoresAll(run.journal, 3, "code", before);
    }

    // Texts imported in another encoding (bytes that are not valid UTF-8) in the columns that
    // find a row: the reset's and the walk's journals keep them as stored, and undo finds the rows
    // by them and gives back every value.
    void textsNotValidUtf8()
    {
        SqliteFixture::run(yearDb(), "create table code(ccode TEXT, cname TEXT, bend INTEGER);"
                                     "insert into code values('1001',cast(x'bde8' as text),1),('100101','a',1),"
                                     "(cast(x'31303032ff' as text),cast(x'c3' as text),0);"
                                     "create table GL_accsum(ccode TEXT, iperiod INTEGER, cbegind_c TEXT, mb, mc, md);"
                                     "insert into GL_accsum values('1002',9,cast(x'bde8' as text),1.5,2,3),"
                                     "('1002',10,cast(x'bde8' as text),4,5,6);");
        QString before = SqliteFixture::dump(yearDb(), "GL_accsum");
        const repair::BalanceResetRun reset = repair::resetBalances("001", "2007", "1002", repair::resetPeriod("9"));
        QVERIFY2(reset.result == repair::RunResult::Completed, qPrintable(reset.failure));
        QCOMPARE(reset.rowsChanged, 2);
        undoRestoresAll(reset.journal, 2, "GL_accsum", before);

        before = SqliteFixture::dump(yearDb(), "code");
        const repair::EndFlagRun run = walk();
        QVERIFY2(run.result == repair::RunResult::Completed, qPrintable(run.failure));
        QCOMPARE(run.rowsChanged, 2);
        undoRestoresAll(run.journal, 2, "code", before);
    }

    // Data as a CSV import leaves it: every column TEXT, periods, amounts and flags as text, codes
    // padded to the width of a char column. The reset zeroes exactly the periods from the one asked
    // for, compared as numbers, finds padded codes, and undo gives back every amount.
    void textColumnsAsImportToolsLeaveThem()
    {
        QString script = "create table code(ccode TEXT, bend TEXT);"
                         "insert into code values('1002','0'),('100201','1'),('1003','1'),('100301','1 '),('2001','0');"
                         "create table GL_accsum(ccode TEXT, iperiod TEXT, mb TEXT, mc TEXT, md TEXT, cbegind_c TEXT);";
        for (int period = 1; period <= 12; ++period) {
            script += QStringLiteral("insert into GL_accsum values('1002      ','%1','%1.50','0','-%1','借');").arg(period);
            script += QStringLiteral("insert into GL_accsum values('100201','%1','7','7','7','借');").arg(period);
        }
        SqliteFixture::run(yearDb(), script);
        const QString before = SqliteFixture::dump(yearDb(), "GL_accsum");

        const repair::BalanceResetRun reset = repair::resetBalances("001", "2007", "1002", repair::resetPeriod("9"));
        QVERIFY2(reset.result == repair::RunResult::Completed, qPrintable(reset.failure));
        QCOMPARE(reset.rowsMatched, 4);
        QCOMPARE(rowsOf(yearDb(), "select iperiod from GL_accsum where mb='0' order by rowid"),
                 QStringList({"t:'9'", "t:'10'", "t:'11'", "t:'12'"}));
        QCOMPARE(rowsOf(yearDb(), "select count(*) from GL_accsum where ccode='100201' and mb='7'"), QStringList{"i:12"});

        const ProcessRun undo = n3fix({"--undo", reset.journal, "--json"});
        QCOMPARE(undo.status, 0);
        QCOMPARE(undo.json()["restored"].toInt(), 4);
        QCOMPARE(SqliteFixture::dump(yearDb(), "GL_accsum"), before);

        // Flags kept as text are compared by value: only 1003 (a parent) and 2001 are wrong. The
        // walk writes every flag as a number, so undo gives back each text as it was, '1 ' too.
        const QString codesBefore = SqliteFixture::dump(yearDb(), "code");
        const ProcessRun check = n3fix({"--check", "--json"});
        QCOMPARE(check.status, 1);
        QCOMPARE(check.json()[0]["wrong"].toInt(), 2);
        const repair::EndFlagRun run = walk();
        QCOMPARE(run.rowsChanged, 2);
        QCOMPARE(n3fix({"--check"}).status, 0);
        QCOMPARE(n3fix({"--undo", run.journal}).status, 0);
        QCOMPARE(SqliteFixture::dump(yearDb(), "code"), codesBefore);
    }

    // A NULL code with a wrong flag is reported with the code null, not as an empty text, which is
    // another code (the empty code begins every code, so its flag is 0).
    void nullCodeStaysNullInTheCheck()
    {
        SqliteFixture::run(yearDb(),
                           "create table code(ccode TEXT, bend INTEGER); insert into code values(null,0),('',1),('1001',1);");
        const ProcessRun check = n3fix({"--check", "--json"});
        QCOMPARE(check.status, 1);
        const QJsonArray wrong = check.json()[0]["wrong_codes"].toArray();
        QCOMPARE(wrong.size(), 2);
        QVERIFY(wrong[0]["code"].isNull());
        QCOMPARE(wrong[1]["code"].toString(QStringLiteral("not a text")), QString());
    }

    // A WITHOUT ROWID chart whose primary key is not the code: rows are found by the key, the walk
    // and undo each touch exactly their rows, and the journal names the key.
    void withoutRowidTableFoundByItsPrimaryKey()
    {
        SqliteFixture::run(yearDb(), "create table code(id INTEGER PRIMARY KEY, ccode TEXT, bend INTEGER) without rowid;"
                                     "insert into code values(10,'1001',1),(20,'100101',0),(30,'1002',0),(40,'1001',1);");
        const repair::EndFlagRun run = walk();
        QVERIFY2(run.result == repair::RunResult::Completed, qPrintable(run.failure));
        QCOMPARE(rowsOf(yearDb(), "select id, bend from code order by id"),
                 QStringList({"i:10|i:0", "i:20|i:1", "i:30|i:1", "i:40|i:0"}));
        const repair::RepairRecord record = repair::readRepair(repair::journalDirectory(), run.journal);
        QCOMPARE(record.rowidName, QStringLiteral("id"));
        SqliteFixture::run(yearDb(), "update code set bend=9 where id=40");  // one copy of 1001 changed since
        const ProcessRun undo = n3fix({"--undo", run.journal, "--json"});
        QCOMPARE(undo.status, 1);
        QCOMPARE(undo.json()["restored"].toInt(), 3);
        QCOMPARE(rowsOf(yearDb(), "select id, bend from code order by id"),
                 QStringList({"i:10|i:1", "i:20|i:0", "i:30|i:0", "i:40|i:9"}));
    }

    // A WITHOUT ROWID chart with a composite primary key: the walk writes each row by its key and
    // original values, and journals the key, by which undo finds the rows again.
    void withoutRowidTableWithACompositeKey()
    {
        SqliteFixture::run(yearDb(), "create table code(iyear INTEGER, ccode TEXT, bend INTEGER, primary key(iyear, ccode))"
                                     " without rowid; insert into code values(2007,'1001',1),(2007,'100101',0),(2007,'1002',0);");
        const repair::EndFlagRun run = walk();
        QVERIFY2(run.result == repair::RunResult::Completed, qPrintable(run.failure));
        QCOMPARE(rowsOf(yearDb(), "select bend from code order by ccode"), QStringList({"i:0", "i:1", "i:1"}));
        const repair::RepairRecord record = repair::readRepair(repair::journalDirectory(), run.journal);
        QCOMPARE(record.rowidName + '|' + record.keyColumns.join(','), QStringLiteral("|ccode,iyear"));
        const ProcessRun undo = n3fix({"--undo", run.journal, "--json"});
        QCOMPARE(undo.status, 0);
        QCOMPARE(undo.json()["restored"].toInt(), 3);
        QCOMPARE(rowsOf(yearDb(), "select bend from code order by ccode"), QStringList({"i:1", "i:0", "i:0"}));
    }

    // Undo journals only the rows it restores, so undoing it changes nothing else; an undo run a
    // second time says by which undo the repair was undone, changes nothing and writes no journal.
    void undoOnceOnly()
    {
        SqliteFixture::run(yearDb(), "create table code(ccode TEXT, bend INTEGER);"
                                     "insert into code values('1001',1),('100101',1),('1002',1),('2001',0);");
        const repair::EndFlagRun run = walk();
        QCOMPARE(run.rowsChanged, 2);
        const ProcessRun undo = n3fix({"--undo", run.journal, "--json"});
        QCOMPARE(undo.status, 0);
        const QString undoId = undo.json()["journal"].toString();
        QCOMPARE(repair::countRows(repair::journalDirectory(), undoId), 2);

        const QStringList journals = QDir(repair::journalDirectory()).entryList({"*.journal"});
        const ProcessRun again = n3fix({"--undo", run.journal, "--json"});
        QCOMPARE(again.status, 2);
        QCOMPARE(again.json()["undone_by"].toString(), undoId);
        QVERIFY(again.err.contains(("已由 " + undoId + " 撤销过").toUtf8()));
        QCOMPARE(QDir(repair::journalDirectory()).entryList({"*.journal"}), journals);
        const QJsonArray listed = n3fix({"--journal", "--json"}).json().array();
        QCOMPARE(listed[1]["undone_by"].toString(), undoId);

        // The undo undone: the walk's flags again, and the walk may be undone once more.
        SqliteFixture::run(yearDb(), "insert into code values('3001',7)");  // a row nobody repaired
        QCOMPARE(n3fix({"--undo", undoId}).status, 0);
        QCOMPARE(rowsOf(yearDb(), "select bend from code order by rowid"), QStringList({"i:0", "i:1", "i:1", "i:1", "i:7"}));
        QCOMPARE(n3fix({"--undo", run.journal}).status, 0);
    }

    // A row the reset cleared whose other column (me) another program changed since: at its rowid
    // it is still that account's row of that period, holding the zeros the reset wrote. Undo leaves
    // it alone as changed, naming the column, and gives the other rows back.
    void anotherColumnChangedSince()
    {
        SqliteFixture::run(yearDb(),
                           "create table code(ccode TEXT, bend INTEGER);"
                           "create table GL_accsum(ccode TEXT, iperiod INTEGER, mb, mc, md, me TEXT);"
                           "insert into GL_accsum values('1002',9,1.5,2,3,'a'),('1002',10,4,5,6,'b'),('1002',11,7,8,9,'c');");
        const repair::BalanceResetRun reset = repair::resetBalances("001", "2007", "1002", repair::resetPeriod("9"));
        QVERIFY2(reset.result == repair::RunResult::Completed, qPrintable(reset.failure));
        SqliteFixture::run(yearDb(), "update GL_accsum set me='x' where iperiod=10");
        const ProcessRun undo = n3fix({"--undo", reset.journal, "--json"});
        QCOMPARE(undo.status, 1);
        QCOMPARE(undo.json()["restored"].toInt(), 2);
        QCOMPARE(JournalDriver::kindsLeftAlone(undo), QStringList{"changed"});
        QCOMPARE(undo.json()["left_alone"][0]["reason"].toString(), QStringLiteral("修复之后这条记录的字段 me 已被改动"));
        QCOMPARE(rowsOf(yearDb(), "select iperiod, mb, mc, md, me from GL_accsum order by rowid"),
                 QStringList({"i:9|f:1.5|i:2|i:3|t:'a'", "i:10|i:0|i:0|i:0|t:'x'", "i:11|i:7|i:8|i:9|t:'c'"}));
    }

    // A trigger on GL_accsum that changes another account's row with each row the reset clears:
    // the reset says so, naming the trigger (exit 1), and so does undo, which gives back the rows
    // the reset journaled; the other account's row is as the trigger left it, twice over.
    void triggerWritesAnotherAccount()
    {
        SqliteFixture::run(yearDb(),
                           "create table code(ccode TEXT, bend INTEGER);"
                           "create table GL_accsum(ccode TEXT, iperiod INTEGER, mb, mc, md);"
                           "insert into GL_accsum values('1002',9,1.5,2,3),('1002',10,4,5,6),('2001',9,0,0,0),('2001',10,0,0,0);"
                           "create trigger mirror after update on GL_accsum when new.ccode='1002'"
                           " begin update GL_accsum set mb=mb+1 where ccode='2001' and iperiod=new.iperiod; end;");
        const QStringList reset{"--reset-balance", "--account-set", "001",           "--year", "2007",
                                "--code",          "1002",          "--from-period", "9",      "--json"};
        const ProcessRun cleared = n3fix(reset);
        QCOMPARE(cleared.status, 1);
        QVERIFY2(cleared.err.contains("数据表 GL_accsum 上有触发器 mirror"), cleared.err.constData());
        QVERIFY(cleared.json()["trigger_notice"].toString().contains("撤销也不能恢复"));
        const ProcessRun undo = n3fix({"--undo", cleared.json()["journal"].toString(), "--json"});
        QCOMPARE(undo.status, 1);
        QCOMPARE(undo.json()["restored"].toInt(), 2);
        QVERIFY(undo.json()["left_alone"].toArray().isEmpty());
        QVERIFY2(undo.err.contains("触发器 mirror"), undo.err.constData());
        QCOMPARE(rowsOf(yearDb(), "select ccode, iperiod, mb, mc, md from GL_accsum order by rowid"),
                 QStringList({"t:'1002'|i:9|f:1.5|i:2|i:3", "t:'1002'|i:10|i:4|i:5|i:6", "t:'2001'|i:9|i:2|i:0|i:0",
                              "t:'2001'|i:10|i:2|i:0|i:0"}));
    }

    // The chart as a view whose INSTEAD OF trigger writes the table beneath: the walk writes every
    // flag and says the view's trigger writes them; undo, whose row counts the engine can't give
    // through a view, reads its rows again and gives back every flag.
    void chartIsAViewWithATrigger()
    {
        SqliteFixture::run(yearDb(), "create table chart(ccode TEXT, bend INTEGER);"
                                     "insert into chart values('1001',1),('100101',0),('1002',0);"
                                     "create view code as select * from chart;"
                                     "create trigger pass instead of update on code"
                                     " begin update chart set bend=new.bend where ccode=old.ccode; end;");
        const QString before = SqliteFixture::dump(yearDb(), "chart");
        const ProcessRun walk = n3fix({"--repair-end-flags", "--json"});
        QCOMPARE(walk.status, 1);
        QVERIFY2(walk.err.contains("code 是视图，由触发器 pass 写入"), walk.err.constData());
        QCOMPARE(rowsOf(yearDb(), "select bend from chart order by rowid"), QStringList({"i:0", "i:1", "i:1"}));
        const ProcessRun undo = n3fix({"--undo", walk.json()[0]["journal"].toString(), "--json"});
        QCOMPARE(undo.status, 1);  // the notice again
        QCOMPARE(undo.json()["restored"].toInt(), 3);
        QCOMPARE(SqliteFixture::dump(yearDb(), "chart"), before);
    }

    // A trigger that swallows the update (RAISE(IGNORE), or an INSTEAD OF trigger of a view that
    // does nothing): the walk stops there and says the database ignored the update, not that
    // another user changed the row. A view whose trigger does write the row is walked to its end.
    void ignoredUpdateIsNamed_data()
    {
        QTest::addColumn<QString>("schema");
        QTest::addColumn<int>("written");  // -1: the walk completes
        QTest::newRow("trigger raises ignore")
            << "create table code(ccode TEXT, bend INTEGER); insert into code values('1001',0),('1002',0);"
               "create trigger swallow before update on code when old.ccode='1002' begin select raise(ignore); end;"
            << 1;
        QTest::newRow("view whose trigger does nothing")
            << "create table chart(ccode TEXT, bend INTEGER); insert into chart values('1001',0),('1002',0);"
               "create view code as select * from chart;"
               "create trigger swallow instead of update on code begin select 1; end;"
            << 0;
        QTest::newRow("view whose trigger writes")
            << "create table chart(ccode TEXT, bend INTEGER); insert into chart values('1001',0),('1002',0);"
               "create view code as select * from chart;"
               "create trigger pass instead of update on code begin update chart set bend=new.bend where ccode=old.ccode; end;"
            << -1;
    }
    void ignoredUpdateIsNamed()
    {
        QFETCH(QString, schema);
        QFETCH(int, written);
        SqliteFixture::run(yearDb(), schema);
        const repair::EndFlagRun run = walk();
        if (written < 0) {
            QVERIFY2(run.result == repair::RunResult::Completed, qPrintable(run.failure));
            return;
        }
        QCOMPARE(run.result, repair::RunResult::Failed);
        QVERIFY2(run.failure.startsWith("数据库没有执行这次更新"), qPrintable(run.failure));
        QCOMPARE(run.rowsWritten, written);
        // the journal says where the walk stopped
        const repair::RepairRecord record = repair::readRepair(repair::journalDirectory(), run.journal);
        QCOMPARE(record.message, QStringLiteral("科目 %1：").arg(1001 + written) + run.failure);
    }

    // The journal is read a page at a time: pages put together are the whole journal, in order.
    void journalReadInPages()
    {
        SqliteFixture::run(yearDb(), "create table code(ccode TEXT, ccode_name TEXT, bend INTEGER); with recursive n(x) as"
                                     " (select 1 union all select x+1 from n where x<2500)"
                                     " insert into code select printf('%04d', x), 'name ' || x, 7 from n order by random();");
        const repair::EndFlagRun run = walk();
        QVERIFY2(run.result == repair::RunResult::Completed, qPrintable(run.failure));
        const QString directory = repair::journalDirectory();
        QCOMPARE(repair::countRows(directory, run.journal), 2500);
        QStringList codes;
        for (qint64 offset = 0; offset < 2600; offset += 999)
            for (const repair::JournalRow &row : repair::readRows(directory, run.journal, offset, 999)) {
                codes << row.key.value(0).toString();
                // each row is known by all it holds, read with the others of its batch
                QCOMPARE(row.key.value(1).toString(), "name " + QString::number(codes.last().toInt()));
            }
        QCOMPARE(codes.size(), 2500);
        QCOMPARE(codes.first(), QStringLiteral("0001"));
        QCOMPARE(codes.last(), QStringLiteral("2500"));
        QVERIFY(std::is_sorted(codes.begin(), codes.end()));
        QVERIFY(repair::readRows(directory, run.journal, 2500, 10).isEmpty());
        QVERIFY(!repair::readRepair(directory, run.journal).running);

        // --journal ID streams the same rows, as text and as one JSON document
        const ProcessRun text = n3fix({"--journal", run.journal});
        QCOMPARE(text.status, 0);
        QCOMPARE(text.out.count("→"), 2500);
        const ProcessRun json = n3fix({"--journal", run.journal, "--json"});
        QCOMPARE(json.json()["rows"].toArray().size(), 2500);
        QCOMPARE(json.json()["rows_visited"].toInt(), 2500);
        QCOMPARE(json.json()["rows"][2499]["key"]["ccode"].toString(), QStringLiteral("2500"));
    }

    // A journal written before the count of rows visited, the rows' places and the seal were kept
    // is still listed and read; the count reads as not recorded. Nothing shows it was not edited
    // since, so undo refuses it, naming the file, and writes nothing.
    void journalOfAnEarlierVersion()
    {
        SqliteFixture::run(yearDb(),
                           "create table code(ccode TEXT, bend INTEGER); insert into code values('1001',0),('100101',1);");
        const QString directory = repair::journalDirectory();
        QVERIFY(QDir().mkpath(directory));
        SqliteFixture::run(QDir(directory).filePath("20260101-000000-000.journal"),
                           "create table repair(id, time, database, engine, repair, account_set, year, code, period, undoes,"
                           " table_name, rowid_name, changed_columns, key_columns, outcome, rows_done, rows_changed, message,"
                           " journal_mode, settings_pending);"
                           "insert into repair values('20260101-000000-000','2026-01-01T00:00:00.000+08:00','LQDATA_001_2007',"
                           "'embedded','end-flags','001','2007','','','','code','rowid','[\"bend\"]','[\"ccode\"]','completed',"
                           "2,1,null,null,0);"
                           "create table row(seq integer primary key, row_id, old0, new0, key0);"
                           "insert into row values(null,1,1,0,'1001'),(null,2,1,1,'100101');");
        const QList<repair::RepairRecord> repairs = repair::listRepairs(directory);
        QCOMPARE(repairs.size(), 1);
        QCOMPARE(repairs[0].rowsVisited, -1);
        QCOMPARE(repairs[0].rowsChanged, 1);
        QCOMPARE(repair::countRows(directory, repairs[0].id), 2);
        const ProcessRun undo = n3fix({"--undo", repairs[0].id, "--json"});
        QCOMPARE(undo.status, 2);
        QVERIFY2(undo.json()["error"].toString().contains(
                     QDir::toNativeSeparators(QDir(directory).filePath("20260101-000000-000.journal")) + " 没有校验记录"),
                 undo.out.constData());
        QCOMPARE(rowsOf(yearDb(), "select bend from code order by rowid"), QStringList({"i:0", "i:1"}));
        QCOMPARE(QDir(directory).entryList({"*.journal"}), QStringList({"20260101-000000-000.journal"}));
        QVERIFY_THROWS_EXCEPTION(db::DbError, repair::readRows(directory, "20260101-000000-001", 0, 10));

        // A reset of that version that failed, recorded as failed: one transaction, so it is read
        // as rolled back, and its undo is refused.
        SqliteFixture::run(QDir(directory).filePath("20260101-000001-000.journal"),
                           "create table repair(id, time, database, engine, repair, account_set, year, code, period, undoes,"
                           " table_name, rowid_name, changed_columns, key_columns, outcome, rows_done, rows_changed, message,"
                           " journal_mode, settings_pending);"
                           "insert into repair values('20260101-000001-000','2026-01-01T00:00:01.000+08:00','LQDATA_001_2007',"
                           "'embedded','balance-reset','001','2007','1002','9','','GL_accsum','rowid','[\"mb\",\"mc\",\"md\"]',"
                           "'[\"ccode\",\"iperiod\"]','failed',0,0,'database is locked',null,0);"
                           "create table row(seq integer primary key, row_id, old0, new0, old1, new1, old2, new2, key0, key1);");
        QCOMPARE(repair::readRepair(directory, "20260101-000001-000").outcome, repair::Outcome::RolledBack);
        const ProcessRun refused = n3fix({"--undo", "20260101-000001-000", "--json"});
        QCOMPARE(refused.status, 2);
        QVERIFY2(refused.json()["error"].toString().contains("没有改动任何记录"), refused.out.constData());
    }
};

QTEST_MAIN(TrustedUndo)
#include "tst_trusted_undo.moc"
