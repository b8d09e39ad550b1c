// The end-flag walk on SQLite writes each row only while it still holds the code and the flag the
// walk read: through the real window on real SQLite files, with another connection changing the
// chart while the walk runs, and with codes and flags stored in shapes the walk must read back
// exactly to find its rows again. Every case runs on the embedded engine, whose walk writes
// straight through SQLite, and over ODBC (the real driver manager with the SQLite ODBC driver),
// whose walk writes through its recordset: both must behave alike.
#include "app/Form1.h"
#include "app/MessageBox.h"
#include "db/ODBC.h"
#include "repair/Journal.h"
#include "repair/JournalReader.h"
#include "support/FormDriver.h"
#include "support/OdbcFixture.h"
#include "support/SqliteFixture.h"

#include <QtTest>
#include <QtWidgets>

#include <memory>

const QString Done = "修复完毕复", Working = "正在修复";
const QString Changed = "找不到要更新的记录：它已被其他用户修改或删除。";
const QString Ignored = "数据库没有执行这次更新（可能被触发器忽略，或数据表其实是视图），记录未改动。";

const QString SystemScript =
    "create table KS_Account(cAcc_Id TEXT, cAcc_Name TEXT); insert into KS_Account values('001','演示');"
    "create table KS_period(cacc_id TEXT, iyear INTEGER, iperiod INTEGER, bisdelete INTEGER); insert into KS_period values('001',2007,1,0);";

// Five accounts in code order with the flags the walk gives them; every stored flag is 9.
const QStringList Codes{"1001", "100101", "1002", "100201", "2001"};
const QList<int> Right{0, 1, 0, 1, 1};

// Another program's change, made once the walk has written the row of `atCode`.
struct Change {
    QString atCode;
    QString sql;
    int written;      // rows the walk writes in all
    QString failure;  // empty: it completes; else it stops at the row after the last written, with a box that ends so
};
Q_DECLARE_METATYPE(Change)

// A chart: the table, then its rows as "SQL literal of the code ~ SQL literal of the stored flag ~
// the flag the walk must give".
struct Shape {
    QString table;
    QStringList rows;
    bool overOdbc = true;  // whether the case runs over ODBC too (see storedShapes_data)
};
Q_DECLARE_METATYPE(Shape)

// The engines every case runs on.
void addEngineColumn()
{
    QTest::addColumn<bool>("odbc");
}

class WalkGuard : public QObject {
    Q_OBJECT
    QTemporaryDir m_odbcConfig;
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_yearDb;

    // Stores the chart with `script` on a RAM file system where there is one (every row is its own
    // commit), and opens the window with account set 001 and year 2007 picked. Over ODBC the files
    // are named without ".db" and opened from the current directory, as the driver finds them.
    std::unique_ptr<Form1> openWindow(const QString &script, bool odbc)
    {
        m_dir =
            std::make_unique<QTemporaryDir>((QDir("/dev/shm").exists() ? "/dev/shm" : QDir::tempPath()) + "/tst_walk_guard-XXXXXX");
        const QString suffix = odbc ? "" : ".db";
        m_yearDb = m_dir->filePath("LQDATA_001_2007" + suffix);
        SqliteFixture::run(m_dir->filePath("LQsystem" + suffix), SystemScript);
        SqliteFixture::run(m_yearDb, script);
        FormDriver::useDataDirectory(m_dir->path());
        if (odbc) {
            QDir::setCurrent(m_dir->path());
            ODBC::setEngine({db::EngineKind::Odbc, QString()});
        }
        QDir(repair::journalDirectory()).removeRecursively();
        std::unique_ptr<Form1> form = FormDriver::openWindow();
        if (form) {
            FormDriver::pickFromList(form->Combo3, 0);
            FormDriver::pickFromList(form->Combo5, 0);
        }
        return form;
    }

