// Measures the end-flag repair, its journal, the check, the balance check, start-up and the account-set list
// against the engine's own floor, on data it generates in a temporary data directory, and prints
// one table. The window runs on Qt's offscreen platform unless QT_QPA_PLATFORM says otherwise
// (xvfb-run -a env QT_QPA_PLATFORM=xcb n3bench measures painting on a real X server).
//
//   n3bench                          run every measurement
//   n3bench --balance-check          only the balance check
//   n3bench --journal-window         only the journal window's
//   n3bench --walk DIR [--no-paint]  (internal) one end-flag repair through the window, in a
//                                    process of its own so that its peak memory is its own;
//                                    --no-paint hides the status line, which is then never painted
#include "JournalWindowBench.h"
#include "Median.h"

#include "app/Form1.h"
#include "app/MessageBox.h"
#include "db/ODBC.h"
#include "demo/DemoData.h"
#include "repair/BalanceCheck.h"
#include "repair/EndFlagCheck.h"
#include "repair/EndFlagVerdict.h"
#include "repair/Journal.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <sqlite3.h>
#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <numeric>
#include <random>
#include <map>
#include <set>

namespace {

const QString AccountSet = QStringLiteral("001");
const int Year = 2007;

// --- the engine's floor, straight through SQLite's C API -------------------------------------

struct Sqlite {
    sqlite3 *db = nullptr;
    explicit Sqlite(const QString &path) { sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr); }
    ~Sqlite() { sqlite3_close(db); }
    void exec(const char *sql) const
    {
        if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
            qFatal("%s: %s", sql, sqlite3_errmsg(db));
    }
    sqlite3_stmt *prepare(const QByteArray &sql) const
    {
        sqlite3_stmt *statement = nullptr;
        if (sqlite3_prepare_v2(db, sql.constData(), -1, &statement, nullptr) != SQLITE_OK)
            qFatal("%s: %s", sql.constData(), sqlite3_errmsg(db));
        return statement;
    }
};

struct Row {
    qint64 rowid;
    QByteArray code;
};

std::vector<Row> sortedCodes(const Sqlite &s)
{
    std::vector<Row> rows;
    sqlite3_stmt *walk = s.prepare("select rowid,ccode,bend from code order by ccode");
    while (sqlite3_step(walk) == SQLITE_ROW)
        rows.push_back({sqlite3_column_int64(walk, 0), QByteArray(reinterpret_cast<const char *>(sqlite3_column_text(walk, 1)))});
    sqlite3_finalize(walk);
    return rows;
}

// Seconds taken by `work` on the file at `path`, closing included: closing the last connection
// checkpoints the write-ahead log into the file, as the tool's walk does before it ends.
template <typename Work>
double secondsFor(const QString &path, Work work)
{
    QElapsedTimer timer;
    timer.start();
    {
        Sqlite s(path);
        s.exec("PRAGMA journal_mode=WAL");
        s.exec("PRAGMA synchronous=NORMAL");
        work(s);
    }
    return timer.nsecsElapsed() / 1e9;
}

// (a) The tool's per-row statements with the tool's settings: the sorted walk, one indexed
// probe and one update per row, each update committed on its own.
void perRowStatements(const Sqlite &s)
{
    const std::vector<Row> rows = sortedCodes(s);
    std::map<int, sqlite3_stmt *> probes;
    sqlite3_stmt *update = s.prepare("update code set bend=? where rowid=?");
    for (const Row &row : rows) {
        const int n = int(QString::fromUtf8(row.code).size());
        sqlite3_stmt *&probe = probes[n];
        if (!probe) {
            s.exec(QByteArray("CREATE INDEX IF NOT EXISTS bench_prefix_" + QByteArray::number(n)
                              + " ON code(substr(ccode,1," + QByteArray::number(n) + "))").constData());
            probe = s.prepare("select ccode from code where substr(ccode,1," + QByteArray::number(n)
                              + ")=? and length(rtrim(ccode,' '))>" + QByteArray::number(n));
        }
        sqlite3_bind_text(probe, 1, row.code.constData(), int(row.code.size()), SQLITE_STATIC);
        const bool hasLonger = sqlite3_step(probe) == SQLITE_ROW;
        sqlite3_reset(probe);
        sqlite3_bind_int(update, 1, hasLonger ? 0 : 1);
        sqlite3_bind_int64(update, 2, row.rowid);
        if (sqlite3_step(update) != SQLITE_DONE)
            qFatal("update: %s", sqlite3_errmsg(s.db));
        sqlite3_reset(update);
    }
    for (auto &[n, probe] : probes)
        sqlite3_finalize(probe);
    sqlite3_finalize(update);
}

