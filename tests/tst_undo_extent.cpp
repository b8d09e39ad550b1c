// Undo puts back only what a repair really wrote, whatever the journal could record of its end: a
// walk completed, stopped or failed at a row, or killed; a reset or an undo that rolled back; and
// it follows no journal edited since its repair wrote it, while one an earlier version sealed
// without who ran it is undone. After each, another program or a later repair changes rows beyond what
// the repair wrote, and undo (the command line, a real process) must touch none of them. Two undos
// of one repair at once, and undos made under other time zones, come out as if made one by one.
#include "db/DbError.h"
#include "demo/DemoData.h"
#include "repair/EndFlagRepair.h"
#include "repair/Journal.h"
#include "repair/JournalFormat.h"
#include "repair/JournalLock.h"
#include "repair/JournalReader.h"
#include "support/DataFiles.h"
#include "support/DataDirectoryTest.h"
#include "support/FormDriver.h"
#include "support/JournalDriver.h"
#include "support/ProcessRun.h"
#include "support/SqliteFixture.h"
#include "support/TestUser.h"

#include <QtTest>

namespace {

// Ten accounts, none the beginning of another: the walk gives every one the flag 1. They are
// stored with the flag 9, so a row's flag tells who wrote it last.
const int Codes = 10;
const QString Chart = "create table code(ccode TEXT, ccode_name TEXT, bend INTEGER);"
                      "with recursive n(x) as (select 1 union all select x+1 from n where x<10)"
                      " insert into code select 1000+x, 'name ' || x, 9 from n;";

}  // namespace

class UndoExtent : public DataDirectoryTest {
    Q_OBJECT
    QString yearDb() const { return yearDatabase(m_dir->path()); }

    ProcessRun n3fix(const QStringList &arguments,
                     const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment())
    {
        return runOnData(N3FIX, m_dir->path(), arguments, environment);
    }
    // The flags of the chart in code order, one digit each: "1111999999".
    QString flags() const
    {
        return SqliteFixture::select(yearDb(), "select group_concat(bend, '') from (select bend from code order by ccode)")
            .section('\'', 1, 1);
    }
    // A later walk, as a real process, that completes.
    void laterWalk()
    {
        const ProcessRun walk = n3fix({"--repair-end-flags", "--json"});
        QVERIFY2(walk.status == 0, (walk.out + walk.err).constData());
    }
    // Repair `id` as the listing gives it.
    QJsonObject listed(const QString &id)
    {
        for (const QJsonValue repair : n3fix({"--journal", "--json"}).json().array())
            if (repair["id"].toString() == id)
                return repair.toObject();
        return {};
    }
    QString listedOutcome(const QString &id) { return listed(id)["outcome"].toString(); }
    // What an undo says of the rows journaled: "journaled restored already_old not_written
    // left_alone", the last four adding up to the first.
    static QString tally(const ProcessRun &undo)
    {
        const QJsonObject json = undo.json().object();
        return QStringLiteral("%1 %2 %3 %4 %5")
            .arg(json["journaled"].toInt(-1))
            .arg(json["restored"].toInt(-1))
            .arg(json["already_old"].toInt(-1))
            .arg(json["not_written"].toInt(-1))
            .arg(json["left_alone"].toArray().size());
    }
    // A walk in this process that writes `rows` rows and stops; its journal's id.
    QString walkStoppedAfter(int rows)
    {
        JournalDriver::Walk progress(rows);
        const repair::EndFlagRun run = repair::repairEndFlags("001", "2007", progress);
        return run.journal;
    }

private slots:
    void init()
    {
        useFreshDataDirectory();
        writeSystemDatabase(systemDatabase(m_dir->path()), {{"001", "演示", {2007}, {}}});
        SqliteFixture::run(yearDb(), Chart);
    }
    void cleanup() { removeDataDirectory(); }

    // Completed: every journaled row was written. Another program then changes the flag of one,
    // the name of another, puts a third back as it was and adds an account; undo puts back the
    // seven others, touches none of those, and accounts for all ten rows, in the books' words.
    void completedWalk()
    {
        laterWalk();
        const QString walk = n3fix({"--journal", "--json"}).json()[0]["id"].toString();
        SqliteFixture::run(yearDb(), "update code set bend=7 where ccode='1003'; update code set ccode_name='renamed'"
                                     " where ccode='1002'; update code set bend=9 where ccode='1005';"
                                     " insert into code values('1011','new',5);");
        const ProcessRun undo = n3fix({"--undo", walk});
        QCOMPARE(undo.status, 1);
        QVERIFY2(undo.out.startsWith(("已撤销修复 " + walk + "：恢复 7 行，1 行已是修复前的值，未恢复 2 行。").toUtf8()),
                 undo.out.constData());
        QVERIFY2(undo.out.contains("  未恢复 1002：修复之后这条记录的字段 科目名称 已被改动（修复前 9，修复写入 1"),
                 undo.out.constData());
        QCOMPARE(flags(), QStringLiteral("91799999995"));
    }

