#include "CheckWindowBench.h"

#include "DatabaseCopy.h"
#include "Measures.h"

#include "app/CheckWindow.h"
#include "app/MessageBox.h"
#include "db/ODBC.h"
#include "demo/DemoData.h"

#include <QAbstractItemModel>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int AccountSets = 50;
constexpr int YearsEach = 10;

struct Round {
    double listed = 0;      // seconds to the list's rows shown
    double checked = 0;     // seconds to the last row checked
    double longestGap = 0;  // ms, the longest the event loop went without turning
    double cpu = 0;         // processor seconds of the whole round, worker threads included
};

// One opening of the window, from its creation to the last database checked, with a timer that
// fires every millisecond to see how long the event loop is kept from turning.
Round openAndCheck()
{
    Round round;
    const double cpuAtStart = processorSeconds();
    QElapsedTimer clock, sinceTick;
    clock.start();
    sinceTick.start();
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(1);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        round.longestGap = std::max(round.longestGap, double(sinceTick.nsecsElapsed()) / 1e6);
        sinceTick.restart();
    });
    ticker.start();
    CheckWindow window;
    window.show();
    QAbstractItemModel *rows = window.databaseList->model();
    while (window.busy() && clock.elapsed() < 600000) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        if (round.listed == 0 && rows->rowCount() > 0)
            round.listed = double(clock.nsecsElapsed()) / 1e9;
    }
    round.checked = double(clock.nsecsElapsed()) / 1e9;
    round.cpu = processorSeconds() - cpuAtStart;
    if (rows->rowCount() != AccountSets * YearsEach || rows->index(rows->rowCount() - 1, 2).data().toString().isEmpty())
        qFatal("the check-and-repair window did not check every database");
    return round;
}

}  // namespace

void checkWindowRows(const QTemporaryDir &root)
{
    MessageBox::setRecording(true);
    const QString dir = root.filePath(QStringLiteral("check500"));
    QDir().mkpath(dir);
    QVector<DemoAccountSet> sets;
    for (int set = 0; set < AccountSets; ++set) {
        DemoAccountSet accountSet{
            QStringLiteral("%1").arg(set + 1, 3, 10, QLatin1Char('0')), QStringLiteral("帐套%1").arg(set + 1), {}, {}};
        for (int year = 0; year < YearsEach; ++year)
            accountSet.liveYears << 2010 + year;
        sets << accountSet;
    }
    writeSystemDatabase(dir + QStringLiteral("/LQsystem.db"), sets);
    // one account-set database of 150 codes, its flags and balances as the demo data has them,
    // copied for every account set's year
    const QString master = root.filePath(QStringLiteral("master.db"));
    writeAccountSetDatabase(master, generateChart(150, {4, 2, 2}), 0.1, 7);
    plantBalanceDisagreements(master);
    for (const DemoAccountSet &set : std::as_const(sets))
        for (const int year : set.liveYears)
            if (!copyDatabase(master, QDir(dir).filePath(accountSetFileName(set.id, year))))
                qFatal("cannot copy the account-set database");
    ODBC::setEngine({db::EngineKind::Embedded, dir});

    std::vector<double> listed, checked, gaps, cpu;
    for (int i = 0; i < 3; ++i) {
        const Round round = openAndCheck();
        listed.push_back(round.listed);
        checked.push_back(round.checked);
        gaps.push_back(round.longestGap);
        cpu.push_back(round.cpu);
    }
    std::printf("\n%-46s %10s %10s\n", "check-and-repair window, 500 databases", "median", "goal");
    std::printf("%-46s %10.1f %10s\n", "  longest event-loop gap while checking, ms", median(gaps), "< 100");
    std::printf("%-46s %10.3f %10s\n", "  every row listed, s", median(listed), "< 1");
    std::printf("%-46s %10.2f %10s\n", "  last row checked, s", median(checked), "");
    std::printf("%-46s %10.2f %10s\n", "  of which processor time, all threads, s", median(cpu), "");
    std::printf("%-46s %10.1f %10s\n", "  per database, ms", median(checked) / (AccountSets * YearsEach) * 1000, "");
}