// (b) The job's floor: one sorted read, the flags worked out from neighbours in code order,
// and every update in a single transaction.
void singleTransaction(const Sqlite &s)
{
    const std::vector<Row> rows = sortedCodes(s);
    sqlite3_stmt *update = s.prepare("update code set bend=? where rowid=?");
    s.exec("BEGIN");
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const bool hasLonger = i + 1 < rows.size() && rows[i + 1].code.startsWith(rows[i].code);
        sqlite3_bind_int(update, 1, hasLonger ? 0 : 1);
        sqlite3_bind_int64(update, 2, rows[i].rowid);
        sqlite3_step(update);
        sqlite3_reset(update);
    }
    s.exec("COMMIT");
    sqlite3_finalize(update);
}

// --- the tool ----------------------------------------------------------------------------------

// Opens the window on `dir`, chooses the account set and year, and times one press of 彻底根除.
int walkThroughTheWindow(const QString &dir, bool paint)
{
    ODBC::setEngine({db::EngineKind::Embedded, dir});
    MessageBox::showDataLayerMessages();
    MessageBox::setRecording(true);
    Form1 form;
    form.show();
    form.Combo3->setEditText(AccountSet);
    form.Combo5->setEditText(QString::number(Year));
    // The window is on the screen and painted, as it is when a person presses the button.
    if (!QTest::qWaitForWindowExposed(&form))
        qFatal("the window was not shown");
    QTest::qWait(50);
    form.Label1->setVisible(paint);
    QElapsedTimer timer;
    timer.start();
    QTest::mouseClick(form.Command2, Qt::LeftButton);
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (form.Label1->text() != QStringLiteral("修复完毕复") || !MessageBox::takeShown().isEmpty())
        qFatal("the walk did not complete");
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("%.6f %ld\n", seconds, usage.ru_maxrss);
    return 0;
}

struct WalkFigures {
    double seconds;
    long peakKb;
};

WalkFigures walkInChildProcess(const QString &dir, bool paint = true)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QStringList arguments{QStringLiteral("--walk"), dir};
    if (!paint)
        arguments << QStringLiteral("--no-paint");
    child.start(QCoreApplication::applicationFilePath(), arguments);
    if (!child.waitForFinished(600000) || child.exitCode() != 0)
        qFatal("the walk process failed");
    const QList<QByteArray> figures = child.readAllStandardOutput().trimmed().split(' ');
    return {figures.value(0).toDouble(), figures.value(1).toLong()};
}

void writeSystemDatabaseWithSets(const QString &path, int count)
{
    QVector<DemoAccountSet> sets;
    for (int i = 1; i <= count; ++i)
        sets.append({QStringLiteral("%1").arg(i, 3, 10, QLatin1Char('0')), QStringLiteral("公司%1").arg(i), {2006, 2007}, {}});
    writeSystemDatabase(path, sets);
}

