#include "EndFlagJournal.h"

#include "ChartRowContents.h"
#include "EndFlagChart.h"
#include "PendingSettings.h"

#include "db/RowByRowWrites.h"

#include <algorithm>

namespace repair {

namespace {

// Rows whose other columns the journal reads in one statement.
constexpr std::size_t ReadAheadRows = 4096;

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

}  // namespace

bool walkWrites(const EndFlagChart &chart, std::size_t i, int flag)
{
    return chart.integerFlag(i) != flag;
}

namespace {

// What the journal reads of each chart row besides the columns that find it.
ChartRowContents chartRowContents(const std::shared_ptr<db::Connection> &connection, const EndFlagChart &chart)
{
    return ChartRowContents(connection, rowLocator(chart),
                            QStringList{QStringLiteral("ccode"), QStringLiteral("bend")} + chart.rowKeyNames());
}

}  // namespace

JournalRow endFlagJournalRow(const std::shared_ptr<db::Connection> &connection, const EndFlagChart &chart, std::size_t i, int flag)
{
    ChartRowContents contents = chartRowContents(connection, chart);
    return journalRow(chart, i, flag, contents);
}

std::unique_ptr<Journal> writeEndFlagJournal(const std::shared_ptr<db::Connection> &connection, const QString &database,
                                             const QString &accountSet, const QString &year, const EndFlagChart &chart,
                                             const std::vector<std::int8_t> &right, db::RowByRowWrites &writes)
{
    ChartRowContents contents = chartRowContents(connection, chart);
    RepairRecord record = newRepairRecord(RepairKind::EndFlags, database, accountSet, year, QStringLiteral("code"));
    record.rowidName = chart.rowIdName();
    record.changedColumns = {QStringLiteral("bend")};
    record.keyColumns = {QStringLiteral("ccode")};
    for (const int position : chart.otherKeyColumns())
        record.keyColumns << chart.rowKeyNames().at(position);
    record.keyColumns << contents.columns();
    std::vector<std::size_t> changing;
    for (std::size_t i = 0; i < chart.size(); ++i)
        if (walkWrites(chart, i, right[i]))
            changing.push_back(i);
    const QString directory = journalDirectory();
    PendingSettings pending;
    if (writes.applies()) {
        pending = pendingSettings(directory, database, record.engine);
        const bool leftovers = writes.dropLeftoverIndexes();
        const QString modeNow = writes.journalMode();
        record.journalModeToRestore = !pending.journalMode.isEmpty() ? pending.journalMode
                                      : leftovers                    ? QStringLiteral("delete")
                                                                     : modeNow;
        writes.plan(qint64(changing.size()));
        // The memo, where the walk may leave the file in another mode than its own: it switches
        // to the log, or finds the file in a mode an earlier walk left (whose memo it takes over).
        record.settingsPending = writes.switchesToLog() || !pending.journalMode.isEmpty() || record.journalModeToRestore != modeNow;
    }
    auto journal = std::make_unique<Journal>(directory, record);
    journalRows(*journal, chart, changing, right, contents);
    journal->setRowsVisited(qint64(chart.size()));
    if (record.settingsPending)
        writePendingSettings(directory, journal->record());
    journal->flush();
    if (record.settingsPending)
        settleOlderJournal(directory, pending, journal->record().id);
    return journal;
}

}  // namespace repair
