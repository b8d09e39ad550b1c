#include "ReportBench.h"
#include "JournalWindowBench.h"
#include "Measures.h"

#include "repair/JournalReader.h"
#include "repair/report/RepairReport.h"
#include "repair/report/ReportCsv.h"
#include "repair/report/ReportPdf.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>
#include <functional>
#include <vector>

namespace {

// The median of three rounds of `work`, in seconds on the clock.
double timed(const std::function<void()> &work)
{
    std::vector<double> rounds;
    for (int round = 0; round < 3; ++round) {
        QElapsedTimer timer;
        timer.start();
        work();
        rounds.push_back(double(timer.nsecsElapsed()) / 1e9);
    }
    return median(rounds);
}

}  // namespace

void reportSizes(const QTemporaryDir &root)
{
    const QVector<ChartAccount> chart = generateChart(20000, {4, 2, 2, 2});
    std::printf("\n%-34s %10s %10s %10s %10s %12s\n", "repair's record (median of 3)", "read, s", "CSV, s", "PDF, s", "PDF / CSV",
                "PDF, KB");
    for (const int rows : {1000, 10000}) {
        const QString directory = root.filePath(QStringLiteral("reports%1").arg(rows));
        QDir().mkpath(directory);
        writeWalkJournal(directory, chart, rows);
        const repair::RepairRecord record = repair::listRepairs(directory).value(0);
        repair::report::Report report;
        const double read = timed([&] { report = repair::report::repairReport(directory, record); });
        QByteArray csv, pdf;
        const double csvSeconds = timed([&] { csv = repair::report::csv(report); });
        const double pdfSeconds = timed([&] { pdf = repair::report::pdf(report); });
        if (csv.count('\n') != rows + 1 || pdf.isEmpty())
            qFatal("the report does not hold every row");
        std::printf("%-34s %10.3f %10.3f %10.3f %10.0f %12lld\n", qPrintable(QStringLiteral("%1 rows").arg(rows)), read,
                    csvSeconds, pdfSeconds, pdfSeconds / csvSeconds, qint64(pdf.size() / 1024));
    }
}