// Each figure is the median of several rounds, every round on a fresh copy of the same file.
void endFlagRows(const QTemporaryDir &root)
{
    std::printf("\n%-26s %8s %8s %8s %8s %8s %8s %8s\n", "end-flag repair (4-2-2-2)", "tool s", "no paint",
                "(a) s", "(b) s", "tool/(a)", "us/row", "peak MB");
    std::map<int, double> perRow;
    std::map<int, long> peak;
    for (const int codes : {1000, 5000, 20000, 200000}) {
        const int rounds = codes > 20000 ? 3 : 5;
        const QString dir = root.filePath(QStringLiteral("walk%1").arg(codes));
        QDir().mkpath(dir);
        writeSystemDatabaseWithSets(dir + QStringLiteral("/LQsystem.db"), 1);
        const QString master = root.filePath(QStringLiteral("chart%1.db").arg(codes));
        writeAccountSetDatabase(master, generateChart(codes, {4, 2, 2, 2}), 0.1, 7);
        const QString database = dir + QLatin1Char('/') + accountSetFileName(AccountSet, Year);
        const QString copy = root.filePath(QStringLiteral("copy.db"));
        const auto fresh = [&master](const QString &path) {
            QFile::remove(path);
            QFile::copy(master, path);
        };

        std::vector<double> tool, bare, a, b;
        for (int round = 0; round < rounds; ++round) {
            fresh(database);
            const WalkFigures figures = walkInChildProcess(dir);
            tool.push_back(figures.seconds);
            peak[codes] = std::max(peak[codes], figures.peakKb);
            fresh(database);
            bare.push_back(walkInChildProcess(dir, false).seconds);
            fresh(copy);
            a.push_back(secondsFor(copy, perRowStatements));
            fresh(copy);
            b.push_back(secondsFor(copy, singleTransaction));
        }
        const double t = median(tool), ma = median(a), mb = median(b);
        perRow[codes] = t / codes * 1e6;
        std::printf("%-26s %8.3f %8.3f %8.3f %8.3f %8.2f %8.1f %8.1f\n", qPrintable(QStringLiteral("%1 codes").arg(codes)),
                    t, median(bare), ma, mb, t / ma, perRow[codes], peak[codes] / 1024.0);
    }
    std::printf("%-26s goals: tool/(a) <= 1.2; painting <= 5%%; peak +%.1f MB from 1,000 to 20,000 codes (< 10);\n"
                "%-26s        us/row at 200,000 = %.2f x that at 20,000 (<= 1.3)\n",
                "", (peak[20000] - peak[1000]) / 1024.0, "", perRow[200000] / perRow[20000]);
}

// The journal's share of the 20,000-code walk: the same journal the walk writes (the rowid, code,
// old and new flag of each row whose flag changes, flushed to disk, then closed with its outcome
// and the number of rows visited), on its own.
void journalRow(const QTemporaryDir &root)
{
    const QString database = root.filePath(QStringLiteral("walk20000/") + accountSetFileName(AccountSet, Year));
    QFile::remove(database);
    QFile::copy(root.filePath(QStringLiteral("chart20000.db")), database);
    std::vector<Row> rows, changed;
    std::vector<int> flags;
    {
        Sqlite s(database);
        rows = sortedCodes(s);
        sqlite3_stmt *read = s.prepare("select bend from code order by ccode");
        while (sqlite3_step(read) == SQLITE_ROW)
            flags.push_back(sqlite3_column_int(read, 0));
        sqlite3_finalize(read);
    }
    std::vector<repair::ChartCode> codes;
    for (const Row &row : rows)
        codes.push_back({QString::fromUtf8(row.code), true});
    const std::vector<bool> endLevel = repair::endLevelFlags(codes);
    for (std::size_t i = 0; i < rows.size(); ++i)
        if (flags[i] != int(endLevel[i]))
            changed.push_back(rows[i]);
    std::vector<double> journal, walk;
    for (int round = 0; round < 5; ++round) {
        const QString directory = root.filePath(QStringLiteral("journal%1").arg(round));
        QElapsedTimer timer;
        timer.start();
        {
            repair::RepairRecord record;
            record.database = QStringLiteral("LQDATA_001_2007");
            record.repair = QStringLiteral("end-flags");
            record.table = QStringLiteral("code");
            record.rowidName = QStringLiteral("rowid");
            record.changedColumns = {QStringLiteral("bend")};
            record.keyColumns = {QStringLiteral("ccode")};
            repair::Journal j(directory, record);
            for (const Row &row : changed)
                j.addRow({row.rowid, {QString::fromUtf8(row.code)}, {0}, {1}});
            j.setRowsVisited(qint64(rows.size()));
            j.flush();
            j.finish(QStringLiteral("completed"), qint64(rows.size()), qint64(changed.size()));
        }
        journal.push_back(timer.nsecsElapsed() / 1e9);
        QFile::remove(database);
        QFile::copy(root.filePath(QStringLiteral("chart20000.db")), database);
        walk.push_back(walkInChildProcess(root.filePath(QStringLiteral("walk20000"))).seconds);
    }
    const double w = median(walk), j = median(journal);
    std::printf("\n%-34s %10s %10s %14s\n", "journal, 20,000-code walk", "walk s", "journal s", "share");
    std::printf("%-34s %10.3f %10.3f %13.1f%%   goal <= 5%% (%zu of %zu rows journaled)\n", "", w, j, 100 * j / w,
                changed.size(), rows.size());
}

