#include "CheckWork.h"

#include "db/DbError.h"
#include "db/ODBC.h"

#include <QPromise>
#include <QtConcurrent/QtConcurrentRun>

namespace CheckWork {

namespace {

// The end-flag walk's progress as its future's: rows written of the rows in the chart; `stop`
// set stops the walk.
class PromisedWalk : public repair::EndFlagProgress {
public:
    PromisedWalk(QPromise<repair::EndFlagRun> &promise, std::shared_ptr<const std::atomic<bool>> stop)
        : m_promise(promise), m_stop(std::move(stop))
    {
    }
    void walkStarting(int rows) override { m_promise.setProgressRange(0, rows); }
    void rowStarted(const QString &) override {}
    bool rowWritten() override
    {
        m_promise.setProgressValue(++m_written);
        return !*m_stop;
    }

private:
    QPromise<repair::EndFlagRun> &m_promise;
    std::shared_ptr<const std::atomic<bool>> m_stop;
    int m_written = 0;
};

} // namespace

QFuture<Listing> listDatabases()
{
    return QtConcurrent::run([] {
        Listing listing;
        try {
            listing.databases = listAccountSetYears();
        } catch (const db::DbError &error) {
            listing.failure = error.description();
        }
        return listing;
    });
}

QFuture<DatabaseCheck> checkAll(const QList<DatabaseCheck> &databases)
{
    return QtConcurrent::run([databases](QPromise<DatabaseCheck> &promise) {
        promise.setProgressRange(0, int(databases.size()));
        const QList<repair::RepairRecord> running = runningRepairs();
        for (int i = 0; i < databases.size() && !promise.isCanceled(); ++i) {
            DatabaseCheck database = databases.at(i);
            checkDatabase(database, running);
            promise.addResult(database, i);
            promise.setProgressValue(i + 1);
        }
    });
}

QFuture<DatabaseCheck> checkOne(const DatabaseCheck &database)
{
    return QtConcurrent::run(
        [](DatabaseCheck checking) {
            checkDatabase(checking, runningRepairs());
            return checking;
        },
        database);
}

QFuture<repair::RecomputeRun> recompute(const DatabaseCheck &database, const repair::RecomputePlan &confirmed)
{
    return QtConcurrent::run([database, confirmed](QPromise<repair::RecomputeRun> &promise) {
        promise.setProgressRange(0, int(confirmed.rows.size()));
        promise.addResult(repair::runRecompute(database.accountSet, database.year, &confirmed,
                                               [&promise](qint64 written, qint64) { promise.setProgressValue(int(written)); }));
    });
}

QFuture<repair::EndFlagRun> rebuildEndFlags(const DatabaseCheck &database, std::shared_ptr<const std::atomic<bool>> stop)
{
    return QtConcurrent::run([database, stop](QPromise<repair::EndFlagRun> &promise) {
        PromisedWalk progress(promise, stop);
        repair::EndFlagRun run;
        try {
            run = repair::repairEndFlagsOver(ODBC::openConnection(database.database, false), database.accountSet,
                                             database.year, progress);
        } catch (const db::DbError &error) {
            run.result = repair::EndFlagResult::Failed;
            run.database = database.database;
            run.failure = error.description();
        }
        promise.addResult(run);
    });
}

} // namespace CheckWork
