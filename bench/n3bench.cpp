// Measures the end-flag repair, its journal, the command line, the check, the balance check,
// start-up and the account-set list against the engine's own floor, and prints one table. The
// end-flag repair and its journal are measured with their data in each folder given, side by side; by default the
// system's temporary folder (on disk) and /dev/shm (tmpfs, where a sync costs nothing and only the
// work is measured). Every figure is the median of several rounds, each round on a fresh copy of
// the same file; ratios are taken to the anchor measured in the same round, and their spread over
// the rounds is printed beside them. The window runs on Qt's offscreen platform unless
// QT_QPA_PLATFORM says otherwise (xvfb-run -a env QT_QPA_PLATFORM=xcb n3bench measures painting
// on a real X server).
//
//   n3bench [FOLDER ...]        run every measurement, with data in a new temporary folder inside
//                               each FOLDER (kept when N3BENCH_KEEP is set, to profile by hand)
//   n3bench --balance-check [FOLDER]
//                               only the balance check
//   n3bench --balance-recompute [FOLDER ...]
//                               only the recompute of parent accounts against the balance check,
//                               both as whole processes, with data in each FOLDER
//   n3bench --journal-window [FOLDER]
//                               only the journal window's
//   n3bench --end-flags [FOLDER ...]
//                               only the end-flag repair against its anchors, with 1,000,000 codes,
//                               and on the server's path
//   n3bench --server-walk [FOLDER ...]
//                               only the end-flag repair on the server's path against the plain
//                               ODBC walk, both as n3fix processes
//   n3bench --journal [FOLDER ...]
//                               only the journal's share of the 20,000-code walk
//   n3bench --walk-costs [FOLDER ...]
//                               only what a walk pays whatever its size: the walk against (c) at
//                               1,000 and 20,000 codes, walks that write a few rows, and the walk's
//                               phases (bench/WalkCostsBench)
//   n3bench --write-pauses [FOLDER]
//                               only the pauses a walk makes for other programs
//   n3bench --check-window [FOLDER]
//                               only the check-and-repair window's
//   n3bench --walk DIR [--no-paint | --no-window]
//                               (internal) one end-flag repair of account set 001, year 2007, in
//                               the data directory DIR, in a process of its own so that its peak
//                               memory is its own: through the window; with --no-paint the status
//                               line is hidden and never painted; with --no-window the repair runs
//                               without the window, as the command line runs it, with no progress
//   n3bench --floor a|b|c FILE  (internal) the anchor (a), (b) or (c) on the database FILE; own or
//                               log: the changed rows in the file's own journal mode, or in the log
//   n3bench --walk-phases DIR   (internal) one walk in DIR, its phases timed one by one
#include "CheckWindowBench.h"
#include "DatabaseCopy.h"
#include "JournalWindowBench.h"
#include "ReportBench.h"
#include "ServerWalkBench.h"
#include "WalkCostsBench.h"
#include "Measures.h"

#include "app/Form1.h"
#include "app/MessageBox.h"
#include "db/DbError.h"
#include "db/ODBC.h"
#include "db/RowByRowWrites.h"
#include "db/WritePauses.h"
#include "demo/DemoData.h"
#include "repair/BalanceCheck.h"
#include "repair/EndFlagChart.h"
#include "repair/EndFlagCheck.h"
#include "repair/EndFlagJournal.h"
#include "repair/EndFlagPlan.h"
#include "repair/EndFlagRepair.h"
#include "repair/EndFlagVerdict.h"
#include "repair/Journal.h"
#include "repair/PendingSettings.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <sqlite3.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <numeric>
#include <random>
#include <map>
#include <memory>

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
    int flag;
};

std::vector<Row> sortedCodes(const Sqlite &s)
{
    std::vector<Row> rows;
    sqlite3_stmt *walk = s.prepare("select rowid,ccode,bend from code order by ccode");
    while (sqlite3_step(walk) == SQLITE_ROW)
        rows.push_back({sqlite3_column_int64(walk, 0), QByteArray(reinterpret_cast<const char *>(sqlite3_column_text(walk, 1))),
                        sqlite3_column_int(walk, 2)});
    sqlite3_finalize(walk);
    return rows;
}

// Runs `work` on the file at `path` with the tool's settings for a walk, closing included:
// closing the last connection checkpoints the write-ahead log into the file, as the tool's walk
// does before it ends.
template <typename Work> void onFile(const QString &path, Work work)
{
    Sqlite s(path);
    s.exec("PRAGMA journal_mode=WAL");
    s.exec("PRAGMA synchronous=NORMAL");
    work(s);
}

// Whether a longer code begins with row i's code: in code order it is the next row's.
bool hasLongerCode(const std::vector<Row> &rows, std::size_t i)
{
    return i + 1 < rows.size() && rows[i + 1].code.startsWith(rows[i].code);
}

// Writes `flag` into the row read as `row`, committed on its own, only while the row still holds
// the code and flag it was read with: the guarded write the tool makes.
void guardedUpdate(const Sqlite &s, sqlite3_stmt *update, const Row &row, int flag)
{
    sqlite3_bind_int(update, 1, flag);
    sqlite3_bind_int64(update, 2, row.rowid);
    sqlite3_bind_text(update, 3, row.code.constData(), int(row.code.size()), SQLITE_STATIC);
    sqlite3_bind_int(update, 4, row.flag);
    if (sqlite3_step(update) != SQLITE_DONE || sqlite3_changes(s.db) != 1)
        qFatal("update: %s", sqlite3_errmsg(s.db));
    sqlite3_reset(update);
}

const QByteArray GuardedUpdateText = "update code set bend=? where rowid=? and ccode=? and bend=?";

