// The end-flag repair on charts shaped the way other tools leave them: codes stored as numbers,
// padded to a fixed width, duplicated, in tables without a rowid, with a NOCASE collation, and
// hostile texts. On real SQLite files, through the repair as every front end runs it: the flags
// written, the check and the journal agreeing with them, undo giving the chart back, and the flags
// taken from one sorted read agreeing with the engine's own answer to the per-row lookup. One chart
// also through the real window, for its wiring to the same walk.
#include "app/Form1.h"
#include "app/MessageBox.h"
#include "db/Connection.h"
#include "db/ODBC.h"
#include "db/Recordset.h"
#include "repair/EndFlagChart.h"
#include "repair/EndFlagCheck.h"
#include "repair/EndFlagPlan.h"
#include "repair/Journal.h"
#include "repair/JournalReader.h"
#include "repair/Undo.h"
#include "support/DataFiles.h"
#include "support/EndFlagLookup.h"
#include "support/FormDriver.h"
#include "support/JournalDriver.h"
#include "support/SqliteFixture.h"

#include <QRandomGenerator>
#include <QtTest>
#include <QtWidgets>

// A chart: the table, then its rows as "SQL literal of the code:the flag the walk must give".
struct Shape {
    QString table;
    QStringList rows;
};
Q_DECLARE_METATYPE(Shape)

static const QString SystemScript =
    "create table KS_Account(cAcc_Id TEXT, cAcc_Name TEXT); insert into KS_Account values('001','演示');"
    "create table KS_period(cacc_id TEXT, iyear INTEGER, iperiod INTEGER, bisdelete INTEGER); insert into KS_period values('001',2007,1,0);";

// Every row of the chart as "code:flag", sorted, with the engine's own quoting.
static QStringList flags(const QString &file)
{
    QStringList rows =
        SqliteFixture::select(file, "select quote(ccode) || ':' || quote(bend) from code").split('\n', Qt::SkipEmptyParts);
    std::sort(rows.begin(), rows.end());
    return rows;
}

// The flags of the chart on `connection`: from the one read, and from the engine's per-row lookup.
static std::pair<std::vector<std::int8_t>, std::vector<int>> bothWays(const std::shared_ptr<db::Connection> &connection,
                                                                      const repair::EndFlagChart &chart)
{
    EndFlagLookup lookup(connection);
    std::vector<int> probed;
    for (std::size_t i = 0; i < chart.size(); ++i)
        probed.push_back(lookup.flagOf(chart.code(i)));
    return {repair::rightEndFlags(connection, chart), probed};
}

class CodeShapes : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QString yearDb() const { return yearDatabase(m_dir.path()); }

    // Writes the chart of `shape` into the year database with every flag 9, and into another
    // database with the flags the walk must give; returns the path of the other.
    QString writeCharts(const Shape &shape)
    {
        const QString script = "create table code(" + shape.table + ");";
        QString rows, rightRows;
        for (const QString &row : shape.rows) {
            const QString code = row.section(':', 0, -2);
            rows += "insert into code(ccode, bend) values(" + code + ", 9);";
            rightRows += "insert into code(ccode, bend) values(" + code + ", " + row.section(':', -1) + ");";
        }
        SqliteFixture::run(yearDb(), script + rows);
        const QString expected = m_dir.filePath("expected.db");
        QFile::remove(expected);
        SqliteFixture::run(expected, script + rightRows);
        return expected;
    }