    // Stopped after 4 rows: the walk wrote rows 1 to 4, and a later walk the other six. Undo of the
    // first puts back its four and leaves the later walk's rows as they are.
    void stoppedWalk()
    {
        const QString stopped = walkStoppedAfter(4);
        QCOMPARE(flags(), QStringLiteral("1111999999"));
        QCOMPARE(listedOutcome(stopped), QStringLiteral("stopped"));
        laterWalk();
        const ProcessRun undo = n3fix({"--undo", stopped, "--json"});
        QCOMPARE(undo.status, 0);
        QCOMPARE(tally(undo), QStringLiteral("10 4 0 6 0"));
        QCOMPARE(flags(), QStringLiteral("9999111111"));
    }

    // Failed at its 5th row (a trigger refused it): it wrote four. Another program then changes
    // the 8th and a later walk writes the rest; undo of the failed walk puts back only its four.
    void failedWalk()
    {
        SqliteFixture::run(yearDb(), "create trigger refuse before update on code when old.ccode='1005'"
                                     " begin select raise(abort, 'refused'); end;");
        const ProcessRun failed = n3fix({"--repair-end-flags", "--json"});
        QCOMPARE(failed.status, 2);
        const QString walk = failed.json()[0]["journal"].toString();
        QCOMPARE(listedOutcome(walk), QStringLiteral("failed"));
        SqliteFixture::run(yearDb(), "drop trigger refuse; update code set bend=7 where ccode='1008';");
        laterWalk();
        QCOMPARE(flags(), QStringLiteral("1111111111"));
        const ProcessRun undo = n3fix({"--undo", walk, "--json"});
        QCOMPARE(undo.status, 0);
        QCOMPARE(tally(undo), QStringLiteral("10 4 0 6 0"));
        QCOMPARE(flags(), QStringLiteral("9999111111"));
    }

    // Killed after its 4th row: its journal never says how far it got. A later walk writes the
    // other six, another program changes the 2nd; undo puts back rows 1, 3 and 4, and lists the
    // 2nd as changed and the six as written by the later walk.
    void killedWalk()
    {
        QProcess runner;
        runner.start(N3_WALK_RUNNER, {m_dir->path(), "2007", "1004"});
        QVERIFY(runner.waitForReadyRead(60000) && runner.readAll() == "holding\n");
        runner.kill();
        QVERIFY(runner.waitForFinished(60000));
        QCOMPARE(flags(), QStringLiteral("1111999999"));
        const QString walk = n3fix({"--journal", "--json"}).json()[0]["id"].toString();
        QCOMPARE(listedOutcome(walk), QStringLiteral("stopped"));  // never recorded
        laterWalk();
        SqliteFixture::run(yearDb(), "update code set bend=7 where ccode='1002'");
        const ProcessRun undo = n3fix({"--undo", walk, "--json"});
        QCOMPARE(undo.status, 1);
        QCOMPARE(tally(undo), QStringLiteral("10 3 0 0 7"));
        QCOMPARE(JournalDriver::kindsLeftAlone(undo), QStringList({"changed"}) + QStringList(6, "written_later"));
        QVERIFY2(undo.out.contains("之后的修复"), undo.out.constData());
        QCOMPARE(flags(), QStringLiteral("9799111111"));
    }

    // A journal edited by hand after its walk completed: an old value, a row deleted or added, the
    // outcome rewritten to "stopped after 1 row" or erased to read as a walk that died. Each is
    // refused, naming the journal file, and nothing is written: no flag, no undo journal.
    void editedJournalRefused_data()
    {
        QTest::addColumn<QString>("edit");
        QTest::newRow("old value") << "update row set old0=5 where seq=1";
        QTest::newRow("row deleted") << "delete from row where seq=2";
        QTest::newRow("row added") << "insert into row(row_id, old0, new0, key0) values(11, 9, 1, '1011')";
        QTest::newRow("stopped after 1 row") << "update repair set outcome='stopped', rows_done=1";
        QTest::newRow("end erased") << "update repair set outcome=null, rows_done=null, rows_changed=null";
        QTest::newRow("someone else named") << "update repair set user_name='someone', host_name='elsewhere'";
        QTest::newRow("who and where taken out")
            << "alter table repair drop column user_name; alter table repair drop column host_name";
    }
    void editedJournalRefused()
    {
        QFETCH(QString, edit);
        laterWalk();
        const QString walk = n3fix({"--journal", "--json"}).json()[0]["id"].toString();
        const QString journal = repair::journalformat::journalPath(repair::journalDirectory(), walk);
        SqliteFixture::run(journal, edit);
        const QStringList journals = QDir(repair::journalDirectory()).entryList({"*.journal"});
        const ProcessRun undo = n3fix({"--undo", walk, "--json"});
        QCOMPARE(undo.status, 2);
        QCOMPARE(undo.json()["restored"].toInt(), 0);
        QVERIFY2(undo.json()["error"].toString().contains(QDir::toNativeSeparators(journal)), undo.out.constData());
        QCOMPARE(flags(), QStringLiteral("1111111111"));
        QCOMPARE(QDir(repair::journalDirectory()).entryList({"*.journal"}), journals);
    }

