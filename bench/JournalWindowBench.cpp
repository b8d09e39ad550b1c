#include "JournalWindowBench.h"
#include "Measures.h"

#include "app/JournalWindow.h"
#include "app/MessageBox.h"
#include "db/ODBC.h"
#include "demo/DemoData.h"
#include "repair/Journal.h"

#include <QAbstractItemModel>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdio>
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

// Seconds from creating the window to its list filled and the newest repair's first page of rows
// shown.
double openWindow(int expectedRepairs)
{
    QElapsedTimer timer;
    timer.start();
    JournalWindow window;
    window.show();
    QAbstractItemModel *rows = window.rowList->model();
    while (rows->rowCount() == 0 && timer.elapsed() < 60000)
        QCoreApplication::processEvents();
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    if (window.repairList->model()->rowCount() != expectedRepairs || rows->rowCount() == 0)
        qFatal("the journal window did not list the repairs");
    return seconds;
}

} // namespace

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

    // 5,000 repairs of a few rows each
    const QString many = root.filePath(QStringLiteral("journals5000"));
    QDir().mkpath(many);
    ODBC::setEngine({db::EngineKind::Embedded, many});
    for (int i = 0; i < 5000; ++i)
        writeWalkJournal(repair::journalDirectory(), chart, 3);
    std::vector<double> folder, folderCpu;
    for (int round = 0; round < 5; ++round) {
        const double cpu = processorSeconds();
        folder.push_back(openWindow(5000));
        folderCpu.push_back(processorSeconds() - cpu);
    }

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
    std::printf("%-44s %10.4f %10s\n", "open on a folder of 5,000 repairs", median(folder), "< 1");
    std::printf("%-44s %10.4f %10s\n", "  of which processor time", median(folderCpu), "");
    std::printf("%-44s %10.4f %10s\n", "open on a 200,000-row repair, first page", median(open), "< 0.2");
    std::printf("%-44s %10.2f %10s\n", "  slowest page of 256 rows, ms", slowest, "< 50");
    std::printf("%-44s %10.3f %10s\n", "  all 200,000 rows, page by page", all, "");
    std::printf("%-44s %10.1f %10s\n", "  memory for all 200,000 rows, MB", double(residentKb() - before) / 1024.0, "");
}