// (a) A walk that asks for each row again: one sorted read, then for every row a SELECT by its
// rowid, and for a row whose flag is wrong the guarded UPDATE, committed on its own.
void perRowStatements(const Sqlite &s)
{
    const std::vector<Row> rows = sortedCodes(s);
    sqlite3_stmt *select = s.prepare("select ccode,bend from code where rowid=?");
    sqlite3_stmt *update = s.prepare(GuardedUpdateText);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        sqlite3_bind_int64(select, 1, rows[i].rowid);
        if (sqlite3_step(select) != SQLITE_ROW)
            qFatal("select: %s", sqlite3_errmsg(s.db));
        const Row now{rows[i].rowid,
                      QByteArray(reinterpret_cast<const char *>(sqlite3_column_text(select, 0)), sqlite3_column_bytes(select, 0)),
                      sqlite3_column_int(select, 1)};
        sqlite3_reset(select);
        if (const int flag = hasLongerCode(rows, i) ? 0 : 1; now.flag != flag)
            guardedUpdate(s, update, now, flag);
    }
    sqlite3_finalize(select);
    sqlite3_finalize(update);
}

// (c) The walk's floor: one sorted read, the flags worked out from neighbours in code order, and
// the guarded UPDATE, committed on its own, of the rows whose flag is wrong only.
void changedRowsOnly(const Sqlite &s)
{
    const std::vector<Row> rows = sortedCodes(s);
    sqlite3_stmt *update = s.prepare(GuardedUpdateText);
    for (std::size_t i = 0; i < rows.size(); ++i)
        if (const int flag = hasLongerCode(rows, i) ? 0 : 1; rows[i].flag != flag)
            guardedUpdate(s, update, rows[i], flag);
    sqlite3_finalize(update);
}

// (b) The job as one set-based statement in one transaction: each code's sub-accounts are the
// codes sorted right after it that begin with it, found by a range on the code's index.
void singleTransaction(const Sqlite &s)
{
    s.exec("BEGIN");
    s.exec("update code set bend=t.flag from (select c.rowid as id, not exists(select 1 from code b where"
           " b.ccode>c.ccode and b.ccode<c.ccode||char(1114111)) as flag from code c) t"
           " where code.rowid=t.id and code.bend is not t.flag");
    s.exec("COMMIT");
}

// --- the tool ----------------------------------------------------------------------------------

// The most memory this process has held, in KB. Read from /proc rather than getrusage, whose
// figure a child inherits from the parent that started it.
long peakMemoryKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly))
        for (const QByteArray &line : status.readAll().split('\n'))
            if (line.startsWith("VmHWM:"))
                return line.mid(6).trimmed().split(' ').value(0).toLong();
    return 0;
}

// Prints the seconds `work` took on the clock and of processor time, and the process's peak
// memory in KB, as the parent reads them.
template <typename Work> int printTimed(Work work)
{
    const double processorAtStart = processorSeconds();
    QElapsedTimer timer;
    timer.start();
    work();
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    std::printf("%.6f %.6f %ld\n", seconds, processorSeconds() - processorAtStart, peakMemoryKb());
    return 0;
}

// Progress that shows nothing and never stops the walk: the repair as the command line runs it
// when standard error is not a terminal.
class NoProgress : public repair::EndFlagProgress {
public:
    void rowStarted(const QString &) override {}
    bool rowDone() override { return true; }
};

enum class WalkKind { Window, WindowNoPaint, NoWindow };

// One end-flag repair on `dir`, timed: through the window (one press of 彻底根除, with the
// account set and year chosen and the window painted, as a person presses it) or without it.
int timedWalk(const QString &dir, WalkKind kind)
{
    ODBC::setEngine({db::EngineKind::Embedded, dir});
    if (kind == WalkKind::NoWindow) {
        return printTimed([] {
            NoProgress progress;
            try {
                if (repair::repairEndFlags(AccountSet, QString::number(Year), progress).result != repair::RunResult::Completed)
                    qFatal("the walk did not complete");
            } catch (const db::DbError &error) {
                qFatal("the walk could not begin: %s", qPrintable(error.description()));
            }
        });
    }
    MessageBox::setRecording(true);
    Form1 form;
    form.show();
    form.Combo3->setEditText(AccountSet);
    form.Combo5->setEditText(QString::number(Year));
    if (!QTest::qWaitForWindowExposed(&form))
        qFatal("the window was not shown");
    QTest::qWait(50);
    form.Label1->setVisible(kind == WalkKind::Window);
    const int status = printTimed([&form] { QTest::mouseClick(form.Command2, Qt::LeftButton); });
    if (form.Label1->text() != QStringLiteral("修复完毕复") || !MessageBox::takeShown().isEmpty())
        qFatal("the walk did not complete");
    return status;
}

struct Figures {
    double seconds;    // on the clock
    double processor;  // of processor time
    long peakKb;
};

// Runs this program again with `arguments` and reads the figures it prints.
Figures measuredInChildProcess(const QStringList &arguments)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), arguments);
    if (!child.waitForFinished(600000) || child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0)
        qFatal("the measurement %s failed", qPrintable(arguments.join(QLatin1Char(' '))));
    const QList<QByteArray> figures = child.readAllStandardOutput().trimmed().split(' ');
    return {figures.value(0).toDouble(), figures.value(1).toDouble(), figures.value(2).toLong()};
}

Figures walkInChildProcess(const QString &dir, WalkKind kind)
{
    QStringList arguments{QStringLiteral("--walk"), dir};
    if (kind == WalkKind::WindowNoPaint)
        arguments << QStringLiteral("--no-paint");
    if (kind == WalkKind::NoWindow)
        arguments << QStringLiteral("--no-window");
    return measuredInChildProcess(arguments);
}

Figures floorInChildProcess(const char *which, const QString &file)
{
    return measuredInChildProcess({QStringLiteral("--floor"), QLatin1String(which), file});
}