// A walk's start with many journals kept: the 1,000-code walk with an empty journal folder and
// with 5,000 earlier journals in it.
void journalsKeptRow(const QTemporaryDir &root)
{
    const QString dir = root.filePath(QStringLiteral("walk1000"));
    const QString database = dir + QLatin1Char('/') + accountSetFileName(AccountSet, Year);
    const QString journals = dir + QStringLiteral("/journal");
    const auto walkSeconds = [&] {
        std::vector<double> seconds;
        for (int round = 0; round < 5; ++round) {
            QFile::remove(database);
            QFile::copy(root.filePath(QStringLiteral("chart1000.db")), database);
            seconds.push_back(walkInChildProcess(dir).seconds);
        }
        return median(seconds);
    };
    QDir(journals).removeRecursively();
    const double none = walkSeconds();
    const QString sample = QDir(journals).filePath(QDir(journals).entryList({QStringLiteral("*.journal")}).value(0));
    for (int i = 0; i < 5000; ++i)
        QFile::copy(sample, QDir(journals).filePath(QStringLiteral("20200101-000000-000-%1.journal").arg(i + 2)));
    const double many = walkSeconds();
    std::printf("\n%-34s %10s %10s %14s\n", "1,000-code walk, journals kept", "none s", "5,000 s", "ratio");
    std::printf("%-34s %10.3f %10.3f %14.2f   goal <= 1.1\n", "", none, many, many / none);
}

// The read-only check of one database, as n3fix --check runs it.
void checkRow(const QTemporaryDir &root)
{
    const QString dir = root.filePath(QStringLiteral("walk20000"));
    QFile::remove(dir + QLatin1Char('/') + accountSetFileName(AccountSet, Year));
    QFile::copy(root.filePath(QStringLiteral("chart20000.db")), dir + QLatin1Char('/') + accountSetFileName(AccountSet, Year));
    ODBC::setEngine({db::EngineKind::Embedded, dir});
    std::vector<double> seconds;
    for (int round = 0; round < 5; ++round) {
        QElapsedTimer timer;
        timer.start();
        const repair::EndFlagCheck check = repair::checkEndFlags(QStringLiteral("LQDATA_001_2007"));
        seconds.push_back(timer.nsecsElapsed() / 1e9);
        if (!check.failure.isEmpty() || check.codes != 20000 || check.wrong.empty())
            qFatal("the check did not read the chart");
    }
    std::printf("\n%-34s %10.4f %10s\n", "check, 20,000 codes (median of 5)", median(seconds), "< 0.3");
}

// The CPU time this process has used: unlike the clock, not lengthened by other programs sharing
// the machine.
double processCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + now.tv_nsec / 1e9;
}

