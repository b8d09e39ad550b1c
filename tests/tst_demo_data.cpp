// The demo data: charts of accounts and the demo databases, checked on real SQLite files.

#include "demo/DemoData.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <sqlite3.h>

#include <cmath>
#include <stdexcept>

namespace {

// A read-only look into a database file written by the demo code.
class Reader {
public:
    explicit Reader(const QString &path)
    {
        if (sqlite3_open_v2(path.toUtf8().constData(), &m_db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
            qFatal("cannot open %s", qPrintable(path));
    }
    ~Reader() { sqlite3_close(m_db); }

    // Every row of `sql`, each column as text (NULL as a null QString).
    QVector<QStringList> rows(const QString &sql) const
    {
        sqlite3_stmt *statement = nullptr;
        if (sqlite3_prepare_v2(m_db, sql.toUtf8().constData(), -1, &statement, nullptr) != SQLITE_OK)
            qFatal("bad query %s: %s", qPrintable(sql), sqlite3_errmsg(m_db));
        QVector<QStringList> result;
        while (sqlite3_step(statement) == SQLITE_ROW) {
            QStringList row;
            for (int c = 0; c < sqlite3_column_count(statement); ++c) {
                const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(statement, c));
                row << (text ? QString::fromUtf8(text) : QString());
            }
            result << row;
        }
        sqlite3_finalize(statement);
        return result;
    }

    // The single value `sql` yields, as a number.
    qint64 number(const QString &sql) const { return rows(sql).value(0).value(0).toLongLong(); }

private:
    sqlite3 *m_db = nullptr;
};

// Every file of `dir` with its content, to show that something left a directory untouched.
QMap<QString, QByteArray> snapshot(const QString &dir)
{
    QMap<QString, QByteArray> files;
    for (const QFileInfo &info : QDir(dir).entryInfoList(QDir::Files | QDir::Hidden)) {
        QFile file(info.absoluteFilePath());
        if (file.open(QIODevice::ReadOnly))
            files.insert(info.fileName(), file.readAll());
    }
    return files;
}

void writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

// The account sets' files as the demo directory must hold them.
QStringList expectedFiles()
{
    QStringList files{QStringLiteral("LQsystem.db")};
    for (const DemoAccountSet &set : demoAccountSets())
        for (int year : set.liveYears)
            files << accountSetFileName(set.id, year);
    files.sort();
    return files;
}

} // namespace

class TestDemoData : public QObject {
    Q_OBJECT

private slots:
    void chartInvariants_data();
    void chartInvariants();
    void chartIsDeterministic();
    void chartRejectsImpossibleShapes();
    void demoDirectoryContent();
    void systemDatabase();
    void accountSetDatabases();
    void refusesDirectoryHoldingDatabase();
    void refusesExistingFile();
    void detectsDatabaseFiles();
    void toolFillsAndRefuses();
};

void TestDemoData::chartInvariants_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<QVector<int>>("levels");
    QTest::newRow("1 code 4-2-2") << 1 << QVector<int>{4, 2, 2};
    QTest::newRow("10 codes 4-2-2") << 10 << QVector<int>{4, 2, 2};
    QTest::newRow("60 codes 4-2-2") << 60 << QVector<int>{4, 2, 2};
    QTest::newRow("150 codes 4-2-2") << 150 << QVector<int>{4, 2, 2};
    QTest::newRow("40 codes 4") << 40 << QVector<int>{4};
    QTest::newRow("500 codes 4-1") << 500 << QVector<int>{4, 1};
    QTest::newRow("800 codes 4-3-1") << 800 << QVector<int>{4, 3, 1};
    QTest::newRow("1000 codes 4-2-2-2") << 1000 << QVector<int>{4, 2, 2, 2};
    QTest::newRow("5000 codes 4-2-2-2") << 5000 << QVector<int>{4, 2, 2, 2};
    QTest::newRow("20000 codes 4-2-2-2") << 20000 << QVector<int>{4, 2, 2, 2};
}