// The whole command-line process repairing account set 001, year 2007 in `dir`, start to exit.
Figures commandLineFigures(const QString &dir)
{
    QProcess n3fix;
    n3fix.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    const double processorAtStart = processorSeconds(RUSAGE_CHILDREN);
    QElapsedTimer timer;
    timer.start();
    n3fix.start(QStringLiteral(N3FIX),
                {QStringLiteral("--repair-end-flags"), QStringLiteral("--data-dir"), dir, QStringLiteral("--account-set"),
                 AccountSet, QStringLiteral("--year"), QString::number(Year)});
    if (!n3fix.waitForFinished(600000) || n3fix.exitStatus() != QProcess::NormalExit || n3fix.exitCode() != 0)
        qFatal("n3fix --repair-end-flags failed");
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    return {seconds, processorSeconds(RUSAGE_CHILDREN) - processorAtStart, 0};
}

void writeSystemDatabaseWithSets(const QString &path, int count)
{
    QVector<DemoAccountSet> sets;
    for (int i = 1; i <= count; ++i)
        sets.append({QStringLiteral("%1").arg(i, 3, 10, QLatin1Char('0')), QStringLiteral("公司%1").arg(i), {2006, 2007}, {}});
    writeSystemDatabase(path, sets);
}

// Each round's `part` as a share of `whole`, in per cent.
std::vector<double> sharesOf(const std::vector<double> &part, const std::vector<double> &whole)
{
    std::vector<double> shares;
    for (std::size_t i = 0; i < part.size(); ++i)
        shares.push_back(100.0 * part[i] / whole[i]);
    return shares;
}

// The data of one measured place: the folder and the name it is shown under.
struct Place {
    QString name;
    std::unique_ptr<QTemporaryDir> root;
};

// What the end-flag rows learnt of one place, by the clock and in processor time, for the lines
// of goals under the table.
struct PlaceSummary {
    struct Measure {
        std::map<int, double> walkPerC, walkPerA, perRow;
        double windowPerWalk = 0, commandLinePerWalk = 0;
    } clock, processor;
    std::map<int, long> peakKb;
};

const int ChartSizes[] = {1000, 20000, 200000};

// The master copy of a chart of `codes` codes in `place`, and the data directory its walks use.
QString chartMaster(const Place &place, int codes)
{
    return place.root->filePath(QStringLiteral("chart%1.db").arg(codes));
}

QString walkDirectory(const Place &place, int codes)
{
    return place.root->filePath(QStringLiteral("walk%1").arg(codes));
}

// The charts of the first `sizes` of ChartSizes.
void writeCharts(const Place &place, std::size_t sizes)
{
    for (const int codes : std::vector<int>(std::begin(ChartSizes), std::begin(ChartSizes) + sizes)) {
        const QString dir = walkDirectory(place, codes);
        QDir().mkpath(dir);
        writeSystemDatabaseWithSets(dir + QStringLiteral("/LQsystem.db"), 1);
        writeAccountSetDatabase(chartMaster(place, codes), generateChart(codes, {4, 2, 2, 2}), 0.1, 7);
    }
}

// The walk's measures, one per round, by the clock or in processor time.
struct Rounds {
    std::vector<double> tool, noPaint, noWindow, commandLine, a, b, c;
    void add(const Figures &tool_, const Figures &noPaint_, const Figures &noWindow_, const Figures &commandLine_,
             const Figures &a_, const Figures &b_, const Figures &c_, double Figures::*measure)
    {
        c.push_back(c_.*measure);
        tool.push_back(tool_.*measure);
        noPaint.push_back(noPaint_.*measure);
        noWindow.push_back(noWindow_.*measure);
        commandLine.push_back(commandLine_.*measure);
        a.push_back(a_.*measure);
        b.push_back(b_.*measure);
    }
};

// Prints one line of the end-flag table and notes what the goals need.
void printEndFlagLine(int codes, const QString &place, const char *measureName, const Rounds &r, PlaceSummary::Measure &summary,
                      long peakKb)
{
    const std::vector<double> walkPerC = ratiosOf(r.noWindow, r.c);
    const std::vector<double> walkPerA = ratiosOf(r.noWindow, r.a);
    const std::vector<double> windowPerWalk = ratiosOf(r.tool, r.noWindow);
    const std::vector<double> commandLinePerWalk = ratiosOf(r.commandLine, r.noWindow);
    summary.walkPerC[codes] = median(walkPerC);
    summary.walkPerA[codes] = median(walkPerA);
    summary.perRow[codes] = median(r.tool) / codes * 1e6;
    if (codes == 200000) {
        summary.windowPerWalk = median(windowPerWalk);
        summary.commandLinePerWalk = median(commandLinePerWalk);
    }
    std::printf("%-7d %-6s %-9s %7.3f %7.3f %7.3f %7.3f %7.3f %-17s %-17s %-17s %-17s %6.1f %7.1f\n", codes, qPrintable(place),
                measureName, median(r.tool), median(r.noWindow), median(r.a), median(r.c), median(r.b),
                qPrintable(medianAndSpread(walkPerC, "%.2f")), qPrintable(medianAndSpread(walkPerA, "%.2f")),
                qPrintable(medianAndSpread(windowPerWalk, "%.2f")), qPrintable(medianAndSpread(commandLinePerWalk, "%.2f")),
                summary.perRow[codes], double(peakKb) / 1024.0);
}

