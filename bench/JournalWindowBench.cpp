#include "JournalWindowBench.h"
#include "Measures.h"

#include "app/JournalWindow.h"
#include "app/MessageBox.h"
#include "db/ODBC.h"
#include "demo/DemoData.h"
#include "repair/Journal.h"
#include "repair/JournalIndex.h"

#include <QAbstractItemModel>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// Memory this process holds now, in KB: unlike its peak, it shows what the window keeps even
// after larger measurements ran in the same process.
long residentKb()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> pages = statm.readAll().split(' ');
    return pages.value(1).toLong() * (sysconf(_SC_PAGESIZE) / 1024);
}

// One measure's time on the clock and in processor time (this process's and its children's).
struct Timing {
    double clock = 0, processor = 0;
};

// Seconds from creating the window to its list filled and the newest repair's first page of rows
// shown; with no repairs, to the window shown with its empty list.
double openWindow(int expectedRepairs)
{
    QElapsedTimer timer;
    timer.start();
    JournalWindow window;
    window.show();
    QAbstractItemModel *rows = window.rowList->model();
    while (expectedRepairs > 0 && rows->rowCount() == 0 && timer.elapsed() < 60000)
        QCoreApplication::processEvents();
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    if (window.repairList->model()->rowCount() != expectedRepairs || (expectedRepairs > 0 && rows->rowCount() == 0))
        qFatal("the journal window did not list the repairs");
    return seconds;
}

// n3fix with `arguments` as a process, start to end, its output thrown away.
void runN3fix(const QStringList &arguments)
{
    QProcess n3fix;
    n3fix.setStandardOutputFile(QProcess::nullDevice());
    n3fix.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    n3fix.start(QStringLiteral(N3FIX), arguments);
    if (!n3fix.waitForFinished(600000) || n3fix.exitStatus() != QProcess::NormalExit || n3fix.exitCode() != 0)
        qFatal("n3fix %s failed", qPrintable(arguments.join(QLatin1Char(' '))));
}

// The medians over five rounds of `measure`, each round after `before`.
Timing medianOf(const std::function<void()> &before, const std::function<void()> &measure)
{
    std::vector<double> clock, processor;
    for (int round = 0; round < 5; ++round) {
        before();
        const double cpu = processorSeconds() + processorSeconds(RUSAGE_CHILDREN);
        QElapsedTimer timer;
        timer.start();
        measure();
        clock.push_back(double(timer.nsecsElapsed()) / 1e9);
        processor.push_back(processorSeconds() + processorSeconds(RUSAGE_CHILDREN) - cpu);
    }
    return {median(clock), median(processor)};
}

void printAnchor(const char *what, const Timing &anchor)
{
    std::printf("%-40s %8.4f %8s %8.4f %8s\n", what, anchor.clock, "", anchor.processor, "");
}

// A measure, and how much it takes beyond its anchor.
void printTiming(const char *what, const Timing &timing, const Timing &anchor, const char *goal)
{
    std::printf("%-40s %8.4f %8.4f %8.4f %8.4f %8s\n", what, timing.clock, timing.clock - anchor.clock, timing.processor,
                timing.processor - anchor.processor, goal);
}

// The listing of a folder of 5,000 repairs against a folder with none, in the window and in
// n3fix --journal (and --json) as a process: first with no index (each round builds it), then with
// the index current. Prints its rows.
void listingRows(const QString &many, const QString &none)
{
    const QString indexFile = QDir(many + QStringLiteral("/journal")).filePath(repair::JournalIndex::FileName);
    const auto noIndex = [indexFile] { QFile::remove(indexFile); };  // no connection to it is open here now
    const auto keepIndex = [] {};
    const auto window = [](const QString &dir, int repairs) {
        return [dir, repairs] {
            ODBC::setEngine({db::EngineKind::Embedded, dir});
            openWindow(repairs);
        };
    };
    const auto command = [](const QString &dir, const QStringList &more) {
        return [dir, more] { runN3fix(QStringList{QStringLiteral("--journal"), QStringLiteral("--data-dir"), dir} + more); };
    };
    std::printf("\n%-40s %8s %8s %8s %8s %8s\n", "listing 5,000 repairs (median of 5)", "clock s", "- anchor", "cpu s",
                "- anchor", "goal");
    for (const QStringList &more : {QStringList(), QStringList{QStringLiteral("--json")}}) {
        const Timing anchor = medianOf(keepIndex, command(none, more));
        const Timing first = medianOf(noIndex, command(many, more));
        const Timing current = medianOf(keepIndex, command(many, more));
        printAnchor(more.isEmpty() ? "n3fix --journal, no repair (anchor)" : "n3fix --journal --json, no repair (anchor)", anchor);
        printTiming("  5,000, no index (builds it)", first, anchor, "");
        printTiming("  5,000, index current", current, anchor, "< 0.2");
    }
    const Timing anchor = medianOf(keepIndex, window(none, 0));
    const Timing first = medianOf(noIndex, window(many, 5000));
    const Timing current = medianOf(keepIndex, window(many, 5000));
    printAnchor("window, no repair (anchor)", anchor);
    printTiming("  5,000, no index (builds it), rows shown", first, anchor, "");
    printTiming("  5,000, index current, rows shown", current, anchor, "< 0.2");
}

}  // namespace

