#include "WalkCostsBench.h"
#include "DatabaseCopy.h"
#include "Measures.h"

#include "db/DbError.h"
#include "db/ODBC.h"
#include "db/RowByRowWrites.h"
#include "db/TableTriggers.h"
#include "db/WritePauses.h"
#include "demo/ChartOfAccounts.h"
#include "demo/DemoData.h"
#include "repair/EndFlagChart.h"
#include "repair/EndFlagChartWatch.h"
#include "repair/EndFlagDirectWrite.h"
#include "repair/EndFlagJournal.h"
#include "repair/EndFlagPlan.h"
#include "repair/Journal.h"
#include "repair/PendingSettings.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <vector>

namespace {

const QString AccountSet = QStringLiteral("001");
const int Year = 2007;

struct Figures {
    double seconds = 0;
    double processor = 0;
};

// Runs this program again with `arguments` and reads what it prints: one line of figures, or
// with `named` lines of a name and its figures.
std::map<QString, Figures> childFigures(const QStringList &arguments)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), arguments);
    if (!child.waitForFinished(600000) || child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0)
        qFatal("the measurement %s failed", qPrintable(arguments.join(QLatin1Char(' '))));
    std::map<QString, Figures> figures;
    for (const QByteArray &line : child.readAllStandardOutput().trimmed().split('\n')) {
        QList<QByteArray> words = line.trimmed().split(' ');
        const QString name = words.size() > 3 ? QString::fromUtf8(words.takeFirst()) : QString();
        figures[name] = {words.value(0).toDouble(), words.value(1).toDouble()};
    }
    return figures;
}

Figures childFigure(const QStringList &arguments)
{
    return childFigures(arguments)[QString()];
}

// One place's data: a data directory with the system database, and master charts beside it.
struct Data {
    QString dir, database, copy;
    QString master(int codes, int wrong) const
    {
        return QFileInfo(dir).absolutePath() + QStringLiteral("/chart-%1-%2.db").arg(codes).arg(wrong);
    }
};

void writeMaster(const Data &data, int codes, int wrong)
{
    if (!QFileInfo::exists(data.master(codes, wrong)))
        writeAccountSetDatabase(data.master(codes, wrong), generateChart(codes, {4, 2, 2, 2}), double(wrong) / codes, 7);
}

// By the clock and in processor time, one value per round.
struct Series {
    std::vector<double> clock, processor;
    void add(const Figures &f)
    {
        clock.push_back(f.seconds);
        processor.push_back(f.processor);
    }
    const std::vector<double> &of(bool byClock) const { return byClock ? clock : processor; }
};

Figures walkFigures(const Data &data, const QString &master)
{
    freshCopy(master, data.database);
    return childFigure({QStringLiteral("--walk"), data.dir, QStringLiteral("--no-window")});
}

Figures floorFigures(const Data &data, const QString &master, const char *which)
{
    freshCopy(master, data.copy);
    return childFigure({QStringLiteral("--floor"), QLatin1String(which), data.copy});
}

// The walk without the window against (c), at 1,000 and 20,000 codes with 10% of the flags wrong.
void againstFloor(const QString &placeName, const Data &data)
{
    std::printf("\nend-flag walk without the window against (c), chart 4-2-2-2, 10%% of flags wrong, %s: medians of 7 "
                "rounds\n%-7s %-9s %9s %9s  %-17s\n",
                qPrintable(placeName), "codes", "measure", "walk ms", "(c) ms", "walk/(c)");
    for (const int codes : {1000, 20000}) {
        writeMaster(data, codes, codes / 10);
        Series walk, floor;
        for (int round = 0; round < 7; ++round) {
            walk.add(walkFigures(data, data.master(codes, codes / 10)));
            floor.add(floorFigures(data, data.master(codes, codes / 10), "c"));
        }
        for (const bool byClock : {true, false})
            std::printf("%-7d %-9s %9.2f %9.2f  %s\n", codes, byClock ? "clock" : "processor", median(walk.of(byClock)) * 1e3,
                        median(floor.of(byClock)) * 1e3,
                        qPrintable(medianAndSpread(ratiosOf(walk.of(byClock), floor.of(byClock)))));
        std::fflush(stdout);
    }
}