    // A journal an earlier version wrote, sealed but without who ran the walk or where: listed with
    // a dash for each, as JSON with null, and undone; the undo records who ran it. Naming someone in
    // it afterwards breaks its seal like any other change.
    void journalOfAnEarlierVersion()
    {
        SqliteFixture::run(yearDb(), "drop table code; create table code(ccode TEXT, bend INTEGER);"
                                     "insert into code values('1001',0),('100101',1);");
        const QString id = JournalDriver::writeJournalOfAnEarlierVersion(repair::journalDirectory());
        const ProcessRun text = n3fix({"--journal", id});
        QVERIFY2(QString::fromUtf8(text.out).section('\n', 0, 0).contains("  操作人 —（计算机 —）  改动 2 行  完成"),
                 text.out.constData());
        const QJsonObject json = n3fix({"--journal", id, "--json"}).json().object();
        QCOMPARE(json["rows"].toArray().size(), 2);
        QVERIFY(json["user"].isNull() && json["host"].isNull());

        const ProcessRun undo = n3fix({"--undo", id, "--json"});
        QVERIFY2(undo.status == 0, (undo.out + undo.err).constData());
        QCOMPARE(flags(), QStringLiteral("10"));
        const QJsonObject undoListed = listed(undo.json()["journal"].toString());
        QCOMPARE(undoListed["user"].toString(), TestUser::loginName());
        QCOMPARE(undoListed["host"].toString(), TestUser::hostName());
        QVERIFY(listed(id)["user"].isNull());

        SqliteFixture::run(repair::journalformat::journalPath(repair::journalDirectory(), id),
                           "alter table repair add column user_name; update repair set user_name='someone'");
        QVERIFY_THROWS_EXCEPTION(db::DbError, repair::checkJournal(repair::journalDirectory(), id));
    }

    // Rolled back: a reset refused by a trigger wrote nothing. Another program then clears the
    // amounts of one of its periods; undo of the reset is refused and changes nothing, the listing
    // says nothing was changed. A walk that failed at its first row wrote nothing either.
    void nothingWrittenNothingUndone()
    {
        SqliteFixture::run(yearDb(), "create table GL_accsum(ccode TEXT, iperiod INTEGER, mb, mc, md);"
                                     "insert into GL_accsum values('1002',9,1.5,2,3),('1002',10,4,5,6);"
                                     "create trigger refuse before update on GL_accsum begin select raise(abort, 'refused'); end;"
                                     "create trigger refuse_code before update on code begin select raise(abort, 'refused'); end;");
        const ProcessRun reset =
            n3fix({"--reset-balance", "--account-set", "001", "--year", "2007", "--code", "1002", "--from-period", "9", "--json"});
        QCOMPARE(reset.status, 2);
        const QString resetId = reset.json()["journal"].toString();
        QCOMPARE(listedOutcome(resetId), QStringLiteral("rolled-back"));
        QVERIFY(n3fix({"--journal"}).out.contains("失败，未改动任何记录：refused"));
        const ProcessRun walk = n3fix({"--repair-end-flags", "--json"});
        QCOMPARE(walk.status, 2);
        const QString walkId = walk.json()[0]["journal"].toString();
        SqliteFixture::run(yearDb(), "drop trigger refuse; drop trigger refuse_code;"
                                     "update GL_accsum set mb=0, mc=0, md=0 where iperiod=10; update code set bend=1;");
        const QString before = SqliteFixture::dumpAll(yearDb());
        const QStringList journals = QDir(repair::journalDirectory()).entryList({"*.journal"});
        for (const QString &id : {resetId, walkId}) {
            const ProcessRun undo = n3fix({"--undo", id, "--json"});
            QCOMPARE(undo.status, 2);
            QVERIFY2(undo.json()["error"].toString().contains("没有改动任何记录"), undo.out.constData());
        }
        QCOMPARE(SqliteFixture::dumpAll(yearDb()), before);
        QCOMPARE(QDir(repair::journalDirectory()).entryList({"*.journal"}), journals);
    }

