#include "EndFlagRepair.h"

#include "EndFlagDirectWrite.h"
#include "EndFlagPlan.h"
#include "Journal.h"

#include "db/DbError.h"
#include "db/ODBC.h"
#include "db/Recordset.h"
#include "db/RowByRowWrites.h"

#include <optional>
#include <vector>

namespace repair {

namespace {

// The chart as the walk found it, in code order.
struct Chart {
    std::vector<QVariant> codes, flags, rowids;
};

Chart readChart(db::Recordset &walk)
{
    Chart chart;
    while (!walk.eof()) {
        chart.codes.push_back(walk.field(0));
        chart.flags.push_back(walk.field(1));
        chart.rowids.push_back(walk.rowId());
        walk.moveNext();
    }
    walk.moveFirst();
    return chart;
}

// The journal of the walk, flushed: every row with its flag now and the flag it is to get, and
// on SQLite the journal mode the file must end in. Journal modes earlier walks could not restore
// are taken over from their journals.
std::unique_ptr<Journal> writeJournal(const QString &database, const QString &accountSet, const QString &year,
                                      const db::Recordset &walk, const Chart &chart, const std::vector<int> &right,
                                      db::RowByRowWrites &writes)
{
    RepairRecord record;
    record.database = database;
    record.engine = ODBC::engineName();
    record.repair = QStringLiteral("end-flags");
    record.accountSet = accountSet;
    record.year = year;
    record.table = QStringLiteral("code");
    record.rowidName = walk.rowIdName();
    record.changedColumns = {QStringLiteral("bend")};
    record.keyColumns = {QStringLiteral("ccode")};
    const QString directory = journalDirectory();
    PendingSettings pending;
    if (writes.applies()) {
        pending = pendingSettings(directory, database, record.engine);
        const bool leftovers = writes.dropLeftoverIndexes();
        record.journalModeToRestore = !pending.journalMode.isEmpty() ? pending.journalMode
            : leftovers                                               ? QStringLiteral("delete")
                                                                      : writes.journalMode();
        record.settingsPending = true;
    }
    auto journal = std::make_unique<Journal>(directory, record);
    for (std::size_t i = 0; i < chart.codes.size(); ++i)
        journal->addRow({chart.rowids[i], {chart.codes[i]}, {chart.flags[i]}, {right[i]}});
    journal->flush();
    if (!pending.journals.isEmpty())
        settlePendingSettings(directory, pending.journals);
    return journal;
}

} // namespace

EndFlagRun repairEndFlags(const QString &accountSet, const QString &year, EndFlagProgress &progress)
{
    EndFlagRun run;
    if (accountSet.isEmpty() || year.isEmpty())
        return run;
    run.database = ODBC::accountSetDatabaseName(accountSet, year);
    ODBC::ConnectDatabase(run.database);

    std::unique_ptr<Journal> journal;
    std::optional<db::RowByRowWrites> writes;
    try {
        const std::shared_ptr<db::Connection> connection = ODBC::DbConn();
        db::Recordset walk;
        walk.open(QStringLiteral("select ccode,bend from code order by ccode"), connection, db::CursorType::Static,
                  db::LockType::Optimistic);
        const Chart chart = readChart(walk);
        run.codes = int(chart.codes.size());
        const std::vector<int> right = rightEndFlags(connection, chart.codes);
        writes.emplace(connection);
        journal = writeJournal(run.database, accountSet, year, walk, chart, right, *writes);
        run.journal = journal->record().id;
        writes->start(journal->record().journalModeToRestore);

        // On SQLite the flags are the ones just worked out; elsewhere the server is asked again
        // for each row as the walk reaches it, and a different answer is journaled before it is
        // written.
        std::optional<EndFlagProbe> probe;
        if (connection->dialect() != db::SqlDialect::Sqlite)
            probe.emplace(connection);
        // On a file opened by Qt's SQLite driver each row is written straight through SQLite.
        const std::unique_ptr<EndFlagDirectWrite> direct = EndFlagDirectWrite::forChart(connection, walk.rowIdName());
        progress.walkStarting(run.codes);
        run.result = EndFlagResult::Completed;
        for (std::size_t i = 0; i < chart.codes.size(); ++i) {
            progress.rowStarted(connection->textOf(chart.codes[i]));
            int flag = right[i];
            if (probe) {
                flag = probe->flagOf(chart.codes[i]);
                if (flag != right[i])
                    journal->setNewValues(qint64(i) + 1, {flag});
            }
            if (direct) {
                direct->write(chart.rowids[i], chart.codes[i], chart.flags[i], flag);
            } else {
                walk.setField(1, qint16(flag));
                walk.update();
            }
            ++run.rowsWritten;
            if (!flagIsRight(chart.flags[i], flag))
                ++run.rowsChanged;
            walk.moveNext();
            if (!progress.rowWritten()) {
                run.result = EndFlagResult::Stopped;
                break;
            }
        }
    } catch (const db::DbError &error) {
        run.result = EndFlagResult::Failed;
        run.failure = error.description();
    }

    const bool settingsRestored = !writes || writes->finish();
    if (journal) {
        static const char *const outcomes[] = {"", "completed", "stopped", "failed"};
        const QString unrecorded = journal->finish(QLatin1String(outcomes[int(run.result)]), run.rowsWritten,
                                                   run.rowsChanged, run.failure, settingsRestored);
        if (!unrecorded.isEmpty() && run.result != EndFlagResult::Failed) {
            run.result = EndFlagResult::Failed;
            run.failure = unrecorded;
        }
    }
    return run;
}

} // namespace repair