// Two lines of the end-flag table, by the clock and in processor time: the walk of a chart of
// `codes` codes in `place`, through the window, without painting, without the window and through
// the command line, and the anchors (a), (b) and (c), each round in turn on a fresh copy.
void endFlagRow(const Place &place, int codes, PlaceSummary &summary)
{
    const int rounds = codes > 20000 ? 3 : 5;
    const QString dir = walkDirectory(place, codes);
    const QString master = chartMaster(place, codes);
    const QString database = dir + QLatin1Char('/') + accountSetFileName(AccountSet, Year);
    const QString copy = place.root->filePath(QStringLiteral("copy.db"));
    Rounds clock, processor;
    long peak = 0;
    for (int round = 0; round < rounds; ++round) {
        freshCopy(master, database);
        const Figures tool = walkInChildProcess(dir, WalkKind::Window);
        freshCopy(master, database);
        const Figures noPaint = walkInChildProcess(dir, WalkKind::WindowNoPaint);
        freshCopy(master, database);
        const Figures noWindow = walkInChildProcess(dir, WalkKind::NoWindow);
        freshCopy(master, database);
        const Figures commandLine = commandLineFigures(dir);
        freshCopy(master, copy);
        const Figures a = floorInChildProcess("a", copy);
        freshCopy(master, copy);
        const Figures b = floorInChildProcess("b", copy);
        freshCopy(master, copy);
        const Figures c = floorInChildProcess("c", copy);
        clock.add(tool, noPaint, noWindow, commandLine, a, b, c, &Figures::seconds);
        processor.add(tool, noPaint, noWindow, commandLine, a, b, c, &Figures::processor);
        peak = std::max(peak, tool.peakKb);
    }
    summary.peakKb[codes] = peak;
    printEndFlagLine(codes, place.name, "clock", clock, summary.clock, peak);
    printEndFlagLine(codes, place.name, "processor", processor, summary.processor, peak);
    std::fflush(stdout);
}

// Whether one place met the goals by one measure, with the figures that decide it.
void printGoals(const QString &place, const char *measureName, const PlaceSummary::Measure &s)
{
    const bool met = s.walkPerC.at(1000) <= 2.0 && s.walkPerC.at(200000) <= 1.5 && s.windowPerWalk <= 1.10;
    std::printf("%-6s %-9s walk/(c) %.2f %.2f %.2f; walk/(a) %.2f %.2f %.2f; window/walk %.2f: %s\n", qPrintable(place),
                measureName, s.walkPerC.at(1000), s.walkPerC.at(20000), s.walkPerC.at(200000), s.walkPerA.at(1000),
                s.walkPerA.at(20000), s.walkPerA.at(200000), s.windowPerWalk, met ? "met" : "NOT met");
}

void endFlagRows(const std::vector<Place> &places)
{
    std::printf("\nend-flag repair, chart 4-2-2-2, 10%% of flags wrong: medians of 5 rounds (3 at 200,000 codes),\n"
                "[smallest-largest]; tool: through the window; walk: without it, as the command line runs it;\n"
                "(a) a SELECT by rowid a row, and the guarded UPDATE and commit of the changed rows only;\n"
                "(c) one sorted read, and the guarded UPDATE and commit of the changed rows only;\n"
                "(b) one set-based UPDATE in one transaction;\n"
                "processor: user and system time of the process, which other programs on the machine hardly move\n"
                "%-7s %-6s %-9s %7s %7s %7s %7s %7s %-17s %-17s %-17s %-17s %6s %7s\n",
                "codes", "where", "measure", "tool s", "walk s", "(a) s", "(c) s", "(b) s", "walk/(c)", "walk/(a)", "window/walk",
                "cmd line/walk", "us/row", "peak MB");
    std::vector<PlaceSummary> summaries(places.size());
    for (const int codes : ChartSizes)
        for (std::size_t i = 0; i < places.size(); ++i)
            endFlagRow(places[i], codes, summaries[i]);
    std::printf("goals: walk/(c) <= 2 at 1,000 codes (start-up counts) and <= 1.5 at 200,000; the window's walk\n"
                "       at most 10%% above the walk without it at 200,000 (cmd line: the whole process)\n");
    for (std::size_t i = 0; i < places.size(); ++i) {
        printGoals(places[i].name, "clock", summaries[i].clock);
        printGoals(places[i].name, "processor", summaries[i].processor);
    }
}

// The walk of a chart of 1,000,000 codes in `place`, without the window, against the anchor (c)
// in the same round, with 10% of its flags wrong and with every flag wrong: time and peak memory.
void millionCodesRows(const Place &place)
{
    const int codes = 1000000;
    const QString dir = place.root->filePath(QStringLiteral("walk-million"));
    const QString database = dir + QLatin1Char('/') + accountSetFileName(AccountSet, Year);
    const QString copy = place.root->filePath(QStringLiteral("copy.db"));
    QDir().mkpath(dir);
    writeSystemDatabaseWithSets(dir + QStringLiteral("/LQsystem.db"), 1);
    std::printf("\n1,000,000 codes in %s, without the window: medians of 3 rounds, [smallest-largest]\n"
                "%-12s %7s %7s %-17s %8s %8s %s\n",
                qPrintable(place.name), "wrong flags", "walk s", "(c) s", "walk/(c)", "peak MB", "(c) MB", "goal");
    const QVector<ChartAccount> chart = generateChart(codes, {4, 2, 2, 2});
    for (const double share : {0.1, 1.0}) {
        const QString master = place.root->filePath(QStringLiteral("million.db"));
        QFile::remove(master);
        writeAccountSetDatabase(master, chart, share, 7);
        std::vector<double> walk, anchor;
        long peak = 0, anchorPeak = 0;
        for (int round = 0; round < 3; ++round) {
            freshCopy(master, database);
            const Figures tool = walkInChildProcess(dir, WalkKind::NoWindow);
            freshCopy(master, copy);
            const Figures c = floorInChildProcess("c", copy);
            walk.push_back(tool.seconds);
            anchor.push_back(c.seconds);
            peak = std::max(peak, tool.peakKb);
            anchorPeak = std::max(anchorPeak, c.peakKb);
        }
        const double goalMb = share < 0.5 ? 100 : 150;
        const std::vector<double> ratios = ratiosOf(walk, anchor);
        std::printf("%-12s %7.3f %7.3f %-17s %8.1f %8.1f walk/(c) <= 1.5, peak <= %.0f MB: %s\n", share < 0.5 ? "10%" : "all",
                    median(walk), median(anchor), qPrintable(medianAndSpread(ratios, "%.2f")), double(peak) / 1024.0,
                    double(anchorPeak) / 1024.0, goalMb,
                    median(ratios) <= 1.5 && double(peak) / 1024.0 <= goalMb ? "met" : "NOT met");
        std::fflush(stdout);
        QFile::remove(master);
    }
}