// Walks of 1,000 codes that write a few rows, and those rows written by SQLite alone in the
// file's own journal mode and through a switch to the log and back.
void fewRows(const QString &placeName, const Data &data)
{
    std::printf("\nfew rows to write, 1,000 codes, %s: medians of 5 rounds; own: the changed rows' guarded updates in the\n"
                "file's own journal mode, synchronous=FULL; log: the same switched to the write-ahead log and back\n"
                "%-5s %-9s %9s %9s %9s %9s  %-17s\n",
                qPrintable(placeName), "rows", "measure", "walk ms", "(c) ms", "own ms", "log ms", "walk/(c)");
    for (const int wrong : {0, 1, 2, 3, 4, 6, 8, 16, 32}) {
        writeMaster(data, 1000, wrong);
        Series walk, floor, own, log;
        for (int round = 0; round < 5; ++round) {
            walk.add(walkFigures(data, data.master(1000, wrong)));
            floor.add(floorFigures(data, data.master(1000, wrong), "c"));
            own.add(floorFigures(data, data.master(1000, wrong), "own"));
            log.add(floorFigures(data, data.master(1000, wrong), "log"));
        }
        for (const bool byClock : {true, false})
            std::printf("%-5d %-9s %9.2f %9.2f %9.2f %9.2f  %s\n", wrong, byClock ? "clock" : "processor",
                        median(walk.of(byClock)) * 1e3, median(floor.of(byClock)) * 1e3, median(own.of(byClock)) * 1e3,
                        median(log.of(byClock)) * 1e3, qPrintable(medianAndSpread(ratiosOf(walk.of(byClock), floor.of(byClock)))));
        std::fflush(stdout);
    }
}

const char *const Phases[] = {"connect", "chart", "journal", "mode", "triggers", "rows", "look", "back", "outcome"};

// The walk's phases at 1,000 and 20,000 codes (10% of flags wrong) and at 1,000 codes with none
// wrong, beside a whole walk on the same data in the same round.
void phases(const QString &placeName, const Data &data)
{
    std::printf("\nthe walk's phases, %s, medians of 5 rounds, ms by the clock / in processor time: connect; chart: the\n"
                "chart read, its flags and the watch; journal: its rows, the memo, written and synced; mode: to the log\n"
                "(or not); triggers: the look for triggers; rows: the walk over the rows; look: the last look at the chart;\n"
                "back: the file's own mode again; outcome: the journal's last write\n%-12s %-9s",
                qPrintable(placeName), "codes/rows", "measure");
    for (const char *phase : Phases)
        std::printf(" %8s", phase);
    std::printf(" %8s %8s\n", "sum", "walk");
    for (const auto &[codes, wrong] : std::vector<std::pair<int, int>>{{1000, 0}, {1000, 100}, {20000, 2000}}) {
        writeMaster(data, codes, wrong);
        std::map<QString, Series> byPhase;
        Series walk;
        for (int round = 0; round < 5; ++round) {
            freshCopy(data.master(codes, wrong), data.database);
            for (const auto &[name, figures] : childFigures({QStringLiteral("--walk-phases"), data.dir}))
                byPhase[name].add(figures);
            walk.add(walkFigures(data, data.master(codes, wrong)));
        }
        for (const bool byClock : {true, false}) {
            std::printf("%-12s %-9s", qPrintable(QStringLiteral("%1/%2").arg(codes).arg(wrong)), byClock ? "clock" : "processor");
            double sum = 0;
            for (const char *phase : Phases) {
                const double ms = median(byPhase[QLatin1String(phase)].of(byClock)) * 1e3;
                sum += ms;
                std::printf(" %8.3f", ms);
            }
            std::printf(" %8.3f %8.3f\n", sum, median(walk.of(byClock)) * 1e3);
        }
        std::fflush(stdout);
    }
}

// --- in the child processes -----------------------------------------------------------------

// Times one phase after another, and prints each as "name clock processor".
class PhaseClock {
public:
    PhaseClock() { restart(); }
    void done(const char *name)
    {
        std::printf("%s %.6f %.6f 0\n", name, double(m_clock.nsecsElapsed()) / 1e9, processorSeconds() - m_processor);
        restart();
    }

private:
    void restart()
    {
        m_processor = processorSeconds();
        m_clock.start();
    }
    QElapsedTimer m_clock;
    double m_processor = 0;
};

}  // namespace

void walkCostsRows(const QString &placeName, const QString &root)
{
    Data data;
    data.dir = root + QStringLiteral("/walk-costs/data");
    data.database = data.dir + QLatin1Char('/') + accountSetFileName(AccountSet, Year);
    data.copy = root + QStringLiteral("/walk-costs/copy.db");
    QDir().mkpath(data.dir);
    writeSystemDatabase(data.dir + QStringLiteral("/LQsystem.db"), {{AccountSet, QStringLiteral("公司1"), {Year}, {}}});
    againstFloor(placeName, data);
    fewRows(placeName, data);
    phases(placeName, data);
}