    // An undo that failed (a trigger refused its write) rolled back: it is not listed as undoing
    // the walk, and can't itself be undone, which would write the walk's flags again; the walk
    // can still be undone.
    void failedUndoIsNoUndo()
    {
        laterWalk();
        const QString walk = n3fix({"--journal", "--json"}).json()[0]["id"].toString();
        SqliteFixture::run(yearDb(), "create trigger refuse before update on code begin select raise(abort, 'refused'); end;");
        const ProcessRun failed = n3fix({"--undo", walk, "--json"});
        QCOMPARE(failed.status, 2);
        const QString failedUndo = failed.json()["journal"].toString();
        QCOMPARE(listedOutcome(failedUndo), QStringLiteral("rolled-back"));
        SqliteFixture::run(yearDb(), "drop trigger refuse; update code set bend=5 where ccode='1001';");
        QCOMPARE(n3fix({"--undo", failedUndo}).status, 2);
        QCOMPARE(flags(), QStringLiteral("5111111111"));
        const ProcessRun undo = n3fix({"--undo", walk, "--json"});
        QCOMPARE(undo.status, 1);  // 1001 changed since
        QCOMPARE(flags(), QStringLiteral("5999999999"));
    }

    // Two undos of one repair started together, again and again: one puts the rows back, the
    // other is refused (exit 2) and changes nothing, and the listing names the one that did it.
    void twoUndosAtOnce()
    {
        laterWalk();
        const QString walk = n3fix({"--journal", "--json"}).json()[0]["id"].toString();
        const QString walked = SqliteFixture::dumpAll(yearDb());
        for (int round = 0; round < 8; ++round) {
            QProcess first, second;
            const QStringList undo{"--undo", walk, "--json", "--data-dir", m_dir->path()};
            first.start(N3FIX, undo);
            second.start(N3FIX, undo);
            QVERIFY(first.waitForFinished(60000) && second.waitForFinished(60000));
            const QList<int> statuses{first.exitCode(), second.exitCode()};
            QVERIFY2(statuses.count(0) == 1 && statuses.count(2) == 1,
                     qPrintable(QStringLiteral("round %1: %2 and %3").arg(round).arg(statuses[0]).arg(statuses[1])));
            QCOMPARE(flags(), QString(Codes, '9'));
            const QJsonDocument done = QJsonDocument::fromJson((first.exitCode() == 0 ? first : second).readAllStandardOutput());
            QCOMPARE(listed(walk)["undone_by"].toString(), done["journal"].toString());
            // the walk back, by undoing the undo, for the next round
            QCOMPARE(n3fix({"--undo", done["journal"].toString()}).status, 0);
            QCOMPARE(SqliteFixture::dumpAll(yearDb()), walked);
        }
    }

    // While another process holds the undo lock of a repair, its undo is refused at once.
    void undoRefusedWhileAnotherUndoes()
    {
        laterWalk();
        const QString walk = n3fix({"--journal", "--json"}).json()[0]["id"].toString();
        repair::JournalLock undoing;
        QVERIFY(undoing.holdUndoOf(repair::journalformat::journalPath(repair::journalDirectory(), walk)));
        const ProcessRun refused = n3fix({"--undo", walk, "--json"});
        QCOMPARE(refused.status, 2);
        QVERIFY2(refused.json()["error"].toString().contains("正由另一个撤销处理"), refused.out.constData());
        QCOMPARE(flags(), QString(Codes, '1'));
        undoing.release();
        QCOMPARE(n3fix({"--undo", walk}).status, 0);
    }

    // A walk, its undo, and the undo of that undo, each made under another time zone (the last,
    // in UTC, has the id of an earlier hour): the walk is listed as not undone, and can be undone
    // again. The listing goes by the moment each began.
    void undoChainsAcrossTimeZones()
    {
        QProcessEnvironment east = QProcessEnvironment::systemEnvironment(), utc = east;
        east.insert("TZ", "CST-8");
        utc.insert("TZ", "UTC0");
        QCOMPARE(n3fix({"--repair-end-flags"}, east).status, 0);
        const QString walk = n3fix({"--journal", "--json"}).json()[0]["id"].toString();
        const ProcessRun undo = n3fix({"--undo", walk, "--json"}, east);
        QCOMPARE(undo.status, 0);
        const ProcessRun redo = n3fix({"--undo", undo.json()["journal"].toString(), "--json"}, utc);
        QCOMPARE(redo.status, 0);
        QVERIFY(redo.json()["journal"].toString() < walk);  // its local hour is eight hours earlier
        QCOMPARE(flags(), QString(Codes, '1'));
        const QJsonArray listed = n3fix({"--journal", "--json"}).json().array();
        QCOMPARE(listed[0]["id"], redo.json()["journal"]);
        QVERIFY(listed[2]["undone_by"].isNull());  // the walk
        QCOMPARE(n3fix({"--undo", walk}, utc).status, 0);
        QCOMPARE(flags(), QString(Codes, '9'));
    }
};

QTEST_MAIN(UndoExtent)
#include "tst_undo_extent.moc"
