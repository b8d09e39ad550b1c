#include "EndFlagRepair.h"

#include "ChartRowContents.h"
#include "EndFlagChart.h"
#include "EndFlagDirectWrite.h"
#include "EndFlagPlan.h"
#include "Journal.h"
#include "PendingSettings.h"
#include "TriggerNotice.h"

#include "db/DbError.h"
#include "db/GuardedUpdate.h"
#include "db/ODBC.h"
#include "db/RowByRowWrites.h"
#include "db/TableTriggers.h"
#include "db/WritePauses.h"

#include <optional>
#include <vector>

namespace repair {

namespace {

// Rows whose other columns the journal reads in one statement.
constexpr std::size_t ReadAheadRows = 4096;

// Whether the walk writes row i to give it `flag`: unless it holds that flag as an integer.
bool walkWrites(const EndFlagChart &chart, std::size_t i, int flag)
{
    return chart.integerFlag(i) != flag;
}

// The columns that find one chart row again where the chart has them: its rowid, or a composite
// primary key (the code first, as the journal's key begins). None where rows are found by value.
QStringList rowLocator(const EndFlagChart &chart)
{
    if (!chart.rowIdName().isEmpty())
        return {chart.rowIdName()};
    if (chart.rowKeyNames().isEmpty())
        return {};
    QStringList names{QStringLiteral("ccode")};
    for (const int position : chart.otherKeyColumns())
        names << chart.rowKeyNames().at(position);
    return names;
}

// The columns that find a row for its write: its rowid, or its composite primary key, or none
// (found by its values alone); and row i's values of them.
QStringList writeLocator(const EndFlagChart &chart)
{
    return chart.rowIdName().isEmpty() ? chart.rowKeyNames() : QStringList{chart.rowIdName()};
}

QVariantList locatorValues(const EndFlagChart &chart, std::size_t i)
{
    if (!chart.rowIdName().isEmpty())
        return {chart.rowId(i)};
    return chart.rowKeyValues(i);
}

// Row i of the chart as the journal keeps it, to get `flag`: found by its rowid or key, known by
// everything else it holds, and placed in the walk, which writes rows in chart order: the rows a
// walk wrote are those up to where it came.
JournalRow journalRow(const EndFlagChart &chart, std::size_t i, int flag, ChartRowContents &contents)
{
    const qint64 position = qint64(i) + 1;
    const QVariant rowid = chart.rowId(i);
    const QVariantList otherKeys = chart.otherKeyValues(i);
    if (rowid.isNull()) {
        const QVariantList key = QVariantList{chart.code(i)} + otherKeys;
        return {rowid, key + contents.of(key), {chart.flag(i)}, {flag}, position};
    }
    const QVariantList stored = QVariantList{contents.storedCode(rowid, chart.code(i))} + otherKeys;
    return {rowid, stored + contents.of({rowid}), {chart.flag(i)}, {flag}, position};
}

// Adds the rows `changing` of the chart to the journal, each with the flag it is to get and all
// else it holds; where rows have whole-number rowids their other columns are read a batch at a
// time, so that a walk that changes a million rows holds no more than one batch of them.
void journalRows(Journal &journal, const EndFlagChart &chart, const std::vector<std::size_t> &changing,
                 const std::vector<std::int8_t> &right, ChartRowContents &contents)
{
    for (std::size_t first = 0; first < changing.size(); first += ReadAheadRows) {
        const std::size_t end = std::min(changing.size(), first + ReadAheadRows);
        std::vector<qint64> rowids;
        qint64 id = 0;
        for (std::size_t k = first; k < end && !chart.rowIdName().isEmpty(); ++k)
            if (chart.integerRowId(changing[k], id))
                rowids.push_back(id);
        contents.readAhead(rowids);
        for (std::size_t k = first; k < end; ++k)
            journal.addRow(journalRow(chart, changing[k], right[changing[k]], contents));
    }
}

// The journal of the walk, flushed: the rows whose flag the walk will change, each with its flag
// now and the flag it is to get and all else it holds, and on SQLite the journal mode the file
// must end in. Journal modes earlier walks could not restore are taken over from their memo.
std::unique_ptr<Journal> writeJournal(const QString &database, const QString &accountSet, const QString &year,
                                      const EndFlagChart &chart, const std::vector<std::int8_t> &right,
                                      ChartRowContents &contents, db::RowByRowWrites &writes)
{
    RepairRecord record;
    record.database = database;
    record.engine = ODBC::engineName();
    record.repair = RepairKind::EndFlags;
    record.accountSet = accountSet;
    record.year = year;
    record.table = QStringLiteral("code");
    record.rowidName = chart.rowIdName();
    record.changedColumns = {QStringLiteral("bend")};
    record.keyColumns = {QStringLiteral("ccode")};
    for (const int position : chart.otherKeyColumns())
        record.keyColumns << chart.rowKeyNames().at(position);
    record.keyColumns << contents.columns();
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
    std::vector<std::size_t> changing;
    for (std::size_t i = 0; i < chart.size(); ++i)
        if (walkWrites(chart, i, right[i]))
            changing.push_back(i);
    journalRows(*journal, chart, changing, right, contents);
    journal->setRowsVisited(qint64(chart.size()));
    if (writes.applies())
        writePendingSettings(directory, journal->record());
    journal->flush();
    if (writes.applies())
        settleOlderJournal(directory, pending, journal->record().id);
    return journal;
}

} // namespace

EndFlagRun repairEndFlags(const QString &accountSet, const QString &year, EndFlagProgress &progress)
{
    if (accountSet.isEmpty() || year.isEmpty())
        return EndFlagRun();
    ODBC::ConnectDatabase(ODBC::accountSetDatabaseName(accountSet, year));
    return repairEndFlagsOver(ODBC::DbConn(), accountSet, year, progress);
}

EndFlagRun repairEndFlagsOver(const std::shared_ptr<db::Connection> &connection, const QString &accountSet,
                              const QString &year, EndFlagProgress &progress)
{
    EndFlagRun run;
    run.database = ODBC::accountSetDatabaseName(accountSet, year);
    std::unique_ptr<Journal> journal;
    std::optional<db::RowByRowWrites> writes;
    std::optional<QString> atCode;  // the row in hand: the journal names it when the walk fails there
    try {
        if (!connection)
            throw db::DbError(QStringLiteral("数据库连接未打开，无法执行操作。"));
        const EndFlagChart chart = EndFlagChart::read(connection, true);
        run.codes = int(chart.size());
        const std::vector<std::int8_t> right = rightEndFlags(connection, chart);
        writes.emplace(connection);
        ChartRowContents contents(connection, rowLocator(chart),
                                  QStringList{QStringLiteral("ccode"), QStringLiteral("bend")} + chart.rowKeyNames());
        journal = writeJournal(run.database, accountSet, year, chart, right, contents, *writes);
        run.journal = journal->record().id;
        writes->start(journal->record().journalModeToRestore);
        run.triggerNotice = triggerNotice(QStringLiteral("code"), db::tableTriggers(connection, QStringLiteral("code")));

        // On a file opened by Qt's SQLite driver each row is written straight through SQLite;
        // elsewhere by a statement that finds the row by its locator and the values read.
        const std::unique_ptr<EndFlagDirectWrite> direct = EndFlagDirectWrite::forChart(connection, chart);
        std::optional<db::GuardedUpdate> update;
        if (!direct)
            update.emplace(connection, QStringLiteral("code"), writeLocator(chart),
                           QStringList{QStringLiteral("ccode"), QStringLiteral("bend")});
        db::WritePauses pauses(*connection);
        progress.walkStarting(run.codes);
        run.result = EndFlagResult::Completed;
        for (std::size_t i = 0; i < chart.size(); ++i) {
            atCode = chart.codeText(i);
            progress.rowStarted(*atCode);
            if (const int flag = right[i]; walkWrites(chart, i, flag)) {
                if (direct)
                    direct->write(i, flag);
                else
                    update->write(locatorValues(chart, i), {chart.code(i), chart.flag(i)}, {1}, {qint16(flag)});
                ++run.rowsWritten;
                if (!flagIsRight(chart.flag(i), flag))
                    ++run.rowsChanged;
                pauses.rowWritten();
            }
            ++run.rowsReached;
            atCode.reset();
            if (!progress.rowDone()) {
                run.result = EndFlagResult::Stopped;
                break;
            }
        }
    } catch (const db::DbError &error) {
        run.result = EndFlagResult::Failed;
        run.failure = error.description();
    }

    if (run.rowsWritten == 0)
        run.triggerNotice.clear();  // no trigger fired
    const bool settingsRestored = !writes || writes->finish();
    if (journal) {
        if (settingsRestored && writes && writes->applies())
            settlePendingSettings(journalDirectory(), journal->record());
        static const Outcome outcomes[] = {Outcome::Unrecorded, Outcome::Completed, Outcome::Stopped, Outcome::Failed};
        const QString where = atCode && run.result == EndFlagResult::Failed
            ? QStringLiteral("科目 %1：").arg(atCode->isNull() ? QStringLiteral("NULL") : *atCode)
            : QString();
        run.unrecorded = journal->finish(outcomes[int(run.result)], run.rowsReached, run.rowsChanged,
                                         where + run.failure, settingsRestored);
    }
    return run;
}

} // namespace repair