// The journal's share of the 20,000-code walk in `place`, by the clock and in processor time:
// the journal the walk writes (every row whose flag changes, with all it holds, flushed to disk,
// then closed with its outcome), written by the walk's own code on its own, against the walk
// through the window in the same round.
void journalRow(const Place &place)
{
    const QString dir = walkDirectory(place, 20000);
    const QString database = dir + QLatin1Char('/') + accountSetFileName(AccountSet, Year);
    const QString databaseName = ODBC::accountSetDatabaseName(AccountSet, QString::number(Year));
    std::vector<double> journalClock, journalProcessor, walkClock, walkProcessor;
    std::size_t journaled = 0, codes = 0;
    for (int round = 0; round < 5; ++round) {
        freshCopy(chartMaster(place, 20000), database);
        ODBC::setEngine({db::EngineKind::Embedded, dir});
        {
            const std::shared_ptr<db::Connection> connection = ODBC::openConnection(databaseName, false);
            const repair::EndFlagChart chart = repair::EndFlagChart::read(connection, true);
            const std::vector<std::int8_t> right = repair::rightEndFlags(connection, chart);
            db::RowByRowWrites writes(connection);
            codes = chart.size();
            journaled = 0;
            for (std::size_t i = 0; i < chart.size(); ++i)
                journaled += std::size_t(repair::walkWrites(chart, i, right[i]));
            const double processorAtStart = processorSeconds();
            QElapsedTimer timer;
            timer.start();
            const std::unique_ptr<repair::Journal> journal =
                repair::writeEndFlagJournal(connection, databaseName, AccountSet, QString::number(Year), chart, right, writes);
            journal->finish(repair::Outcome::Completed, qint64(codes), qint64(journaled));
            journalClock.push_back(double(timer.nsecsElapsed()) / 1e9);
            journalProcessor.push_back(processorSeconds() - processorAtStart);
            writes.finish();
            repair::settlePendingSettings(repair::journalDirectory(), journal->record());
        }
        freshCopy(chartMaster(place, 20000), database);
        const Figures walk = walkInChildProcess(dir, WalkKind::Window);
        walkClock.push_back(walk.seconds);
        walkProcessor.push_back(walk.processor);
    }
    std::printf("%-26s %-6s %-9s %7.3f %7.3f %s   goal <= 5%%\n", "journal, 20,000-code walk", qPrintable(place.name), "clock",
                median(walkClock), median(journalClock), qPrintable(medianAndSpread(sharesOf(journalClock, walkClock), "%.1f")));
    std::printf("%-26s %-6s %-9s %7.3f %7.3f %s   (%zu of %zu rows journaled)\n", "", qPrintable(place.name), "processor",
                median(walkProcessor), median(journalProcessor),
                qPrintable(medianAndSpread(sharesOf(journalProcessor, walkProcessor), "%.1f")), journaled, codes);
}

// A walk's start with many journals kept: the 1,000-code walk through the window in `place` with
// an empty journal folder and with 5,000 earlier journals in it, in processor time.
void journalsKeptRow(const Place &place)
{
    const QString dir = walkDirectory(place, 1000);
    const QString database = dir + QLatin1Char('/') + accountSetFileName(AccountSet, Year);
    const QString journals = dir + QStringLiteral("/journal");
    const auto walkSeconds = [&] {
        std::vector<double> seconds;
        for (int round = 0; round < 5; ++round) {
            QFile::remove(database);
            copyDatabase(chartMaster(place, 1000), database);
            seconds.push_back(walkInChildProcess(dir, WalkKind::Window).processor);
        }
        return median(seconds);
    };
    QDir(journals).removeRecursively();
    const double none = walkSeconds();
    const QString sample = QDir(journals).filePath(QDir(journals).entryList({QStringLiteral("*.journal")}).value(0));
    for (int i = 0; i < 5000; ++i)
        copyDatabase(sample, QDir(journals).filePath(QStringLiteral("20200101-000000-000-%1.journal").arg(i + 2)));
    const double many = walkSeconds();
    std::printf("\n%-34s %-6s %8s %8s %8s\n", "1,000-code walk, journals kept", "where", "none s", "5,000 s", "ratio");
    std::printf("%-34s %-6s %8.3f %8.3f %8.2f   goal <= 1.1\n", "", qPrintable(place.name), none, many, many / none);
}

