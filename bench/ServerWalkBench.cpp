#include "ServerWalkBench.h"
#include "DatabaseCopy.h"
#include "Measures.h"

#include "demo/ChartOfAccounts.h"
#include "demo/DemoData.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>

#include <cstdio>
#include <vector>

namespace {

const char DatabaseName[] = "LQDATA_001_2007";

struct Run {
    double seconds;
    double processor;
};

// One `n3fix --odbc --repair-end-flags` in `dir` (the driver opens DATABASE=X as the file X in
// the current folder), on the server's path when `server` is set, from start to exit.
Run walkProcess(const QString &dir, bool server)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("ODBCSYSINI"), dir);
    environment.insert(QStringLiteral("XDG_DATA_HOME"), dir + QStringLiteral("/home"));
    if (server)
        environment.insert(QStringLiteral("LD_PRELOAD"), QStringLiteral(N3_TSQL_SHIM));
    QDir(dir + QStringLiteral("/home")).removeRecursively();
    QProcess n3fix;
    n3fix.setProcessEnvironment(environment);
    n3fix.setWorkingDirectory(dir);
    n3fix.setStandardOutputFile(QProcess::nullDevice());
    n3fix.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    const double processorAtStart = processorSeconds(RUSAGE_CHILDREN);
    QElapsedTimer timer;
    timer.start();
    n3fix.start(QStringLiteral(N3FIX),
                {QStringLiteral("--odbc"), QStringLiteral("--repair-end-flags"), QStringLiteral("--account-set"),
                 QStringLiteral("001"), QStringLiteral("--year"), QStringLiteral("2007")});
    if (!n3fix.waitForFinished(1200000) || n3fix.exitStatus() != QProcess::NormalExit || n3fix.exitCode() != 0)
        qFatal("n3fix --odbc --repair-end-flags failed in %s", qPrintable(dir));
    return {double(timer.nsecsElapsed()) / 1e9, processorSeconds(RUSAGE_CHILDREN) - processorAtStart};
}

}  // namespace

void serverWalkRows(const QString &placeName, const QString &root)
{
    const QString dir = root + QStringLiteral("/server-walk");
    QDir().mkpath(dir);
    QFile ini(dir + QStringLiteral("/odbcinst.ini"));
    if (!ini.open(QIODevice::WriteOnly) || ini.write("[SQL Server]\nDriver=/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so\n") <= 0)
        qFatal("cannot write %s", qPrintable(ini.fileName()));
    ini.close();
    writeSystemDatabase(dir + QStringLiteral("/LQsystem"), {{QStringLiteral("001"), QStringLiteral("公司1"), {2007}, {}}});
    std::printf("\nend-flag repair over ODBC, chart 4-2-2-2, 10%% of flags wrong, whole processes, %s: medians of 3 rounds\n"
                "    codes   plain s  server s  server/plain (clock)  server/plain (processor)\n",
                qPrintable(placeName));
    for (const int codes : {20000, 200000}) {
        const QString master = dir + QStringLiteral("/chart%1.db").arg(codes);
        writeAccountSetDatabase(master, generateChart(codes, {4, 2, 2, 2}), 0.1, 7);
        const QString database = dir + QLatin1Char('/') + QLatin1String(DatabaseName);
        std::vector<double> plain, server, plainProcessor, serverProcessor;
        for (int round = 0; round < 3; ++round) {
            freshCopy(master, database);
            const Run p = walkProcess(dir, false);
            freshCopy(master, database);
            const Run s = walkProcess(dir, true);
            plain.push_back(p.seconds);
            server.push_back(s.seconds);
            plainProcessor.push_back(p.processor);
            serverProcessor.push_back(s.processor);
        }
        std::printf("    %-7d %7.3f  %8.3f  %-20s  %s\n", codes, median(plain), median(server),
                    qPrintable(medianAndSpread(ratiosOf(server, plain))),
                    qPrintable(medianAndSpread(ratiosOf(serverProcessor, plainProcessor))));
    }
}
