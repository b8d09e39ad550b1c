#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>

namespace repair {

// One repair as its journal records it.
struct RepairRecord {
    QString id;
    QDateTime time;        // when the repair started
    QString database;      // the database it changed, by name
    QString engine;        // "embedded" or "odbc": where that name was opened
    QString repair;        // "balance-reset", "recompute-balances", "end-flags" or "undo"
    QString accountSet, year, code, period;  // the inputs the repair was given (as far as it has them)
    QString undoes;        // for an undo: the id of the repair it undoes
    QString table;         // the table whose rows it changes
    QString rowidName;     // how SQLite names a row's rowid there; empty when rows are found by key
    QStringList changedColumns;  // the columns it writes
    QStringList keyColumns;      // the other columns it read, which find a row without a rowid
    // How it ended: "completed"; "stopped" or "failed" for a walk, which keeps the rows it wrote
    // before that; "rolled-back" for a repair in one transaction (a reset, an undo) that failed and
    // so wrote nothing. Empty until the repair ends, and for good when its program died first or
    // the end could not be recorded.
    QString outcome;
    qint64 rowsDone = -1;     // rows written when it ended; the walk writes rows in their order, so
                              // for a walk the position it reached (-1: not recorded)
    qint64 rowsChanged = -1;  // rows whose value actually changed (-1: not recorded)
    qint64 rowsVisited = -1;  // rows the repair looked at; a walk visits every chart row but journals
                              // only those whose value it changes (-1: not recorded)
    QString message;          // why it failed
    QString journalModeToRestore;  // SQLite journal mode the database must end in
    bool settingsPending = false;  // the database may still be in the repair's journal mode

    // Filled when a journal is read, not stored in it:
    bool running = false;  // the repair's process still holds its journal's lock (JournalLock)
    QString undoneBy;      // by listRepairs(): the id of a completed undo of this repair that is not
                           // itself undone; empty when none
};

// One row a repair changes: where to find it (its rowid or primary key, and the values of the
// record's key columns), and its values of the changed columns before and after the repair.
struct JournalRow {
    QVariant rowid;          // null when the row is found by its key values
    QVariantList key;        // values of the record's key columns, in their order
    QVariantList oldValues;  // of the changed columns, in their order
    QVariantList newValues;
    qint64 position = 0;     // its place in the order the repair writes rows (1 on): written once
                             // the repair's rowsDone reaches it; 0 in journals of earlier versions
};

} // namespace repair
