#include "EndFlagRepair.h"

#include "ChartRowContents.h"
#include "EndFlagDirectWrite.h"
#include "EndFlagPlan.h"
#include "Journal.h"
#include "PendingSettings.h"
#include "TriggerNotice.h"

#include "db/DbError.h"
#include "db/ODBC.h"
#include "db/Recordset.h"
#include "db/RowByRowWrites.h"
#include "db/TableTriggers.h"
#include "db/WritePauses.h"

#include <optional>
#include <vector>

namespace repair {

namespace {

// The chart as the walk found it, in code order.
struct Chart {
    std::vector<QVariant> codes, flags, rowids;
    std::vector<QVariantList> rowKeys;  // a composite primary key's values besides the code
};

// Where a composite primary key finds the rows: the positions of its columns other than the code,
// which the journal keeps beside the code.
QList<int> otherKeyColumns(const db::Recordset &walk)
{
    QList<int> positions;
    const QStringList names = walk.rowKeyNames();
    for (int i = 0; i < names.size(); ++i)
        if (names.at(i).compare(QLatin1String("ccode"), Qt::CaseInsensitive) != 0)
            positions << i;
    return positions;
}

// Reads the whole chart, then stands the walk on its first row again.
Chart readChart(db::Recordset &walk)
{
    Chart chart;
    const QList<int> otherKeys = otherKeyColumns(walk);
    while (!walk.eof()) {
        chart.codes.push_back(walk.field(0));
        chart.flags.push_back(walk.field(1));
        chart.rowids.push_back(walk.rowId());
        const QVariantList key = walk.rowKeyValues();
        QVariantList others;
        for (const int position : otherKeys)
            others << key.at(position);
        chart.rowKeys.push_back(others);
        walk.moveNext();
    }
    walk.moveFirst();
    return chart;
}

// The columns that find one chart row again where the walk has them: its rowid, or a composite
// primary key (the code first, as the journal's key begins). None where rows are found by value.
QStringList rowLocator(const db::Recordset &walk)
{
    if (!walk.rowIdName().isEmpty())
        return {walk.rowIdName()};
    if (walk.rowKeyNames().isEmpty())
        return {};
    QStringList names{QStringLiteral("ccode")};
    for (const int position : otherKeyColumns(walk))
        names << walk.rowKeyNames().at(position);
    return names;
}

// Row i of the chart as the journal keeps it, to get `flag`: found by its rowid or key, known by
// everything else it holds, and placed in the walk, which writes rows in chart order: the rows a
// walk wrote are those up to the number it wrote.
JournalRow journalRow(const Chart &chart, std::size_t i, int flag, ChartRowContents &contents)
{
    const qint64 position = qint64(i) + 1;
    const QVariantList key = QVariantList{chart.codes[i]} + chart.rowKeys[i];
    if (chart.rowids[i].isNull())
        return {chart.rowids[i], key + contents.of(key), {chart.flags[i]}, {flag}, position};
    const QVariantList stored = QVariantList{contents.storedCode(chart.rowids[i], chart.codes[i])} + chart.rowKeys[i];
    return {chart.rowids[i], stored + contents.of({chart.rowids[i]}), {chart.flags[i]}, {flag}, position};
}

// Makes sure the journal holds row i with the flag the server now gives it, before the row is
// written: a row the verdict left alone is added, a journaled row gets its new flag.
void journalProbedFlag(Journal &journal, const Chart &chart, std::size_t i, int flag, ChartRowContents &contents,
                       std::vector<qint64> &journaled)
{
    if (journaled[i] != 0)
        journal.setNewValues(journaled[i], {flag});
    else if (!storedAsInteger(chart.flags[i], flag))
        journaled[i] = journal.appendRow(journalRow(chart, i, flag, contents));
}

// The journal of the walk, flushed: the rows whose flag the walk will change, each with its flag
// now and the flag it is to get and all else it holds (their journal numbers go into `journaled`, 0 for the rows left
// out), and on SQLite the journal mode the file must end in. Journal modes earlier walks could not
// restore are taken over from their memo.
std::unique_ptr<Journal> writeJournal(const QString &database, const QString &accountSet, const QString &year,
                                      const db::Recordset &walk, const Chart &chart, const std::vector<int> &right,
                                      ChartRowContents &contents, db::RowByRowWrites &writes,
                                      std::vector<qint64> &journaled)
{
    RepairRecord record;
    record.database = database;
    record.engine = ODBC::engineName();
    record.repair = RepairKind::EndFlags;
    record.accountSet = accountSet;
    record.year = year;
    record.table = QStringLiteral("code");
    record.rowidName = walk.rowIdName();
    record.changedColumns = {QStringLiteral("bend")};
    record.keyColumns = {QStringLiteral("ccode")};
    for (const int position : otherKeyColumns(walk))
        record.keyColumns << walk.rowKeyNames().at(position);
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
    journaled.assign(chart.codes.size(), 0);
    std::vector<std::size_t> changing;  // the rows to journal
    std::vector<QVariant> changingRowids;
    for (std::size_t i = 0; i < chart.codes.size(); ++i)
        if (!storedAsInteger(chart.flags[i], right[i])) {
            changing.push_back(i);
            changingRowids.push_back(chart.rowids[i]);
        }
    if (!walk.rowIdName().isEmpty())
        contents.readAhead(changingRowids);
    for (const std::size_t i : changing)
        journaled[i] = journal->addRow(journalRow(chart, i, right[i], contents));
    journal->setRowsVisited(qint64(chart.codes.size()));
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
        db::Recordset walk;
        walk.open(QStringLiteral("select ccode,bend from code order by ccode"), connection, db::CursorType::Static,
                  db::LockType::Optimistic);
        const Chart chart = readChart(walk);
        run.codes = int(chart.codes.size());
        const std::vector<int> right = rightEndFlags(connection, chart.codes);
        writes.emplace(connection);
        std::vector<qint64> journaled;
        ChartRowContents contents(connection, rowLocator(walk),
                                  QStringList{QStringLiteral("ccode"), QStringLiteral("bend")} + walk.rowKeyNames());
        journal = writeJournal(run.database, accountSet, year, walk, chart, right, contents, *writes, journaled);
        run.journal = journal->record().id;
        writes->start(journal->record().journalModeToRestore);
        run.triggerNotice = triggerNotice(QStringLiteral("code"), db::tableTriggers(connection, QStringLiteral("code")));

        // On SQLite the flags are the ones just worked out; elsewhere the server is asked again
        // for each row as the walk reaches it, and a different answer is journaled before it is
        // written. Each row is written only while it holds the code and flag the walk read.
        std::optional<EndFlagProbe> probe;
        if (connection->dialect() != db::SqlDialect::Sqlite)
            probe.emplace(connection);
        // On a file opened by Qt's SQLite driver each row is written straight through SQLite.
        const std::unique_ptr<EndFlagDirectWrite> direct = EndFlagDirectWrite::forChart(connection, walk.rowIdName());
        db::WritePauses pauses(*connection);
        progress.walkStarting(run.codes);
        run.result = EndFlagResult::Completed;
        for (std::size_t i = 0; i < chart.codes.size(); ++i) {
            atCode = connection->textOf(chart.codes[i]);
            progress.rowStarted(*atCode);
            int flag = right[i];
            if (probe && (flag = probe->flagOf(chart.codes[i])) != right[i])
                journalProbedFlag(*journal, chart, i, flag, contents, journaled);
            if (direct) {
                direct->write(chart.rowids[i], chart.codes[i], chart.flags[i], flag);
            } else {
                walk.setField(1, qint16(flag));
                walk.update();
            }
            ++run.rowsWritten;
            pauses.rowWritten();
            if (!flagIsRight(chart.flags[i], flag))
                ++run.rowsChanged;
            walk.moveNext();
            atCode.reset();
            if (!progress.rowWritten()) {
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
        run.unrecorded = journal->finish(outcomes[int(run.result)], run.rowsWritten, run.rowsChanged,
                                         where + run.failure, settingsRestored);
    }
    return run;
}

} // namespace repair