void TestDemoData::chartInvariants()
{
    QFETCH(int, count);
    QFETCH(QVector<int>, levels);
    const QVector<ChartAccount> chart = generateChart(count, levels, 7);
    QCOMPARE(chart.size(), count);

    QVector<int> lengthOfGrade{0};
    for (int length : levels)
        lengthOfGrade << lengthOfGrade.last() + length;
    QSet<QString> codes;
    for (const ChartAccount &a : chart)
        codes.insert(a.code);
    QCOMPARE(codes.size(), count); // no duplicates

    for (int i = 0; i < chart.size(); ++i) {
        const ChartAccount &a = chart[i];
        if (i > 0)
            QVERIFY2(chart[i - 1].code < a.code, qPrintable(chart[i - 1].code + " " + a.code));
        QVERIFY(a.grade >= 1 && a.grade <= levels.size());
        QCOMPARE(a.code.size(), lengthOfGrade[a.grade]);
        QVERIFY(!a.name.isEmpty());
        for (QChar c : a.code)
            QVERIFY(c.isDigit());
        if (a.grade == 1) {
            QVERIFY(a.code >= "1001" && a.code <= "6901");
        } else {
            // The parent is the code cut to the previous level, and it is in the chart.
            const QString parent = a.code.left(lengthOfGrade[a.grade - 1]);
            QVERIFY2(codes.contains(parent), qPrintable(a.code));
            QVERIFY(a.code.mid(parent.size()).toInt() > 0); // segments are numbered from 1
        }
        // End level exactly when no longer code begins with this one: by brute force for the
        // smaller charts, by the sorted neighbour for all (codes beginning with X follow X).
        const bool hasChild = i + 1 < chart.size() && chart[i + 1].code.startsWith(a.code);
        QCOMPARE(a.endLevel, !hasChild);
        if (count <= 5000) {
            bool longer = false;
            for (const ChartAccount &b : chart)
                longer = longer || (b.code.size() > a.code.size() && b.code.startsWith(a.code));
            QCOMPARE(a.endLevel, !longer);
        }
    }

    // Big charts use every level, and the first level keeps its real names.
    if (count >= 1000) {
        int deepest = 0;
        for (const ChartAccount &a : chart)
            deepest = std::max(deepest, a.grade);
        QCOMPARE(deepest, levels.size());
        QVERIFY(std::any_of(chart.begin(), chart.end(), [](const ChartAccount &a) {
            return a.code == "1002" && a.name == "银行存款";
        }));
        QVERIFY(std::any_of(chart.begin(), chart.end(), [](const ChartAccount &a) {
            return a.code == "6602" && a.name == "管理费用";
        }));
    }
}

void TestDemoData::chartIsDeterministic()
{
    const auto same = [](const QVector<ChartAccount> &x, const QVector<ChartAccount> &y) {
        if (x.size() != y.size())
            return false;
        for (int i = 0; i < x.size(); ++i)
            if (x[i].code != y[i].code || x[i].name != y[i].name || x[i].endLevel != y[i].endLevel)
                return false;
        return true;
    };
    QVERIFY(same(generateChart(150, {4, 2, 2}, 3), generateChart(150, {4, 2, 2}, 3)));
    QVERIFY(!same(generateChart(150, {4, 2, 2}, 3), generateChart(150, {4, 2, 2}, 4)));
    QVERIFY(same(generateChart(0), QVector<ChartAccount>()));
}

void TestDemoData::chartRejectsImpossibleShapes()
{
    QVERIFY_THROWS_EXCEPTION(std::invalid_argument, generateChart(100000, {4}));
    QVERIFY_THROWS_EXCEPTION(std::invalid_argument, generateChart(10, {3, 2}));
    QVERIFY_THROWS_EXCEPTION(std::invalid_argument, generateChart(10, {4, 0}));
    QVERIFY_THROWS_EXCEPTION(std::invalid_argument, generateChart(10, {}));
}

void TestDemoData::demoDirectoryContent()
{
    QTemporaryDir temp;
    QVERIFY(temp.isValid());
    const QString dir = temp.filePath("new/data"); // created on the way
    createDemoDataDirectory(dir);
    QStringList files = QDir(dir).entryList(QDir::Files);
    files.sort();
    QCOMPARE(files, expectedFiles());
    QVERIFY(directoryHoldsDatabase(dir));
}