// Balances for every code of `chart` in twelve periods, as a ledger keeps them: each account's
// amounts are the sums of its direct sub-accounts', but for one period of every 1,000th account
// with sub-accounts, whose mb is off by 1. Returns the number of those disagreements.
int writeLedger(const QString &path, const QVector<ChartAccount> &chart)
{
    std::vector<repair::ChartCode> codes;
    for (const ChartAccount &account : chart)
        codes.push_back({account.code});
    const std::vector<qsizetype> parents = repair::directParents(codes);
    std::vector<std::size_t> longestFirst(chart.size());
    std::iota(longestFirst.begin(), longestFirst.end(), 0);
    std::stable_sort(longestFirst.begin(), longestFirst.end(),
                     [&chart](std::size_t a, std::size_t b) { return chart[int(a)].code.size() > chart[int(b)].code.size(); });
    std::vector<std::array<qint64, 36>> cents(chart.size());  // mb, md, mc of periods 1 to 12
    std::mt19937 rng(11);
    for (std::size_t i = 0; i < chart.size(); ++i)
        if (chart[int(i)].endLevel)
            for (qint64 &amount : cents[i])
                amount = rng() % 10000000;
    // An account's own 1.00 before the sums are taken: it differs from its sub-accounts, and its
    // own parent still agrees with it.
    int disagreements = 0, parentsSeen = 0;
    for (std::size_t i = 0; i < chart.size(); ++i)
        if (!chart[int(i)].endLevel && parentsSeen++ % 1000 == 0) {
            cents[i][3 * (i % 12)] = 100;
            ++disagreements;
        }
    for (const std::size_t i : longestFirst)  // sub-accounts before their parents
        if (parents[i] >= 0)
            for (std::size_t k = 0; k < 36; ++k)
                cents[std::size_t(parents[i])][k] += cents[i][k];

    Sqlite s(path);
    s.exec("DELETE FROM GL_accsum");
    s.exec("BEGIN");
    sqlite3_stmt *insert = s.prepare("INSERT INTO GL_accsum(ccode, iperiod, mb, md, mc) VALUES(?, ?, ?, ?, ?)");
    for (std::size_t i = 0; i < chart.size(); ++i) {
        const QByteArray code = chart[int(i)].code.toUtf8();
        for (int period = 1; period <= 12; ++period) {
            sqlite3_bind_text(insert, 1, code.constData(), int(code.size()), SQLITE_STATIC);
            sqlite3_bind_int(insert, 2, period);
            for (int column = 0; column < 3; ++column)
                sqlite3_bind_double(insert, 3 + column, cents[i][std::size_t(3 * (period - 1) + column)] / 100.0);
            if (sqlite3_step(insert) != SQLITE_DONE)
                qFatal("insert: %s", sqlite3_errmsg(s.db));
            sqlite3_reset(insert);
        }
    }
    sqlite3_finalize(insert);
    s.exec("COMMIT");
    return disagreements;
}

// The read-only balance check of one database, as n3fix --check-balances runs it: one read of the
// chart and one of the balances, for 20,000 and 200,000 codes of twelve periods each.
void balanceCheckRows(const QTemporaryDir &root)
{
    std::printf("\n%-34s %10s %10s %10s %10s %10s\n", "balance check, 12 periods", "rows", "seconds", "us/row",
                "cpu s", "cpu us/row");
    std::map<int, double> perRow, cpuPerRow;
    for (const int codes : {20000, 200000}) {
        const QString dir = root.filePath(QStringLiteral("ledger%1").arg(codes));
        QDir().mkpath(dir);
        const QVector<ChartAccount> chart = generateChart(codes, {4, 2, 2, 2});
        const QString path = dir + QLatin1Char('/') + accountSetFileName(AccountSet, Year);
        writeAccountSetDatabase(path, chart, 0, 7);
        const int disagreements = writeLedger(path, chart);
        ODBC::setEngine({db::EngineKind::Embedded, dir});
        std::vector<double> seconds, cpuSeconds;
        for (int round = 0; round < 3; ++round) {
            QElapsedTimer timer;
            timer.start();
            const double cpuBefore = processCpuSeconds();
            const repair::BalanceCheck check = repair::checkBalances(QStringLiteral("LQDATA_001_2007"));
            cpuSeconds.push_back(processCpuSeconds() - cpuBefore);
            seconds.push_back(timer.nsecsElapsed() / 1e9);
            if (!check.failure.isEmpty() || check.codes != codes || check.accounts != disagreements
                || check.periods != disagreements || !check.orphans.empty())
                qFatal("the balance check did not find the %d disagreements", disagreements);
        }
        const double rows = codes * 12.0;
        perRow[codes] = median(seconds) / rows * 1e6;
        cpuPerRow[codes] = median(cpuSeconds) / rows * 1e6;
        std::printf("%-34s %10.0f %10.3f %10.2f %10.3f %10.2f\n", qPrintable(QStringLiteral("%1 codes").arg(codes)), rows,
                    median(seconds), perRow[codes], median(cpuSeconds), cpuPerRow[codes]);
    }
    std::printf("%-34s goals: 20,000 codes < 1 s; us/row at 200,000 = %.2f x that at 20,000, in CPU time %.2f x (<= 1.3)\n",
                "", perRow[200000] / perRow[20000], cpuPerRow[200000] / cpuPerRow[20000]);
}