// The read-only check of one database, as n3fix --check runs it.
void checkRow(const Place &place)
{
    const QString dir = walkDirectory(place, 20000);
    freshCopy(chartMaster(place, 20000), dir + QLatin1Char('/') + accountSetFileName(AccountSet, Year));
    ODBC::setEngine({db::EngineKind::Embedded, dir});
    std::vector<double> seconds;
    for (int round = 0; round < 5; ++round) {
        QElapsedTimer timer;
        timer.start();
        const repair::EndFlagCheck check = repair::checkEndFlags(QStringLiteral("LQDATA_001_2007"));
        seconds.push_back(double(timer.nsecsElapsed()) / 1e9);
        if (!check.failure.isEmpty() || check.codes != 20000 || check.wrong.empty())
            qFatal("the check did not read the chart");
    }
    std::printf("\n%-34s %-6s %8.4f %8s\n", "check, 20,000 codes (median of 5)", qPrintable(place.name), median(seconds), "< 0.3");
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
    for (std::size_t i = 0; i < std::size_t(chart.size()); ++i)
        if (chart[int(i)].endLevel)
            for (qint64 &amount : cents[i])
                amount = rng() % 10000000;
    // An account's own 1.00 before the sums are taken: it differs from its sub-accounts, and its
    // own parent still agrees with it.
    int disagreements = 0, parentsSeen = 0;
    for (std::size_t i = 0; i < std::size_t(chart.size()); ++i)
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
    for (std::size_t i = 0; i < std::size_t(chart.size()); ++i) {
        const QByteArray code = chart[int(i)].code.toUtf8();
        for (int period = 1; period <= 12; ++period) {
            sqlite3_bind_text(insert, 1, code.constData(), int(code.size()), SQLITE_STATIC);
            sqlite3_bind_int(insert, 2, period);
            for (int column = 0; column < 3; ++column)
                sqlite3_bind_double(insert, 3 + column,
                                    double(cents[i][std::size_t(3) * std::size_t(period - 1) + std::size_t(column)]) / 100.0);
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
void balanceCheckRows(const Place &place)
{
    std::printf("\n%-34s %10s %10s %10s %10s %10s\n", "balance check, 12 periods", "rows", "seconds", "us/row", "cpu s",
                "cpu us/row");
    std::map<int, double> perRow, cpuPerRow;
    for (const int codes : {20000, 200000}) {
        const QString dir = place.root->filePath(QStringLiteral("ledger%1").arg(codes));
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
            const double cpuBefore = processorSeconds();
            const repair::BalanceCheck check = repair::checkBalances(QStringLiteral("LQDATA_001_2007"));
            cpuSeconds.push_back(processorSeconds() - cpuBefore);
            seconds.push_back(double(timer.nsecsElapsed()) / 1e9);
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
    std::printf("%-34s goals: 20,000 codes < 1 s; us/row at 200,000 = %.2f x that at 20,000, in CPU time %.2f x (<= 1.3)\n", "",
                perRow[200000] / perRow[20000], cpuPerRow[200000] / cpuPerRow[20000]);
}

// One run of n3fix with `arguments` as a process of its own, start to exit: its time on the clock,
// its processor time and its own peak memory.
Figures n3fixProcessFigures(const QStringList &arguments, int expectedStatus)
{
    std::vector<QByteArray> texts{QByteArray(N3FIX)};
    for (const QString &argument : arguments)
        texts.push_back(argument.toLocal8Bit());
    std::vector<char *> argv;
    argv.reserve(texts.size() + 1);
    for (QByteArray &text : texts)
        argv.push_back(text.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    QElapsedTimer timer;
    timer.start();
    pid_t pid = 0;
    if (posix_spawn(&pid, N3FIX, &actions, nullptr, argv.data(), environ) != 0)
        qFatal("cannot start n3fix");
    posix_spawn_file_actions_destroy(&actions);
    // The child's own high-water mark, read until it ends: wait4's ru_maxrss starts from the
    // memory of the process that spawned it.
    const QString statusFile = QStringLiteral("/proc/%1/status").arg(pid);
    long peakKb = 0;
    int status = 0;
    rusage usage{};
    pid_t ended = 0;
    while ((ended = wait4(pid, &status, WNOHANG, &usage)) == 0) {
        QFile file(statusFile);
        if (file.open(QIODevice::ReadOnly))
            for (const QByteArray &line : file.readAll().split('\n'))
                if (line.startsWith("VmHWM:"))
                    peakKb = std::max(peakKb, line.mid(6).trimmed().split(' ').value(0).toLong());
        ::usleep(2000);
    }
    if (ended != pid || !WIFEXITED(status) || WEXITSTATUS(status) != expectedStatus)
        qFatal("n3fix %s did not end with status %d", qPrintable(arguments.join(QLatin1Char(' '))), expectedStatus);
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    const double processor =
        double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    return {seconds, processor, peakKb};
}

// The recompute of parent accounts, n3fix --recompute-balances, against n3fix --check-balances on
// the same data, both as whole processes, in `place`: 20,000 and 200,000 codes of twelve periods,
// one account with sub-accounts in every 1,000 off in one period. Each round runs both on a fresh
// copy of the same file, the check first.
void balanceRecomputeRows(const Place &place, std::map<int, long> &peakKb)
{
    std::printf("\n%-24s %-6s %10s %-9s %8s %8s %-17s %9s %9s\n", "recompute vs check", "where", "rows", "measure", "check s",
                "recomp s", "recompute/check", "check MB", "recomp MB");
    for (const int codes : {20000, 200000}) {
        const QString dir = place.root->filePath(QStringLiteral("recompute%1").arg(codes));
        QDir().mkpath(dir);
        writeSystemDatabaseWithSets(dir + QStringLiteral("/LQsystem.db"), 1);
        const QString master = place.root->filePath(QStringLiteral("ledger-master%1.db").arg(codes));
        const QVector<ChartAccount> chart = generateChart(codes, {4, 2, 2, 2});
        writeAccountSetDatabase(master, chart, 0, 7);
        writeLedger(master, chart);
        const QString database = dir + QLatin1Char('/') + accountSetFileName(AccountSet, Year);
        const QStringList selection{QStringLiteral("--data-dir"),    dir,
                                    QStringLiteral("--account-set"), AccountSet,
                                    QStringLiteral("--year"),        QString::number(Year)};
        std::vector<double> checkClock, recomputeClock, checkCpu, recomputeCpu;
        long checkPeak = 0, recomputePeak = 0;
        for (int round = 0; round < (codes > 20000 ? 3 : 5); ++round) {
            freshCopy(master, database);
            const Figures check = n3fixProcessFigures(QStringList{QStringLiteral("--check-balances")} + selection, 1);
            const Figures recompute = n3fixProcessFigures(QStringList{QStringLiteral("--recompute-balances")} + selection, 0);
            checkClock.push_back(check.seconds);
            recomputeClock.push_back(recompute.seconds);
            checkCpu.push_back(check.processor);
            recomputeCpu.push_back(recompute.processor);
            checkPeak = std::max(checkPeak, check.peakKb);
            recomputePeak = std::max(recomputePeak, recompute.peakKb);
        }
        peakKb[codes] = recomputePeak;
        const QString rows = QString::number(codes * 12);
        std::printf("%-24s %-6s %10s %-9s %8.3f %8.3f %-17s %9.1f %9.1f\n", "", qPrintable(place.name), qPrintable(rows), "clock",
                    median(checkClock), median(recomputeClock),
                    qPrintable(medianAndSpread(ratiosOf(recomputeClock, checkClock), "%.2f")), double(checkPeak) / 1024.0,
                    double(recomputePeak) / 1024.0);
        std::printf("%-24s %-6s %10s %-9s %8.3f %8.3f %-17s\n", "", qPrintable(place.name), qPrintable(rows), "processor",
                    median(checkCpu), median(recomputeCpu), qPrintable(medianAndSpread(ratiosOf(recomputeCpu, checkCpu), "%.2f")));
        std::fflush(stdout);
    }
}

void balanceRecomputeTable(const std::vector<Place> &places)
{
    for (const Place &place : places) {
        std::map<int, long> peakKb;
        balanceRecomputeRows(place, peakKb);
        // Memory linear in the rows: what each row added from 20,000 to 200,000 codes costs.
        const double rowsAdded = (200000 - 20000) * 12.0;
        std::printf("%-24s %-6s goals: recompute/check <= 3 at 20,000 codes; memory linear in rows: %.0f bytes a row "
                    "added from 20,000 to 200,000 codes\n",
                    "", qPrintable(place.name), double(peakKb[200000] - peakKb[20000]) * 1024.0 / rowsAdded);
    }
}

// The pauses a walk makes for other programs that write (db::WritePauses): what rowWritten()
// costs a row, and what the pauses cost a walk long enough to have them: 6.5 s of rows of the
// 200,000-code walk's pace (7 us of work each), their share of the clock. A pause is a sleep, so
// it costs no processor time.
void writePausesRow(const Place &place)
{
    const QString dir = walkDirectory(place, 1000);
    freshCopy(chartMaster(place, 1000), dir + QLatin1Char('/') + accountSetFileName(AccountSet, Year));
    ODBC::setEngine({db::EngineKind::Embedded, dir});
    const std::shared_ptr<db::Connection> connection = ODBC::openConnection(QStringLiteral("LQDATA_001_2007"), true);
    const int calls = 10000000;  // well within the 2 s before a first pause
    db::WritePauses unpaused(*connection);
    double cpu = processorSeconds();
    for (int i = 0; i < calls; ++i)
        unpaused.rowWritten();
    const double perCallNs = (processorSeconds() - cpu) / calls * 1e9;

    db::WritePauses pauses(*connection);
    QElapsedTimer clock, work;
    clock.start();
    qint64 pausedNs = 0;
    int paused = 0;
    while (clock.elapsed() < 6500) {
        for (work.start(); work.nsecsElapsed() < 7000;) {
        }
        const qint64 before = clock.nsecsElapsed();
        pauses.rowWritten();
        // a pause, not a look at the clock the scheduler happened to hold up
        if (const qint64 took = clock.nsecsElapsed() - before; took > db::WritePauses::PauseMs * 500000LL) {
            pausedNs += took;
            ++paused;
        }
    }
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    std::printf("\nwrite pauses (%d ms after every %d ms of writing): rowWritten() %.2f ns of processor time a row\n"
                "(%.3f%% of a 7 us row); over %.2f s of rows, %d pauses, %.3f s asleep: %.1f%% of the clock (a walk\n"
                "under 2 s never pauses)\n",
                db::WritePauses::PauseMs, db::WritePauses::IntervalMs, perCallNs, perCallNs / 70, seconds, paused,
                double(pausedNs) / 1e9, double(pausedNs) / 1e7 / seconds);
}

void listRows(const Place &place)
{
    const QString dir = place.root->filePath(QStringLiteral("sets2000"));
    QDir().mkpath(dir);
    writeSystemDatabaseWithSets(dir + QStringLiteral("/LQsystem.db"), 2000);
    ODBC::setEngine({db::EngineKind::Embedded, dir});
    MessageBox::setRecording(true);

    std::vector<double> startUp, oneMatch, allMatch;
    for (int run = 0; run < 5; ++run) {
        QElapsedTimer timer;
        timer.start();
        Form1 form;
        startUp.push_back(double(timer.nsecsElapsed()) / 1e9);
        if (form.Combo3->count() != 2000)
            qFatal("the account-set list is not filled");
        form.show();
        form.Combo3->setEditText(QStringLiteral("123"));
        QTest::qWait(1);  // let the pick-detection flag of the programmatic change clear

        timer.restart();
        QTest::keyClick(form.Combo3->lineEdit(), Qt::Key_4);  // "1234": matches one entry
        oneMatch.push_back(double(timer.nsecsElapsed()) / 1e9);

        QTest::keyClick(form.Combo3->lineEdit(), Qt::Key_A, Qt::ControlModifier);
        timer.restart();
        QTest::keyClick(form.Combo3->lineEdit(), Qt::Key_Delete);  // empty: matches all of them
        allMatch.push_back(double(timer.nsecsElapsed()) / 1e9);
        if (form.Combo4->currentText() != QStringLiteral("2000"))
            qFatal("the cleared text did not match every entry");
    }
    std::printf("\n%-34s %10s %10s\n", "window, 2,000 account sets (median of 5)", "seconds", "goal");
    std::printf("%-34s %10.4f %10s\n", "start-up (Form1 to lists filled)", median(startUp), "< 0.3");
    std::printf("%-34s %10.4f %10s\n", "Combo3 keystroke, one match", median(oneMatch), "< 0.01");
    std::printf("%-34s %10.4f %10s\n", "Combo3 cleared, all match", median(allMatch), "< 0.2");
}

}  // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() >= 3 && arguments.at(1) == QLatin1String("--walk")) {
        const WalkKind kind = arguments.contains(QStringLiteral("--no-window"))  ? WalkKind::NoWindow
                              : arguments.contains(QStringLiteral("--no-paint")) ? WalkKind::WindowNoPaint
                                                                                 : WalkKind::Window;
        return timedWalk(arguments.at(2), kind);
    }
    if (arguments.size() == 3 && arguments.at(1) == QLatin1String("--walk-phases"))
        return walkPhasesChild(arguments.at(2));
    if (arguments.size() == 4 && arguments.at(1) == QLatin1String("--floor")) {
        const QString &file = arguments.at(3);
        if (arguments.at(2) == QLatin1String("own") || arguments.at(2) == QLatin1String("log"))
            return ownOrLogFloorChild(arguments.at(2), file);
        if (arguments.at(2) == QLatin1String("a"))
            return printTimed([&file] { onFile(file, perRowStatements); });
        if (arguments.at(2) == QLatin1String("c"))
            return printTimed([&file] { onFile(file, changedRowsOnly); });
        return printTimed([&file] { onFile(file, singleTransaction); });
    }

    const bool onlyWritePauses = arguments.contains(QStringLiteral("--write-pauses"));
    const bool onlyBalanceCheck = arguments.contains(QStringLiteral("--balance-check"));
    const bool onlyRecompute = arguments.contains(QStringLiteral("--balance-recompute"));
    const bool onlyJournalWindow = arguments.contains(QStringLiteral("--journal-window"));
    const bool onlyCheckWindow = arguments.contains(QStringLiteral("--check-window"));
    const bool onlyEndFlags = arguments.contains(QStringLiteral("--end-flags"));
    const bool onlyJournal = arguments.contains(QStringLiteral("--journal"));
    const bool onlyReports = arguments.contains(QStringLiteral("--reports"));
    const bool onlyServerWalk = arguments.contains(QStringLiteral("--server-walk"));
    const bool onlyWalkCosts = arguments.contains(QStringLiteral("--walk-costs"));
    QStringList folders = arguments.mid(1);
    folders.removeAll(QStringLiteral("--balance-check"));
    folders.removeAll(QStringLiteral("--balance-recompute"));
    folders.removeAll(QStringLiteral("--journal-window"));
    folders.removeAll(QStringLiteral("--write-pauses"));
    folders.removeAll(QStringLiteral("--check-window"));
    folders.removeAll(QStringLiteral("--end-flags"));
    folders.removeAll(QStringLiteral("--journal"));
    folders.removeAll(QStringLiteral("--reports"));
    folders.removeAll(QStringLiteral("--server-walk"));
    folders.removeAll(QStringLiteral("--walk-costs"));
    if (folders.isEmpty()) {
        folders << QDir::tempPath();
        if (QDir(QStringLiteral("/dev/shm")).exists() && QDir::tempPath() != QLatin1String("/dev/shm"))
            folders << QStringLiteral("/dev/shm");
    }
    std::vector<Place> places;
    for (const QString &folder : std::as_const(folders)) {
        Place place{folder == QLatin1String("/dev/shm") ? QStringLiteral("tmpfs") : QStringLiteral("disk"),
                    std::make_unique<QTemporaryDir>(QDir(folder).filePath(QStringLiteral("n3bench-XXXXXX")))};
        if (!place.root->isValid())
            qFatal("cannot make a folder in %s", qPrintable(folder));
        place.root->setAutoRemove(qEnvironmentVariableIsEmpty("N3BENCH_KEEP"));  // keep the data to profile by hand
        std::printf("n3bench: SQLite %s, %s data in %s\n", sqlite3_libversion(), qPrintable(place.name),
                    qPrintable(place.root->path()));
        if (!onlyBalanceCheck && !onlyJournalWindow && !onlyRecompute && !onlyCheckWindow && !onlyReports && !onlyServerWalk
            && !onlyWalkCosts)
            writeCharts(place, onlyWritePauses ? 1 : onlyJournal ? 2 : std::size(ChartSizes));
        places.push_back(std::move(place));
    }
    // The children's Qt asks for a runtime folder of the user's own.
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"))
        qputenv("XDG_RUNTIME_DIR", places.front().root->path().toLocal8Bit());

    if (onlyWalkCosts) {
        for (const Place &place : places)
            walkCostsRows(place.name, place.root->path());
        return 0;
    }
    if (onlyServerWalk) {
        for (const Place &place : places)
            serverWalkRows(place.name, place.root->path());
        return 0;
    }
    if (onlyRecompute) {
        balanceRecomputeTable(places);
        return 0;
    }
    if (onlyBalanceCheck) {
        balanceCheckRows(places.front());
        return 0;
    }
    if (onlyJournalWindow) {
        journalWindowRows(*places.front().root);
        return 0;
    }
    if (onlyReports) {
        reportSizes(*places.front().root);
        return 0;
    }
    if (onlyWritePauses) {
        writePausesRow(places.front());
        return 0;
    }
    if (onlyCheckWindow) {
        checkWindowRows(*places.front().root);
        return 0;
    }
    if (!onlyJournal) {
        endFlagRows(places);
        for (const Place &place : places)
            millionCodesRows(place);
    }
    for (const Place &place : places)
        serverWalkRows(place.name, place.root->path());
    if (onlyEndFlags)
        return 0;
    std::printf("\n%-26s %-6s %-9s %7s %7s %s\n", "", "where", "measure", "walk s", "journal", "journal share %");
    for (const Place &place : places)
        journalRow(place);
    if (onlyJournal)
        return 0;
    journalsKeptRow(places.front());
    checkRow(places.front());
    writePausesRow(places.front());
    balanceCheckRows(places.front());
    balanceRecomputeTable(places);
    listRows(places.front());
    journalWindowRows(*places.front().root);
    checkWindowRows(*places.front().root);
    return 0;
}