void TestDemoData::systemDatabase()
{
    QTemporaryDir temp;
    createDemoDataDirectory(temp.path());
    const Reader db(temp.filePath("LQsystem.db"));

    QCOMPARE(db.number("SELECT COUNT(*) FROM KS_Account"), qint64(4));
    QCOMPARE(db.rows("SELECT cAcc_Id, cAcc_Name FROM KS_Account WHERE cAcc_Id = '667'").value(0).value(1),
             QStringLiteral("澄岚示范单位"));
    QCOMPARE(db.number("SELECT COUNT(*) FROM KS_period WHERE iyear = 9999"), qint64(1));

    // Every year of every set has its twelve periods; deleted years are flagged 1 throughout.
    for (const DemoAccountSet &set : demoAccountSets()) {
        for (int year : set.liveYears + set.deletedYears) {
            const QString where = QStringLiteral(" FROM KS_period WHERE cacc_id = '%1' AND iyear = %2").arg(set.id).arg(year);
            QCOMPARE(db.number("SELECT COUNT(DISTINCT iperiod)" + where), qint64(12));
            QCOMPARE(db.number("SELECT COUNT(*)" + where), qint64(12));
            const qint64 deletedRows = db.number("SELECT COUNT(*)" + where + " AND bisdelete = 1");
            QCOMPARE(deletedRows, set.deletedYears.contains(year) ? qint64(12) : qint64(0));
        }
    }
    QCOMPARE(db.rows("SELECT DISTINCT cacc_id || '/' || iyear FROM KS_period WHERE bisdelete = 1 ORDER BY 1")
                 .size(), 2);
    QVERIFY(db.number("SELECT COUNT(*) FROM KS_period WHERE bisdelete IS NULL") > 0);
    QVERIFY(db.number("SELECT COUNT(*) FROM KS_period WHERE bisdelete = 0 AND iyear <> 9999") > 0);
    QCOMPARE(db.rows("SELECT dbegin, dend FROM KS_period WHERE cacc_id = '001' AND iyear = 2007 AND iperiod = 2")
                 .value(0),
             QStringList({"2007-02-01", "2007-02-28"}));
}

void TestDemoData::accountSetDatabases()
{
    QTemporaryDir temp;
    createDemoDataDirectory(temp.path());
    for (const QString &file : expectedFiles()) {
        if (!file.startsWith("LQDATA_"))
            continue;
        const Reader db(temp.filePath(file));
        const qint64 codes = db.number("SELECT COUNT(*) FROM code");
        QVERIFY2(codes >= 60 && codes <= 150, qPrintable(file));
        QCOMPARE(db.number("SELECT COUNT(*) FROM code WHERE length(ccode) NOT IN (4, 6, 8)"), qint64(0));
        QCOMPARE(db.number("SELECT COUNT(*) FROM code WHERE igrade <> length(ccode) / 2 - 1"), qint64(0));

        // Wrong end-level flags: present, but only about a tenth of the rows.
        const qint64 wrong = db.number(
            "SELECT COUNT(*) FROM code c WHERE c.bend <> (NOT EXISTS"
            " (SELECT 1 FROM code d WHERE length(d.ccode) > length(c.ccode) AND substr(d.ccode, 1, length(c.ccode)) = c.ccode))");
        QVERIFY2(wrong > 0 && wrong < codes / 5, qPrintable(QString("%1: %2 of %3").arg(file).arg(wrong).arg(codes)));
        QCOMPARE(wrong, qint64(std::lround(codes * 0.1)));

        // Balances: twelve periods for each sampled end-level account, non-zero, two decimals,
        // and each period's closing balance = opening + debit - credit.
        QVERIFY(db.number("SELECT COUNT(DISTINCT ccode) FROM GL_accsum") > 0);
        QCOMPARE(db.number("SELECT COUNT(*) FROM (SELECT ccode FROM GL_accsum GROUP BY ccode"
                           " HAVING COUNT(*) <> 12 OR COUNT(DISTINCT iperiod) <> 12 OR MIN(iperiod) <> 1 OR MAX(iperiod) <> 12)"),
                 qint64(0));
        QCOMPARE(db.number("SELECT COUNT(*) FROM GL_accsum s WHERE EXISTS (SELECT 1 FROM code d WHERE"
                           " length(d.ccode) > length(s.ccode) AND substr(d.ccode, 1, length(s.ccode)) = s.ccode)"),
                 qint64(0));
        QCOMPARE(db.number("SELECT COUNT(*) FROM GL_accsum WHERE md = 0 OR mc = 0 OR mb = 0 OR me = 0"), qint64(0));
        for (const QStringList &row : db.rows("SELECT mb, md, mc, me, cbegind_c, cendd_c FROM GL_accsum")) {
            for (int c = 0; c < 4; ++c) {
                const double cents = row[c].toDouble() * 100;
                QVERIFY2(std::abs(cents - std::round(cents)) < 1e-6, qPrintable(row[c]));
            }
            QVERIFY(std::abs(row[0].toDouble() + row[1].toDouble() - row[2].toDouble() - row[3].toDouble()) < 0.005);
            QCOMPARE(row[4], row[0].toDouble() > 0 ? QStringLiteral("借") : QStringLiteral("贷"));
            QCOMPARE(row[5], row[3].toDouble() > 0 ? QStringLiteral("借") : QStringLiteral("贷"));
        }
        QCOMPARE(db.number("SELECT COUNT(*) FROM sqlite_master WHERE type = 'index' AND tbl_name = 'GL_accsum'"
                           " AND sql LIKE '%ccode%iperiod%'"),
                 qint64(1));
    }
}