private slots:
    void initTestCase() { SqliteFixture::run(systemDatabase(m_dir.path()), SystemScript); }
    void init()
    {
        QFile::remove(yearDb());
        QDir(m_dir.filePath("journal")).removeRecursively();
        FormDriver::useDataDirectory(m_dir.path());
    }

    void walk_data()
    {
        QTest::addColumn<Shape>("shape");
        const QStringList numbers{"1001:0", "100101:0", "10010101:1", "1002:1", "2001:1"};
        QTest::newRow("integer") << Shape{"ccode INTEGER, bend INTEGER", numbers};
        QTest::newRow("numeric") << Shape{"ccode NUMERIC, bend INTEGER", numbers};
        QTest::newRow("real") << Shape{"ccode REAL, bend INTEGER",
                                       {"1001.0:0", "100101.0:0", "10010101.0:1", "1002.0:1", "2002.5:1", "2002:0"}};
        QTest::newRow("untyped, numbers and texts")
            << Shape{"ccode, bend", {"1001:0", "'100101':1", "'1002':0", "100201:1", "'2001':0", "20011.5:1"}};
        QTest::newRow("char(10) padding") << Shape{"ccode CHAR(10), bend INTEGER",
                                                   {"'1001      ':0", "'100101    ':1", "'1002  ':1", "'10031':1", "'  10':1"}};
        QTest::newRow("duplicated codes") << Shape{"ccode TEXT, bend INTEGER",
                                                   {"'1001':0", "'1001':0", "'1001':0", "'100101':1", "'100101':1", "'1002':1"}};
        QTest::newRow("without rowid") << Shape{"ccode TEXT PRIMARY KEY, bend INTEGER) WITHOUT ROWID; select (1",
                                                {"'1001':0", "'100101':1", "'1002':1"}};
        // Codes imported in GBK, in bytes that are not valid UTF-8, in a table found by a two-column key:
        // 10配 (3130C5E4) and 10你 (3130C4E3) both decode to 10 and two replaced bytes, and 10你01
        // to the same and 01; by their bytes only 10你 is the parent of 10你01.
        QTest::newRow("codes in another encoding, two-column key")
            << Shape{"ccode TEXT, cname TEXT DEFAULT '', bend INTEGER, PRIMARY KEY(ccode, cname)) WITHOUT ROWID; select (1",
                     {"'10':0", "cast(x'3130C5E4' as text):1", "cast(x'3130C4E3' as text):0", "cast(x'3130C4E33031' as text):1"}};
        // A leading byte-order mark makes another code (EF BB BF 1001 is not 1001, so end level);
        // blobs 1 FE and 1 FF are two codes, only the first the parent of the text 1 FE 01.
        QTest::newRow("codes told apart by their bytes, two-column key")
            << Shape{"ccode, cname TEXT DEFAULT '', bend INTEGER, PRIMARY KEY(ccode, cname)) WITHOUT ROWID; select (1",
                     {"'1001':0", "cast(x'EFBBBF31303031' as text):1", "'100101':1", "x'31FE':0", "x'31FF':1",
                      "cast(x'31FE3031' as text):1"}};
        QTest::newRow("user column rowid") << Shape{"rowid TEXT, ccode TEXT, bend INTEGER", {"'1001':0", "'100101':1", "'1002':1"}};
        QTest::newRow("every rowid name taken")
            << Shape{"rowid TEXT, _rowid_ TEXT, oid TEXT, ccode TEXT, bend INTEGER", {"'1001':0", "'100101':1", "'1002':1"}};
        QTest::newRow("NOCASE collation") << Shape{"ccode TEXT COLLATE NOCASE, bend INTEGER",
                                                   {"'ab':1", "'AB1':1", "'a':0", "'A':0", "'b':1", "'B1':1"}};
        QTest::newRow("hostile texts") << Shape{
            "ccode TEXT, bend INTEGER", {"NULL:1", "'':0",     "'  ':0",   "'''':0",    "'''1':1",    "'%':0",  "'%_':1",
                                         "'_':1",  "'[1]':0",  "'[1]2':1", "'10 01':0", "'10 011':1", "'10':0", "'10'||char(9):1",
                                         "'三':0", "'三千':1", "'😀':0",    "'😀x':1",    "'é':1",      "'E':1"}};
    }

    // The walk gives every row its flag and changes nothing else; the check agrees before (its
    // count is the journal's) and after (nothing left to change); undo gives back the chart as it was.
    void walk()
    {
        QFETCH(Shape, shape);
        const QString expectedDb = writeCharts(shape);
        const QStringList original = flags(yearDb());
        const int wrongBefore = int(repair::checkEndFlags("LQDATA_001_2007").wrong.size());

        JournalDriver::Walk toTheEnd;
        const repair::EndFlagRun run = repair::repairEndFlags("001", "2007", toTheEnd);
        QVERIFY2(run.result == repair::RunResult::Completed, qPrintable(run.failure));
        QVERIFY2(run.unrecorded.isEmpty() && run.wrongAtEnd.isEmpty(), qPrintable(run.unrecorded));
        QCOMPARE(run.codes, shape.rows.size());
        QCOMPARE(run.rowsChanged, wrongBefore);
        QCOMPARE(flags(yearDb()), flags(expectedDb));
        QCOMPARE(SqliteFixture::dump(yearDb(), "sqlite_master"), SqliteFixture::dump(expectedDb, "sqlite_master"));

        const repair::EndFlagCheck after = repair::checkEndFlags("LQDATA_001_2007");
        QVERIFY2(after.failure.isEmpty() && after.wrong.empty(), qPrintable(after.failure));
        const QList<repair::RepairRecord> journals = repair::listRepairs(repair::journalDirectory());
        QCOMPARE(journals.size(), 1);
        QCOMPARE(journals[0].rowsChanged, wrongBefore);
        const repair::UndoRun undo = repair::undoRepair(journals[0].id);
        QVERIFY2(undo.failure.isEmpty() && undo.leftAlone.isEmpty(), qPrintable(undo.failure));
        QCOMPARE(undo.rowsChanged, wrongBefore);
        QCOMPARE(flags(yearDb()), original);
    }

    // 彻底根除 in the window walks the same chart: no box, "修复完毕复" at the end, every flag right.
    void walkFromTheWindow()
    {
        const Shape hostile{
            "ccode TEXT, bend INTEGER",
            {"NULL:1", "'':0", "'''1':1", "'%':0", "'%_':1", "'10':0", "'10'||char(9):1", "'三':0", "'三千':1", "'😀x':1"}};
        const QString expectedDb = writeCharts(hostile);
        const std::unique_ptr<Form1> form = FormDriver::openWindow();
        QVERIFY(form);
        FormDriver::pickFromList(form->Combo3, 0);
        FormDriver::pickFromList(form->Combo5, 0);
        QTest::mouseClick(form->Command2, Qt::LeftButton);
        QCOMPARE(FormDriver::boxesShown(), QStringList());
        QCOMPARE(form->Label1->text(), "修复完毕复");
        QCOMPARE(flags(yearDb()), flags(expectedDb));
    }

    // The flags from one sorted read are the engine's own answers to the per-row lookup, on every
    // chart above and on random charts of short codes built from characters that sort, pad, match
    // and compare awkwardly, stored as texts, numbers and NULL.
    void sortedReadAgreesWithLookup()
    {
        const QStringList alphabet{"1", "0", " ", "a", "A", "%", "_", "'", "é", "三", "😀", "\t", "[", "-"};
        for (quint32 seed = 1; seed <= 30; ++seed) {
            QRandomGenerator random(seed);
            QString script = "create table code(ccode, bend);";
            for (int i = 0; i < 150; ++i) {
                QString code;
                for (int n = random.bounded(6); n > 0; --n)
                    code += alphabet[random.bounded(alphabet.size())];
                const int shape = random.bounded(20);
                script += "insert into code values("
                          + (shape == 0   ? QString("NULL")
                             : shape == 1 ? QString::number(random.bounded(2000))
                             : shape == 2 ? QString::number(random.bounded(2000)) + ".0"
                             : shape == 3 ? QString::number(random.bounded(2000)) + ".5"
                                          : SqliteFixture::literal(code))
                          + ", 0);";
            }
            QFile::remove(yearDb());
            SqliteFixture::run(yearDb(), script);
            const std::shared_ptr<db::Connection> connection = ODBC::openConnection("LQDATA_001_2007", true);
            const repair::EndFlagChart chart = repair::EndFlagChart::read(connection, false);
            const auto [sorted, probed] = bothWays(connection, chart);
            for (std::size_t i = 0; i < chart.size(); ++i)
                QVERIFY2(sorted[i] == probed[i], qPrintable(QString("seed %1: code %2 (%3): sorted read %4, lookup %5")
                                                                .arg(seed)
                                                                .arg(chart.code(i).toString(), chart.code(i).typeName())
                                                                .arg(sorted[i])
                                                                .arg(probed[i])));
        }
    }
};

QTEST_MAIN(CodeShapes)
#include "tst_code_shapes.moc"