void listRows(const QTemporaryDir &root)
{
    const QString dir = root.filePath(QStringLiteral("sets2000"));
    QDir().mkpath(dir);
    writeSystemDatabaseWithSets(dir + QStringLiteral("/LQsystem.db"), 2000);
    ODBC::setEngine({db::EngineKind::Embedded, dir});
    MessageBox::showDataLayerMessages();
    MessageBox::setRecording(true);

    std::vector<double> startUp, oneMatch, allMatch;
    for (int run = 0; run < 5; ++run) {
        QElapsedTimer timer;
        timer.start();
        Form1 form;
        startUp.push_back(timer.nsecsElapsed() / 1e9);
        if (form.Combo3->count() != 2000)
            qFatal("the account-set list is not filled");
        form.show();
        form.Combo3->setEditText(QStringLiteral("123"));
        QTest::qWait(1);  // let the pick-detection flag of the programmatic change clear

        timer.restart();
        QTest::keyClick(form.Combo3->lineEdit(), Qt::Key_4);  // "1234": matches one entry
        oneMatch.push_back(timer.nsecsElapsed() / 1e9);

        QTest::keyClick(form.Combo3->lineEdit(), Qt::Key_A, Qt::ControlModifier);
        timer.restart();
        QTest::keyClick(form.Combo3->lineEdit(), Qt::Key_Delete);  // empty: matches all of them
        allMatch.push_back(timer.nsecsElapsed() / 1e9);
        if (form.Combo4->currentText() != QStringLiteral("2000"))
            qFatal("the cleared text did not match every entry");
    }
    std::printf("\n%-34s %10s %10s\n", "window, 2,000 account sets (median of 5)", "seconds", "goal");
    std::printf("%-34s %10.4f %10s\n", "start-up (Form1 to lists filled)", median(startUp), "< 0.3");
    std::printf("%-34s %10.4f %10s\n", "Combo3 keystroke, one match", median(oneMatch), "< 0.01");
    std::printf("%-34s %10.4f %10s\n", "Combo3 cleared, all match", median(allMatch), "< 0.2");
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() >= 3 && arguments.at(1) == QLatin1String("--walk"))
        return walkThroughTheWindow(arguments.at(2), !arguments.contains(QStringLiteral("--no-paint")));

    QTemporaryDir root;
    root.setAutoRemove(qEnvironmentVariableIsEmpty("N3BENCH_KEEP"));  // keep the data to profile a walk by hand
    std::printf("n3bench: SQLite %s, data in %s\n", sqlite3_libversion(), qPrintable(root.path()));
    if (arguments.contains(QStringLiteral("--balance-check"))) {
        balanceCheckRows(root);
        return 0;
    }
    if (arguments.contains(QStringLiteral("--journal-window"))) {
        journalWindowRows(root);
        return 0;
    }
    endFlagRows(root);
    journalRow(root);
    journalsKeptRow(root);
    checkRow(root);
    balanceCheckRows(root);
    listRows(root);
    journalWindowRows(root);
    return 0;
}