void TestDemoData::refusesDirectoryHoldingDatabase()
{
    QTemporaryDir temp;
    writeFile(temp.filePath("other.db"), "not ours");
    writeFile(temp.filePath("notes.txt"), "keep me");
    const QMap<QString, QByteArray> before = snapshot(temp.path());
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, createDemoDataDirectory(temp.path()));
    QCOMPARE(snapshot(temp.path()), before);
    QCOMPARE(QDir(temp.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).size(), 2);

    try {
        createDemoDataDirectory(temp.path());
    } catch (const std::runtime_error &e) {
        QVERIFY(QString::fromUtf8(e.what()).contains(QStringLiteral("已有数据库")));
    }
}

void TestDemoData::refusesExistingFile()
{
    QTemporaryDir temp;
    const QString path = temp.filePath("LQDATA_001_2007.db");
    writeFile(path, "existing");
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, writeAccountSetDatabase(path, generateChart(20), 0.1, 1));
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, writeSystemDatabase(path, demoAccountSets()));
    QCOMPARE(snapshot(temp.path()).value("LQDATA_001_2007.db"), QByteArray("existing"));

    // A directory that does not exist: SQLite fails, the message says why, and no file is left.
    const QString missing = temp.filePath("missing/x.db");
    try {
        writeSystemDatabase(missing, demoAccountSets());
        QFAIL("writing into a missing directory succeeded");
    } catch (const std::runtime_error &e) {
        QVERIFY(QString::fromUtf8(e.what()).contains(QStringLiteral("失败")));
    }
    QVERIFY(!QFileInfo::exists(missing));
}

void TestDemoData::detectsDatabaseFiles()
{
    QTemporaryDir temp;
    QVERIFY(!directoryHoldsDatabase(temp.filePath("absent")));
    QVERIFY(!directoryHoldsDatabase(temp.path()));
    QVERIFY(QDir(temp.path()).mkdir("folder.db")); // a directory is not a database
    writeFile(temp.filePath("readme.txt"), "x");
    QVERIFY(!directoryHoldsDatabase(temp.path()));
    writeFile(temp.filePath("OLD.DB"), "x");
    QVERIFY(directoryHoldsDatabase(temp.path()));
}

void TestDemoData::toolFillsAndRefuses()
{
    const QString tool = QDir(QCoreApplication::applicationDirPath()).filePath("../demo/n3demo");
    if (!QFileInfo(tool).isExecutable())
        QSKIP("n3demo is not built next to this test");
    QTemporaryDir temp;
    // The default data directory is redirected into the temporary directory.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", temp.filePath("home"));
    env.insert("XDG_DATA_HOME", temp.filePath("xdg"));
    const auto run = [&](const QStringList &args, QString *out = nullptr) {
        QProcess process;
        process.setProcessEnvironment(env);
        process.start(tool, args);
        process.waitForFinished(-1);
        if (out)
            *out = QString::fromLocal8Bit(process.readAllStandardOutput() + process.readAllStandardError());
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    };

    QString output;
    QCOMPARE(run({"--help"}, &output), 0);
    QVERIFY(output.contains(QStringLiteral("用法")));
    QCOMPARE(run({"a", "b"}), 2);

    const QString dir = temp.filePath("given");
    QCOMPARE(run({dir}, &output), 0);
    QVERIFY(output.contains("LQDATA_667_2007.db"));
    QStringList files = QDir(dir).entryList(QDir::Files);
    files.sort();
    QCOMPARE(files, expectedFiles());
    const QMap<QString, QByteArray> written = snapshot(dir);
    QCOMPARE(run({dir}, &output), 2);
    QVERIFY(output.contains(QStringLiteral("已有数据库")));
    QCOMPARE(snapshot(dir), written);

    // No argument: the default directory is created once, and left alone afterwards.
    const QString defaultDir = temp.filePath("xdg/n3fix");
    QCOMPARE(run({}), 0);
    QVERIFY(QFileInfo::exists(defaultDir + "/LQsystem.db"));
    QFile::remove(defaultDir + "/LQDATA_001_2006.db");
    const QMap<QString, QByteArray> before = snapshot(defaultDir);
    QCOMPARE(run({}, &output), 0);
    QVERIFY(output.contains(QStringLiteral("已存在")));
    QCOMPARE(snapshot(defaultDir), before);
}

QTEST_GUILESS_MAIN(TestDemoData)
#include "tst_demo_data.moc"