// The walk of repairEndFlagsOver() on a chart no other program changes, in the same steps.
int walkPhasesChild(const QString &dir)
{
    ODBC::setEngine({db::EngineKind::Embedded, dir});
    const QString year = QString::number(Year);
    const QString database = ODBC::accountSetDatabaseName(AccountSet, year);
    PhaseClock clock;
    std::shared_ptr<db::Connection> connection;
    try {
        connection = ODBC::openConnection(database, false);
    } catch (const db::DbError &error) {
        qFatal("cannot open %s: %s", qPrintable(database), qPrintable(error.description()));
    }
    clock.done("connect");
    repair::EndFlagChartWatch watch(connection);
    const repair::EndFlagChart chart = repair::EndFlagChart::read(connection, true);
    const std::vector<std::int8_t> right = repair::rightEndFlags(connection, chart);
    watch.follow(chart, right);
    clock.done("chart");
    db::RowByRowWrites writes(connection);
    const std::unique_ptr<repair::Journal> journal =
        repair::writeEndFlagJournal(connection, database, AccountSet, year, chart, right, writes);
    clock.done("journal");
    writes.start(journal->record().journalModeToRestore);
    clock.done("mode");
    const db::TableTriggers triggers = db::tableTriggers(connection, QStringLiteral("code"));
    clock.done("triggers");
    const std::unique_ptr<repair::EndFlagDirectWrite> direct = repair::EndFlagDirectWrite::forChart(connection, chart);
    db::WritePauses pauses(*connection);
    qint64 written = 0;
    for (std::size_t i = 0; i < chart.size(); ++i) {
        const QString code = chart.codeText(i);  // the walk names the row in hand
        int flag = watch.flagNow(i);
        if (repair::walkWrites(chart, i, flag))
            flag = watch.lockAndFlag(i);
        if (repair::walkWrites(chart, i, flag)) {
            direct->write(i, flag);
            watch.commit();
            pauses.rowWritten();
            ++written;
        }
        watch.release();
    }
    clock.done("rows");
    if (!watch.wrongNow().isEmpty())
        qFatal("flags wrong at the end");
    clock.done("look");
    const bool restored = writes.finish();
    if (restored && writes.applies())
        repair::settlePendingSettings(repair::journalDirectory(), journal->record());
    clock.done("back");
    if (!journal->finish(repair::Outcome::Completed, qint64(chart.size()), written, QString(), restored).isEmpty())
        qFatal("the outcome was not recorded");
    clock.done("outcome");
    return 0;
}

int ownOrLogFloorChild(const QString &which, const QString &file)
{
    sqlite3 *db = nullptr;
    const auto exec = [&db](const char *sql) {
        if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
            qFatal("%s: %s", sql, sqlite3_errmsg(db));
    };
    const double processorAtStart = processorSeconds();
    QElapsedTimer timer;
    timer.start();
    if (sqlite3_open_v2(file.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
        qFatal("cannot open %s", qPrintable(file));
    exec("PRAGMA synchronous=FULL");
    const bool log = which == QLatin1String("log");
    if (log) {
        exec("PRAGMA journal_mode=WAL");
        exec("PRAGMA synchronous=NORMAL");
    }
    // One sorted read, the flags from neighbours in code order, and the guarded update of each
    // row whose flag is wrong, committed on its own.
    struct Row {
        qint64 rowid;
        QByteArray code;
        int flag;
    };
    std::vector<Row> rows;
    sqlite3_stmt *read = nullptr;
    sqlite3_prepare_v2(db, "select rowid,ccode,bend from code order by ccode", -1, &read, nullptr);
    while (sqlite3_step(read) == SQLITE_ROW)
        rows.push_back({sqlite3_column_int64(read, 0), QByteArray(reinterpret_cast<const char *>(sqlite3_column_text(read, 1))),
                        sqlite3_column_int(read, 2)});
    sqlite3_finalize(read);
    sqlite3_stmt *update = nullptr;
    sqlite3_prepare_v2(db, "update code set bend=? where rowid=? and ccode=? and bend=?", -1, &update, nullptr);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const int flag = i + 1 < rows.size() && rows[i + 1].code.startsWith(rows[i].code) ? 0 : 1;
        if (rows[i].flag == flag)
            continue;
        sqlite3_bind_int(update, 1, flag);
        sqlite3_bind_int64(update, 2, rows[i].rowid);
        sqlite3_bind_text(update, 3, rows[i].code.constData(), int(rows[i].code.size()), SQLITE_STATIC);
        sqlite3_bind_int(update, 4, rows[i].flag);
        if (sqlite3_step(update) != SQLITE_DONE || sqlite3_changes(db) != 1)
            qFatal("update: %s", sqlite3_errmsg(db));
        sqlite3_reset(update);
    }
    sqlite3_finalize(update);
    if (log) {
        exec("PRAGMA synchronous=FULL");
        exec("PRAGMA journal_mode=DELETE");
    }
    sqlite3_close(db);
    std::printf("%.6f %.6f 0\n", double(timer.nsecsElapsed()) / 1e9, processorSeconds() - processorAtStart);
    return 0;
}