    static QString chartScript()
    {
        QString script = "create table code(ccode TEXT, ccode_name TEXT default '名称', bend INTEGER);";
        for (const QString &code : Codes)
            script += "insert into code(ccode, bend) values('" + code + "', 9);";
        return script;
    }

    // The flags the walk gives the rows from `from` up to `to`, as updates by code.
    static QString walkUpdates(int from, int to)
    {
        QString script;
        for (int i = from; i < to; ++i)
            script += QString("update code set bend=%1 where ccode='%2';").arg(Right[i]).arg(Codes[i]);
        return script;
    }

private slots:
    void initTestCase() { OdbcFixture::registerSqliteDriver(m_odbcConfig.path()); }

    void anotherProgramChangesTheChart_data()
    {
        QTest::addColumn<Change>("change");
        addEngineColumn();
        const auto newRow = [](const char *name, const Change &change) {
            QTest::addRow("embedded: %s", name) << change << false;
            QTest::addRow("odbc: %s", name) << change << true;
        };
        newRow("flag of a later row changed", Change{"1002", "update code set bend=7 where ccode='2001'", 4, Changed});
        newRow("flag set to the one the walk gives", Change{"1002", "update code set bend=1 where ccode='100201'", 3, Changed});
        newRow("flag made NULL", Change{"1001", "update code set bend=NULL where ccode='100101'", 1, Changed});
        newRow("code of a later row changed", Change{"1002", "update code set ccode='2009' where ccode='2001'", 4, Changed});
        newRow("code given a trailing blank", Change{"1001", "update code set ccode='100101 ' where ccode='100101'", 1, Changed});
        newRow("later row deleted", Change{"100101", "delete from code where ccode='1002'", 2, Changed});
        newRow("later row deleted, its rowid taken by a copy",
               Change{"100101", "delete from code where ccode='1002'; insert into code(rowid, ccode, bend) values(3, '1002', 9)",
                      5, ""});
        newRow("other columns of a later row changed",
               Change{"1001", "update code set ccode_name='改', bend=bend where ccode='2001'", 5, ""});
        newRow("a row already written changed", Change{"1002", "update code set bend=5 where ccode='1001'", 5, ""});
        newRow("trigger swallowing a later row's update",
               Change{"1002", "create trigger swallow before update on code when old.ccode='2001' begin select raise(ignore); end",
                      4, Ignored});
        newRow("a row added", Change{"1002", "insert into code(ccode, bend) values('1003', 8)", 5, ""});
    }

    // The row another program changed since the walk read it is not written: the walk stops there
    // with the box, keeps what it wrote before, leaves that row and the rest as they are, and its
    // journal says how far it came and at which row it failed. An update a trigger swallows stops it likewise. A change the walk
    // can't see (other columns, rows already written, new rows, a copy identical to the row it replaced) lets it complete.
    void anotherProgramChangesTheChart()
    {
        QFETCH(Change, change);
        QFETCH(bool, odbc);
        const std::unique_ptr<Form1> form = openWindow(chartScript(), odbc);
        QVERIFY(form);
        bool changed = false;
        QTimer timer;  // the walk hands the window its events once per row
        connect(&timer, &QTimer::timeout, this, [&] {
            if (!changed && form->Label1->text() == Working + change.atCode) {
                SqliteFixture::run(m_yearDb, change.sql);
                changed = true;
            }
        });
        timer.start(0);
        QTest::mouseClick(form->Command2, Qt::LeftButton);
        QVERIFY(changed);

        const int at = int(Codes.indexOf(change.atCode)) + 1;
        const QString reference = m_dir->filePath("reference.db");
        SqliteFixture::run(reference, chartScript() + walkUpdates(0, at) + change.sql + ";"
                                          + walkUpdates(at, qMin(change.written, int(Codes.size()))));
        QCOMPARE(SqliteFixture::dumpAll(m_yearDb), SqliteFixture::dumpAll(reference));
        const QStringList boxes = FormDriver::boxesShown();
        const QList<repair::RepairRecord> journals = repair::listRepairs(repair::journalDirectory());
        QCOMPARE(journals.size(), 1);
        QCOMPARE(journals[0].rowsDone, qint64(change.written));
        if (change.failure.isEmpty()) {
            QCOMPARE(boxes, QStringList());
            QCOMPARE(form->Label1->text(), Done);
            QCOMPARE(journals[0].outcome, repair::Outcome::Completed);
        } else {
            QCOMPARE(boxes.size(), 1);
            QVERIFY2(boxes[0].endsWith("\r\n" + change.failure), qPrintable(boxes[0]));
            QCOMPARE(form->Label1->text(), Working + Codes[change.written]);
            QCOMPARE(journals[0].outcome, repair::Outcome::Failed);
            QCOMPARE(journals[0].message, "科目 " + Codes[change.written] + "：" + change.failure);
        }
    }

