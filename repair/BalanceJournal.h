#pragma once

#include "RepairRecord.h"

#include <QString>
#include <QStringList>

namespace db {
class Connection;
class Recordset;
}  // namespace db

namespace repair {

// The journal of a repair that rewrites the amounts of GL_accsum rows (the balance reset, the
// recompute), one shape for both so that one undo serves them.

// The columns such a repair writes, in the journal's order.
extern const QStringList BalanceJournalAmounts;  // mb, mc, md

// The record of the journal of a repair of `kind` on `database`, for rows read by `rows` (all of a row's
// columns, and on SQLite its rowid): the `amounts` are the changed columns (mb, mc, md first, in
// that order, as journals have always kept them), every other column (but those named in
// `notColumns`, which the select adds) a key column that finds the row again.
RepairRecord balanceJournalRecord(RepairKind kind, const QString &database, const QString &accountSet, const QString &year,
                                  const db::Recordset &rows, const QStringList &notColumns = {},
                                  const QStringList &amounts = BalanceJournalAmounts);

// The current row of `rows` as that journal keeps it: its rowid, its key columns (a text that is
// not valid UTF-8 as its stored bytes) and its amounts as they are. The new values are left to
// the repair.
JournalRow balanceJournalRow(db::Connection &connection, const RepairRecord &record, const db::Recordset &rows);

}  // namespace repair
