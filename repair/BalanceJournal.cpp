#include "BalanceJournal.h"

#include "StoredText.h"

#include "db/Recordset.h"

#include <algorithm>

namespace repair {

const QStringList BalanceJournalAmounts{QStringLiteral("mb"), QStringLiteral("mc"), QStringLiteral("md")};

RepairRecord balanceJournalRecord(RepairKind kind, const QString &database, const QString &accountSet, const QString &year,
                                  const db::Recordset &rows, const QStringList &notColumns, const QStringList &amounts)
{
    RepairRecord record = newRepairRecord(kind, database, accountSet, year, QStringLiteral("GL_accsum"));
    record.rowidName = rows.rowIdName();
    const auto rank = [&amounts](const QString &name) {
        const qsizetype usual = BalanceJournalAmounts.indexOf(name.toLower());
        return usual >= 0 ? usual : BalanceJournalAmounts.size() + amounts.indexOf(name);
    };
    record.changedColumns = amounts;
    std::stable_sort(record.changedColumns.begin(), record.changedColumns.end(),
                     [&](const QString &a, const QString &b) { return rank(a) < rank(b); });
    for (const QString &name : rows.fieldNames())
        if (!amounts.contains(name, Qt::CaseInsensitive) && !notColumns.contains(name))
            record.keyColumns << name;
    return record;
}

JournalRow balanceJournalRow(db::Connection &connection, const RepairRecord &record, const db::Recordset &rows)
{
    JournalRow row{rows.rowId(), {}, {}, {}};
    for (const QString &name : record.keyColumns)
        row.key << storedText(connection, record.table, record.rowidName, row.rowid, name, rows.field(name));
    for (const QString &amount : record.changedColumns)
        row.oldValues << rows.field(amount);
    return row;
}

}  // namespace repair