    void codesAddedOrRemovedDuringTheWalk_data()
    {
        QTest::addColumn<QString>("atCode");
        QTest::addColumn<QString>("before");  // run on the chart before the walk
        QTest::addColumn<QString>("sql");     // another program's change, once the walk is done with atCode
        QTest::addColumn<QString>("flags");   // every code (x and hex if not ASCII) and flag after the walk, by code
        QTest::addColumn<QString>("box");     // "icon|text" of the box after 修复完毕复; empty: none
        addEngineColumn();
        const QString added = "insert into code(ccode, bend) values('200101', 1)";
        const QString removed = "delete from code where ccode='100201'";
        const QString addedBehind = "insert into code(ccode, bend) values('10010101', 1)";
        const QString redecided = "0|修复期间其他程序改动了科目表：1 个科目的末级标志已按改动后的科目表确定。";
        const auto wrongAtEnd = [](const QString &code) {
            return "16|修复期间其他程序改动了科目表，修复结束时有 1 个科目的末级标志与现在的科目表不符：" + code
                   + "。请再重建一次末级标志。";
        };
        // On the embedded engine each row's flag is decided under the write lock of its own write,
        // for the chart as it is then; over ODBC the chart is read again when the walk ends.
        QTest::newRow("embedded: sub-account added under an end-level row ahead")
            << "1002"
            << "" << added << "1001:0 100101:1 1002:0 100201:1 2001:0 200101:1" << redecided << false;
        QTest::newRow("odbc: sub-account added under an end-level row ahead")
            << "1002"
            << "" << added << "1001:0 100101:1 1002:0 100201:1 2001:1 200101:1" << wrongAtEnd("2001") << true;
        const QString endLevelAlready = "update code set bend=1 where ccode='2001'";
        QTest::newRow("embedded: sub-account added under a row ahead whose flag was right")
            << "1002" << endLevelAlready << added << "1001:0 100101:1 1002:0 100201:1 2001:0 200101:1" << redecided << false;
        QTest::newRow("odbc: sub-account added under a row ahead whose flag was right")
            << "1002" << endLevelAlready << added << "1001:0 100101:1 1002:0 100201:1 2001:1 200101:1" << wrongAtEnd("2001")
            << true;
        // One flag to write, before the change: the walk stays in the file's own journal mode, where
        // it looks again only once the file's header shows a commit.
        const QString oneToWrite =
            "update code set bend=0 where ccode='1002'; update code set bend=1 where ccode<>'1001' and ccode<>'1002'";
        QTest::newRow("embedded: one flag to write, sub-account added under a row ahead whose flag was right")
            << "1002" << oneToWrite << added << "1001:0 100101:1 1002:0 100201:1 2001:0 200101:1" << redecided << false;
        QTest::newRow("odbc: one flag to write, sub-account added under a row ahead whose flag was right")
            << "1002" << oneToWrite << added << "1001:0 100101:1 1002:0 100201:1 2001:1 200101:1" << wrongAtEnd("2001") << true;
        // Five flags to write before the change, and none after: the walk is in the write-ahead log,
        // where it looks again only once the log shows a commit.
        const QString fiveToWrite =
            oneToWrite + "; insert into code(ccode, bend) values('100102', 9), ('100103', 9), ('100104', 9)";
        QTest::newRow("embedded: five flags to write, sub-account added under a row ahead whose flag was right")
            << "1002" << fiveToWrite << added << "1001:0 100101:1 100102:1 100103:1 100104:1 1002:0 100201:1 2001:0 200101:1"
            << redecided << false;
        QTest::newRow("odbc: five flags to write, sub-account added under a row ahead whose flag was right")
            << "1002" << fiveToWrite << added << "1001:0 100101:1 100102:1 100103:1 100104:1 1002:0 100201:1 2001:1 200101:1"
            << wrongAtEnd("2001") << true;
        const QString rightAlready = "update code set bend=1 where ccode='100201'";
        QTest::newRow("embedded: last sub-account of a row ahead removed")
            << "100101" << rightAlready << removed << "1001:0 100101:1 1002:1 2001:1" << redecided << false;
        QTest::newRow("odbc: last sub-account of a row ahead removed")
            << "100101" << rightAlready << removed << "1001:0 100101:1 1002:0 2001:1" << wrongAtEnd("1002") << true;
        for (const bool odbc : {false, true})
            QTest::addRow("%s: sub-account added under a row already written", odbc ? "odbc" : "embedded")
                << "1002"
                << "" << addedBehind << "1001:0 100101:1 10010101:1 1002:0 100201:1 2001:1" << wrongAtEnd("100101") << odbc;
        // 10配 in GBK (3130C5E4), not valid UTF-8, named by its bytes
        QTest::newRow("embedded: sub-account added under a code in another encoding already written")
            << "2001"
            << "insert into code(ccode, bend) values(cast(x'3130C5E4' as text), 9)"
            << "insert into code(ccode, bend) values(cast(x'3130C5E43031' as text), 1)"
            << "1001:0 100101:1 1002:0 100201:1 x3130C5E4:1 x3130C5E43031:1 2001:1" << wrongAtEnd("X'3130c5e4'") << false;
    }

