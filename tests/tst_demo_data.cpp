// The demo data: generated charts of accounts and the demo directory, on real SQLite files.
#include "demo/DemoData.h"
#include "support/SqliteFixture.h"

#include <QtTest>

#include <sqlite3.h>

// The first column of each row `sql` yields on the file at `path`, joined by ','; or SQLite's error.
static QString query(const QString &path, const QString &sql)
{
    sqlite3 *db = nullptr;
    QStringList rows;
    sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    const auto add = [](void *out, int, char **v, char **) {
        *static_cast<QStringList *>(out) << v[0];
        return 0;
    };
    if (sqlite3_exec(db, sql.toUtf8().constData(), add, &rows, nullptr) != SQLITE_OK)
        rows = QStringList{sqlite3_errmsg(db)};
    sqlite3_close(db);
    return rows.join(',');
}

class TestDemoData : public QObject {
    Q_OBJECT

private slots:
    void chart_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<QVector<int>>("levels");
        QTest::newRow("150 codes 4-2-2") << 150 << QVector<int>{4, 2, 2};
        QTest::newRow("5000 codes 4-3-1-2") << 5000 << QVector<int>{4, 3, 1, 2};
    }

    // Exact size; strictly sorted codes, each its parent's code plus one segment of its grade's
    // length; end level exactly when the next code does not begin with this one.
    void chart()
    {
        QFETCH(int, count);
        QFETCH(QVector<int>, levels);
        const QVector<ChartAccount> chart = generateChart(count, levels, 7);
        QCOMPARE(chart.size(), count);
        QHash<QString, int> grades{{QString(), 0}};  // the empty code is the parent of grade 1
        for (int i = 0; i < count; ++i) {
            const ChartAccount &a = chart[i];
            QVERIFY2(a.grade > 0 && grades.value(a.code.chopped(levels.value(a.grade - 1)), -1) == a.grade - 1
                         && !a.name.isEmpty() && (i == 0 || chart[i - 1].code < a.code),
                     qPrintable(a.code));
            QCOMPARE(a.endLevel, i + 1 == count || !chart[i + 1].code.startsWith(a.code));
            grades[a.code] = a.grade;
        }
    }

    // The written directory: its files, the stray year 9999, the deleted years flagged in all twelve
    // periods, live flags both 0 and NULL, in each account set some but not all end flags wrong, and
    // the planted disagreements of the ledgers.
    void demoDirectory()
    {
        QTemporaryDir temp;
        const QString dir = temp.filePath("new/data"), system = dir + "/LQsystem.db";
        createDemoDataDirectory(dir);
        QCOMPARE(QDir(dir).entryList(QDir::Files | QDir::Hidden),
                 QStringList({"LQDATA_001_2006.db", "LQDATA_001_2007.db", "LQDATA_002_2006.db", "LQDATA_002_2007.db",
                              "LQDATA_003_2007.db", "LQDATA_667_2007.db", "LQsystem.db"}));
        QCOMPARE(query(system, "SELECT COUNT(*) FROM KS_Account"), "4");
        QCOMPARE(query(system, "SELECT COUNT(*) FROM KS_period WHERE iyear = 9999"), "1");
        QCOMPARE(query(system, "SELECT cacc_id || '/' || iyear || ':' || COUNT(*) FROM KS_period WHERE bisdelete = 1"
                               " GROUP BY cacc_id, iyear ORDER BY 1"),
                 "002/2005:12,003/2006:12");
        QCOMPARE(query(system, "SELECT DISTINCT quote(bisdelete) FROM KS_period ORDER BY 1"), "0,1,NULL");
        for (const QString &file : QDir(dir).entryList({"LQDATA_*"}))
            QVERIFY2(query(dir + '/' + file, "SELECT (SELECT COUNT(*) > 0 FROM GL_accsum) AND SUM(bend <> (NOT EXISTS"
                                             " (SELECT 1 FROM code d WHERE d.ccode LIKE c.ccode || '_%'))) BETWEEN 1 AND COUNT(*) / 5"
                                             " FROM code c")
                         == "1",
                     qPrintable(file));
        // The general ledger agrees with the detail ledgers but for the planted disagreements: every
        // account above the end level holds, in each period, the sums of its end-level accounts'
        // rows, to the cent, except in period 6 a line of accounts each above the next (every level
        // above one detail account) and in period 9 one top-level account outside that line.
        for (const QString &file : QDir(dir).entryList({"LQDATA_*"})) {
            QCOMPARE(query(dir + '/' + file, "SELECT COUNT(*) > 0 FROM GL_accsum p"
                                             " WHERE EXISTS (SELECT 1 FROM code d WHERE d.ccode LIKE p.ccode || '_%')"),
                     QString("1"));
            const QStringList off =
                query(dir + '/' + file,
                      "SELECT p.iperiod || ':' || p.ccode FROM GL_accsum p JOIN code c ON c.ccode = p.ccode"
                      " WHERE EXISTS (SELECT 1 FROM code d WHERE d.ccode LIKE p.ccode || '_%')"
                      " AND (SELECT round(sum(l.mb), 2) || ' ' || round(sum(l.md), 2) || ' ' || round(sum(l.mc), 2)"
                      " || ' ' || round(sum(l.me), 2) FROM GL_accsum l WHERE l.iperiod = p.iperiod"
                      " AND l.ccode LIKE p.ccode || '_%' AND NOT EXISTS (SELECT 1 FROM code e WHERE e.ccode LIKE l.ccode || '_%'))"
                      " IS NOT round(p.mb, 2) || ' ' || round(p.md, 2) || ' ' || round(p.mc, 2) || ' ' || round(p.me, 2)"
                      " ORDER BY p.iperiod, length(p.ccode)")
                    .split(',');
            const QStringList line = off.filter(QRegularExpression("^6:")), topLevel = off.filter(QRegularExpression("^9:"));
            QVERIFY2(line.size() >= 2 && topLevel.size() == 1 && line.size() + 1 == off.size(),
                     qPrintable(file + ": " + off.join(' ')));
            for (qsizetype i = 1; i < line.size(); ++i)
                QVERIFY2(line[i].startsWith(line[i - 1]) && line[i] != line[i - 1], qPrintable(file + ": " + off.join(' ')));
            QVERIFY2(topLevel[0].size() == 6 && !line[0].mid(2).startsWith(topLevel[0].mid(2)),
                     qPrintable(file + ": " + off.join(' ')));
        }
    }

    // A directory already holding a database is refused and left exactly as it was.
    void refusesDirectoryHoldingDatabase()
    {
        QTemporaryDir temp;
        const QString other = temp.filePath("other.db");
        SqliteFixture::run(other, "CREATE TABLE t(x); INSERT INTO t VALUES (1);");
        const QString before = SqliteFixture::dumpAll(other);
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, createDemoDataDirectory(temp.path()));
        QCOMPARE(QDir(temp.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"other.db"});
        QCOMPARE(SqliteFixture::dumpAll(other), before);
    }
};

QTEST_GUILESS_MAIN(TestDemoData)
#include "tst_demo_data.moc"
