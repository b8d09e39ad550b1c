#include "EndFlagRepair.h"

#include "EndFlagChart.h"
#include "EndFlagChartWatch.h"
#include "EndFlagDirectWrite.h"
#include "EndFlagGuardedWrites.h"
#include "EndFlagJournal.h"
#include "EndFlagPlan.h"
#include "Journal.h"
#include "PendingSettings.h"
#include "TriggerNotice.h"

#include "db/DbError.h"
#include "db/ODBC.h"
#include "db/RowByRowWrites.h"
#include "db/StoredValue.h"
#include "db/TableTriggers.h"
#include "db/WritePauses.h"

#include <optional>
#include <vector>

namespace repair {

namespace {

// Row i, planned to get `right` when the walk read the chart, gets `flag` for the chart as it is
// now: the journal is told before the row is written. A planned row (the journal's row
// `journaledRow`) gets its new value, or keeps its old one where it holds that flag already (undo
// then leaves it alone); a row not planned is added, with its place in the walk.
void redecide(const std::shared_ptr<db::Connection> &connection, Journal &journal, const EndFlagChart &chart, std::size_t i,
              int flag, qint64 journaledRow)
{
    const bool writes = walkWrites(chart, i, flag);
    if (journaledRow > 0)
        journal.setNewValues(journaledRow, {writes ? QVariant(flag) : chart.flag(i)});
    else if (writes)
        journal.appendRow(endFlagJournalRow(connection, chart, i, flag));
}

// What the journal records of a walk that ended with `result`.
Outcome journalOutcome(RunResult result)
{
    switch (result) {
    case RunResult::Completed:
        return Outcome::Completed;
    case RunResult::Stopped:
        return Outcome::Stopped;
    case RunResult::Failed:
        return Outcome::Failed;
    case RunResult::NotChosen:
        break;  // a walk that began is never NotChosen
    }
    return Outcome::Unrecorded;
}

}  // namespace

EndFlagRun repairEndFlags(const QString &accountSet, const QString &year, EndFlagProgress &progress)
{
    if (accountSet.isEmpty() || year.isEmpty())
        return EndFlagRun();
    return repairEndFlagsOver(ODBC::openConnection(ODBC::accountSetDatabaseName(accountSet, year), false), accountSet, year,
                              progress);
}

EndFlagRun repairEndFlagsOver(const std::shared_ptr<db::Connection> &connection, const QString &accountSet, const QString &year,
                              EndFlagProgress &progress)
{
    EndFlagRun run;
    run.database = ODBC::accountSetDatabaseName(accountSet, year);
    std::unique_ptr<Journal> journal;
    std::optional<db::RowByRowWrites> writes;
    std::unique_ptr<EndFlagGuardedWrites> guarded;
    std::optional<EndFlagChartWatch> watch;
    std::optional<QString> atCode;  // the row in hand: the journal names it when the walk fails there
    try {
        if (!connection)
            throw db::DbError(db::connectionNotOpen());
        watch.emplace(connection);
        const EndFlagChart chart = EndFlagChart::read(connection, true);
        run.codes = int(chart.size());
        const std::vector<std::int8_t> right = rightEndFlags(connection, chart);
        watch->follow(chart, right);
        writes.emplace(connection);
        journal = writeEndFlagJournal(connection, run.database, accountSet, year, chart, right, *writes);
        run.journal = journal->record().id;
        writes->start(journal->record().journalModeToRestore);
        const db::TableTriggers triggers = db::tableTriggers(connection, QStringLiteral("code"));
        run.triggerNotice = triggerNotice(QStringLiteral("code"), triggers);

        db::WritePauses pauses(*connection);
        const auto rowWritten = [&](std::size_t i, int flag) {
            ++run.rowsWritten;
            if (!flagIsRight(chart.flag(i), flag))
                ++run.rowsChanged;
            pauses.rowWritten();
        };
        // On a file opened by Qt's SQLite driver each row is written straight through SQLite;
        // elsewhere by a statement that finds the row by its locator and the values read, on a
        // server a few hundred rows a statement.
        const std::unique_ptr<EndFlagDirectWrite> direct = EndFlagDirectWrite::forChart(connection, chart);
        if (!direct)
            guarded = std::make_unique<EndFlagGuardedWrites>(
                connection, chart,
                connection->dialect() == db::SqlDialect::TransactSql && !watch->seesEachChange() && !triggers.any(), rowWritten);
        progress.walkStarting(run.codes);
        run.result = RunResult::Completed;
        qint64 journaled = 0;  // the journal's rows so far: the rows planned are numbered from 1 in walk order
        for (std::size_t i = 0; i < chart.size(); ++i) {
            atCode = chart.codeText(i);
            progress.rowStarted(*atCode);
            const bool planned = walkWrites(chart, i, right[i]);
            if (planned)
                ++journaled;
            // The flag for the chart as it is now; a row to be written is decided again under the
            // write lock, so that no code added or removed before its commit is missed.
            int flag = watch->flagNow(i);
            if (walkWrites(chart, i, flag))
                flag = watch->lockAndFlag(i);
            if (flag != right[i]) {
                redecide(connection, *journal, chart, i, flag, planned ? journaled : 0);
                ++run.rowsRedecided;
            }
            if (walkWrites(chart, i, flag)) {
                if (direct) {
                    direct->write(i, flag);
                    watch->commit();
                    rowWritten(i, flag);
                } else {
                    guarded->write(i, flag);
                    watch->commit();
                    if (!guarded->batched())
                        rowWritten(i, flag);
                }
            }
            watch->release();
            ++run.rowsReached;
            atCode.reset();
            if (!progress.rowDone()) {
                if (guarded)
                    guarded->flush();
                run.result = RunResult::Stopped;
                break;
            }
        }
        if (guarded)
            guarded->flush();
        // Every row is written: a last look at the chart that fails leaves the walk completed,
        // and says so.
        if (run.result == RunResult::Completed) {
            try {
                run.wrongAtEnd = watch->wrongNow();
            } catch (const db::DbError &error) {
                watch->release();
                run.finalCheckFailure = error.description();
            }
        }
    } catch (const db::DbError &error) {
        if (watch)
            watch->release();
        // A batch written at a later row failed at one of its own: the walk ends there.
        if (guarded && guarded->failedRow()) {
            atCode = guarded->failedCode();
            run.rowsReached = int(*guarded->failedRow());
        }
        run.result = RunResult::Failed;
        run.failure = error.description();
    }

    if (run.rowsWritten == 0)
        run.triggerNotice.clear();  // no trigger fired
    const bool settingsRestored = !writes || writes->finish();
    if (journal) {
        if (settingsRestored && writes && writes->applies())
            settlePendingSettings(journalDirectory(), journal->record());
        const QString where =
            atCode && run.result == RunResult::Failed ? QStringLiteral("科目 %1：").arg(db::shownCode(*atCode)) : QString();
        run.unrecorded =
            journal->finish(journalOutcome(run.result), run.rowsReached, run.rowsChanged, where + run.failure, settingsRestored);
    }
    return run;
}

}  // namespace repair