    // Another program adds or removes a code while the walk runs. A row ahead gets the flag that
    // is right for the chart as it is when the row is written, and the walk says so; a flag the
    // walk wrote before that the change made wrong is named when the walk ends, in a box with the
    // critical-stop icon.
    void codesAddedOrRemovedDuringTheWalk()
    {
        QFETCH(QString, atCode);
        QFETCH(QString, before);
        QFETCH(QString, sql);
        QFETCH(QString, flags);
        QFETCH(QString, box);
        QFETCH(bool, odbc);
        const std::unique_ptr<Form1> form = openWindow(chartScript() + before + ";", odbc);
        QVERIFY(form);
        bool changed = false;
        QTimer timer;
        connect(&timer, &QTimer::timeout, this, [&] {
            if (!changed && form->Label1->text() == Working + atCode) {
                SqliteFixture::run(m_yearDb, sql);
                changed = true;
            }
        });
        timer.start(0);
        QTest::mouseClick(form->Command2, Qt::LeftButton);
        QVERIFY(changed);
        QCOMPARE(form->Label1->text(), Done);
        QStringList seen;
        for (const QString &row :
             SqliteFixture::select(m_yearDb, "select case when ccode glob '*[^ -~]*' then 'x' || hex(ccode) else ccode end,"
                                             " bend from code order by ccode")
                 .split('\n', Qt::SkipEmptyParts))
            seen << row.section('\'', 1, 1) + ":" + row.section(":", 2);
        QCOMPARE(seen.join(' '), flags);
        const QStringList boxes = FormDriver::boxesShown();
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0].section('|', 0, 0) + "|" + boxes[0].section('|', 2), box);
        const QList<repair::RepairRecord> journals = repair::listRepairs(repair::journalDirectory());
        QCOMPARE(journals.size(), 1);
        QCOMPARE(journals[0].outcome, repair::Outcome::Completed);
    }

    void finalChartCheckThatFails_data()
    {
        addEngineColumn();
        QTest::newRow("embedded") << false;
        QTest::newRow("odbc") << true;
    }

    // Another program renames the chart away once the walk is done with its last row: every flag
    // is written and the walk completes, with a box (critical stop) saying the chart could not be
    // looked at again.
    void finalChartCheckThatFails()
    {
        QFETCH(bool, odbc);
        const std::unique_ptr<Form1> form = openWindow(chartScript(), odbc);
        QVERIFY(form);
        bool changed = false;
        QTimer timer;
        connect(&timer, &QTimer::timeout, this, [&] {
            if (!changed && form->Label1->text() == Working + Codes.last()) {
                SqliteFixture::run(m_yearDb, "alter table code rename to code_was");
                changed = true;
            }
        });
        timer.start(0);
        QTest::mouseClick(form->Command2, Qt::LeftButton);
        QVERIFY(changed);
        QCOMPARE(form->Label1->text(), Done);
        QCOMPARE(SqliteFixture::select(m_yearDb, "select group_concat(ccode || ':' || bend, ' ') from code_was"),
                 "t:'1001:0 100101:1 1002:0 100201:1 2001:1'\n");
        const QStringList boxes = FormDriver::boxesShown();
        QCOMPARE(boxes.size(), 1);
        QVERIFY2(boxes[0].startsWith("16|") && boxes[0].contains("末级标志已全部写入，但修复结束时未能再核对一次科目表"),
                 qPrintable(boxes[0]));
        const QList<repair::RepairRecord> journals = repair::listRepairs(repair::journalDirectory());
        QCOMPARE(journals.size(), 1);
        QCOMPARE(journals[0].outcome, repair::Outcome::Completed);
        QCOMPARE(journals[0].rowsDone, 5);
    }

    void rowLeftAsItIsKeepsAnotherProgramsChange_data()
    {
        addEngineColumn();
        QTest::newRow("embedded") << false;
        QTest::newRow("odbc") << true;
    }

    // A row that holds its right flag already is left as it is: another program that changes it
    // while the walk is on an earlier row keeps its value, and the walk completes, having written
    // the other four rows only.
    void rowLeftAsItIsKeepsAnotherProgramsChange()
    {
        QFETCH(bool, odbc);
        const QString rightAlready = "update code set bend=1 where ccode='100201';";
        const QString change = "update code set bend=5 where ccode='100201';";
        const std::unique_ptr<Form1> form = openWindow(chartScript() + rightAlready, odbc);
        QVERIFY(form);
        bool changed = false;
        QTimer timer;
        connect(&timer, &QTimer::timeout, this, [&] {
            if (!changed && form->Label1->text() == Working + "1002") {
                SqliteFixture::run(m_yearDb, change);
                changed = true;
            }
        });
        timer.start(0);
        QTest::mouseClick(form->Command2, Qt::LeftButton);
        QVERIFY(changed);
        QCOMPARE(FormDriver::boxesShown(), QStringList());
        QCOMPARE(form->Label1->text(), Done);

        const QString reference = m_dir->filePath("reference.db");
        SqliteFixture::run(reference, chartScript() + walkUpdates(0, 3) + change + walkUpdates(4, 5));
        QCOMPARE(SqliteFixture::dumpAll(m_yearDb), SqliteFixture::dumpAll(reference));
        const QList<repair::RepairRecord> journals = repair::listRepairs(repair::journalDirectory());
        QCOMPARE(journals.size(), 1);
        QCOMPARE(journals[0].outcome, repair::Outcome::Completed);
        QCOMPARE(journals[0].rowsChanged, 4);
    }

    void storedShapes_data()
    {
        QTest::addColumn<Shape>("shape");
        addEngineColumn();
        // Some charts run on the embedded engine only: over ODBC the walk's recordset gets the
        // values as the SQLite ODBC driver reads them (an untyped column's numbers as text, a text
        // that is not valid UTF-8 decoded), which no longer equal the values stored, so there the
        // walk stops at the first such row, and writes nothing over it.
        const auto newRow = [](const char *name, const Shape &shape) {
            QTest::addRow("embedded: %s", name) << shape << false;
            if (shape.overOdbc)
                QTest::addRow("odbc: %s", name) << shape << true;
        };
        newRow("flags as texts, reals, blobs and NULL",
               Shape{"ccode TEXT, bend",
                     {"'1001' ~ '1' ~ 0", "'100101' ~ ' 1' ~ 1", "'1002' ~ 'abc' ~ 0", "'100201' ~ 1.0 ~ 1", "'1003' ~ 0.5 ~ 0",
                      "'100301' ~ x'01' ~ 1", "'1004' ~ NULL ~ 1", "'1005' ~ 9223372036854775807 ~ 1", "'1006' ~ -0.0 ~ 1",
                      "'1007' ~ '' ~ 1"},
                     false});
        newRow("codes as numbers, blobs and with NUL",
               Shape{"ccode, bend INTEGER",
                     {"1001 ~ 1 ~ 0", "100101 ~ 0 ~ 1", "1002.5 ~ 0 ~ 1", "x'31303033' ~ 0 ~ 1", "'10'||char(0)||'04' ~ 0 ~ 1",
                      "NULL ~ NULL ~ 1", "'' ~ 0 ~ 0"},
                     false});
        newRow("flag column of text affinity",
               Shape{"ccode TEXT, bend TEXT", {"'1001' ~ 1 ~ 0", "'100101' ~ '0' ~ 1", "'1002' ~ ' ' ~ 1"}});
        newRow("codes not valid UTF-8",
               Shape{"ccode TEXT, bend INTEGER",
                     {"'1001' ~ 9 ~ 0", "cast(x'31303031ff' as text) ~ 9 ~ 1", "cast(x'c3' as text) ~ 9 ~ 1"},
                     false});
        newRow("NOCASE codes and copies", Shape{"ccode TEXT COLLATE NOCASE, bend INTEGER",
                                                {"'a' ~ 1 ~ 0", "'A' ~ 0 ~ 1", "'ab' ~ 0 ~ 1", "'ab' ~ 0 ~ 1", "'b' ~ 0 ~ 1"}});
    }

    // Whatever shape a row's code and flag are stored in, the walk finds the row again by them,
    // also where a text is not valid UTF-8 (codes imported in another encoding): it completes,
    // writes every row's flag and nothing else.
    void storedShapes()
    {
        QFETCH(Shape, shape);
        QString script = "create table code(" + shape.table + ");", expected = script;
        for (const QString &row : shape.rows) {
            const QStringList parts = row.split(" ~ ");
            script += "insert into code(ccode, bend) values(" + parts[0] + ", " + parts[1] + ");";
            expected += "insert into code(ccode, bend) values(" + parts[0] + ", " + parts[2] + ");";
        }
        QFETCH(bool, odbc);
        const std::unique_ptr<Form1> form = openWindow(script, odbc);
        QVERIFY(form);
        QTest::mouseClick(form->Command2, Qt::LeftButton);
        const QStringList boxes = FormDriver::boxesShown();
        QVERIFY2(boxes.isEmpty(), qPrintable(boxes.join("\n")));
        QCOMPARE(form->Label1->text(), Done);
        const QString reference = m_dir->filePath("reference.db");
        SqliteFixture::run(reference, expected);
        QCOMPARE(SqliteFixture::dumpAll(m_yearDb), SqliteFixture::dumpAll(reference));
    }
};

QTEST_MAIN(WalkGuard)
#include "tst_walk_guard.moc"
