#include "CheckWork.h"

#include "db/DbError.h"
#include "db/ODBC.h"

#include <QPromise>
#include <QThreadPool>

#include <memory>

namespace CheckWork {

namespace {

// Runs `work` on a thread of the global pool, handing it the promise of the future returned; an
// exception it lets out is kept in the future, to be thrown again where its result is read.
// QtCore's pool and promise are all it needs, so the build carries no Qt Concurrent; the pool
// waits for its threads when the program ends.
template <typename T, typename Work> QFuture<T> runInPool(Work work)
{
    auto promise = std::make_shared<QPromise<T>>();
    QFuture<T> future = promise->future();
    promise->start();
    QThreadPool::globalInstance()->start([promise, work]() mutable {
        try {
            work(*promise);
        } catch (...) {
            promise->setException(std::current_exception());
        }
        promise->finish();
    });
    return future;
}

// The end-flag walk's progress as its future's: rows done of the rows in the chart; `stop` set
// stops the walk.
class PromisedWalk : public repair::EndFlagProgress {
public:
    PromisedWalk(QPromise<repair::EndFlagRun> &promise, std::shared_ptr<const std::atomic<bool>> stop)
        : m_promise(promise), m_stop(std::move(stop))
    {
    }
    void walkStarting(int rows) override { m_promise.setProgressRange(0, rows); }
    void rowStarted(const QString &) override {}
    bool rowDone() override
    {
        m_promise.setProgressValue(++m_done);
        return !*m_stop;
    }

private:
    QPromise<repair::EndFlagRun> &m_promise;
    std::shared_ptr<const std::atomic<bool>> m_stop;
    int m_done = 0;
};

}  // namespace

QFuture<Listing> listDatabases()
{
    return runInPool<Listing>([](QPromise<Listing> &promise) {
        Listing listing;
        try {
            listing.databases = listAccountSetYears();
        } catch (const db::DbError &error) {
            listing.failure = error.description();
        }
        promise.addResult(listing);
    });
}

QFuture<DatabaseCheck> checkAll(const QList<DatabaseCheck> &databases)
{
    return runInPool<DatabaseCheck>([databases](QPromise<DatabaseCheck> &promise) {
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
    return runInPool<DatabaseCheck>([database](QPromise<DatabaseCheck> &promise) {
        DatabaseCheck checking = database;
        checkDatabase(checking, runningRepairs());
        promise.addResult(checking);
    });
}

QFuture<repair::RecomputeRun> recompute(const DatabaseCheck &database, const repair::RecomputePlan &confirmed)
{
    return runInPool<repair::RecomputeRun>([database, confirmed](QPromise<repair::RecomputeRun> &promise) {
        promise.setProgressRange(0, int(confirmed.rows.size()));
        promise.addResult(repair::runRecompute(database.accountSet, database.year, &confirmed,
                                               [&promise](qint64 written, qint64) { promise.setProgressValue(int(written)); }));
    });
}

QFuture<repair::EndFlagRun> rebuildEndFlags(const DatabaseCheck &database, const std::shared_ptr<const std::atomic<bool>> &stop)
{
    return runInPool<repair::EndFlagRun>([database, stop](QPromise<repair::EndFlagRun> &promise) {
        PromisedWalk progress(promise, stop);
        repair::EndFlagRun run;
        try {
            run = repair::repairEndFlagsOver(ODBC::openConnection(database.database, false), database.accountSet, database.year,
                                             progress);
        } catch (const db::DbError &error) {
            run.result = repair::RunResult::Failed;
            run.database = database.database;
            run.failure = error.description();
        }
        promise.addResult(run);
    });
}

}  // namespace CheckWork