// A finished end-flag walk's journal over `rows` codes of the chart in `chart`, written by the
// journal writer the walk uses.
void writeWalkJournal(const QString &directory, const QVector<ChartAccount> &chart, int rows)
{
    repair::RepairRecord record = repair::newRepairRecord(repair::RepairKind::EndFlags, QStringLiteral("LQDATA_001_2007"),
                                                          QStringLiteral("001"), QStringLiteral("2007"), QStringLiteral("code"));
    record.rowidName = QStringLiteral("rowid");
    record.changedColumns = {QStringLiteral("bend")};
    record.keyColumns = {QStringLiteral("ccode")};
    repair::Journal journal(directory, record);
    for (int i = 0; i < rows; ++i)
        journal.addRow({qlonglong(i + 1), {chart.at(i % chart.size()).code}, {0}, {1}});
    journal.flush();
    journal.finish(repair::Outcome::Completed, rows, rows);
}

void journalWindowRows(const QTemporaryDir &root)
{
    MessageBox::setRecording(true);
    const QVector<ChartAccount> chart = generateChart(200000, {4, 2, 2, 2});

    // 5,000 repairs of a few rows each, and a data directory whose journal folder is empty
    const QString many = root.filePath(QStringLiteral("journals5000"));
    const QString none = root.filePath(QStringLiteral("journals0"));
    QDir().mkpath(many);
    QDir().mkpath(none + QStringLiteral("/journal"));
    ODBC::setEngine({db::EngineKind::Embedded, many});
    for (int i = 0; i < 5000; ++i)
        writeWalkJournal(repair::journalDirectory(), chart, 3);
    // A journal written less than 3 s before a listing is read from itself, not yet indexed: the
    // measures begin once the last one has settled, as a folder of earlier repairs has.
    std::this_thread::sleep_for(std::chrono::milliseconds(3500));
    listingRows(many, none);

    // one repair of 200,000 rows, with the chart it changed
    const QString large = root.filePath(QStringLiteral("journal200000"));
    QDir().mkpath(large);
    writeAccountSetDatabase(large + QStringLiteral("/LQDATA_001_2007.db"), chart, 0.1, 7);
    ODBC::setEngine({db::EngineKind::Embedded, large});
    writeWalkJournal(repair::journalDirectory(), chart, 200000);
    std::vector<double> open;
    open.reserve(5);
    for (int round = 0; round < 5; ++round)
        open.push_back(openWindow(1));

    // scrolled to the end a page at a time: the longest the window waits for one page
    const long before = residentKb();
    JournalWindow window;
    window.show();
    QAbstractItemModel *rows = window.rowList->model();
    QElapsedTimer total, page;
    total.start();
    double slowest = 0;
    while (rows->canFetchMore(QModelIndex())) {
        page.start();
        rows->fetchMore(QModelIndex());
        slowest = std::max(slowest, double(page.nsecsElapsed()) / 1e6);
    }
    const double all = double(total.nsecsElapsed()) / 1e9;
    if (rows->rowCount() != 200000)
        qFatal("the rows were not all read");

    std::printf("\n%-44s %10s %10s\n", "journal window (median of 5)", "seconds", "goal");
    std::printf("%-44s %10.4f %10s\n", "open on a 200,000-row repair, first page", median(open), "< 0.2");
    std::printf("%-44s %10.2f %10s\n", "  slowest page of 256 rows, ms", slowest, "< 50");
    std::printf("%-44s %10.3f %10s\n", "  all 200,000 rows, page by page", all, "");
    std::printf("%-44s %10.1f %10s\n", "  memory for all 200,000 rows, MB", double(residentKb() - before) / 1024.0, "");
}
