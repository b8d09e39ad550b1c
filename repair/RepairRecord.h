#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>

#include <optional>

namespace repair {

// Which repair a journal records. The journal keeps it as its stored name (storedName()).
enum class RepairKind {
    BalanceReset,       // "balance-reset": one account's balances cleared from a period on
    RecomputeBalances,  // "recompute-balances": parents' balances set to their sub-accounts' sums
    EndFlags,           // "end-flags": every account's end-level flag rewritten from the codes
    Undo,               // "undo": the rows of an earlier repair put back
};

// How a repair ended. Unrecorded until it ends, and for good when its program died first or the
// end could not be recorded; the others are kept by their stored names.
enum class Outcome {
    Unrecorded,  // "" (no outcome stored)
    Completed,   // "completed"
    Stopped,     // "stopped": a walk stopped by the user, keeping the rows it wrote before that
    Failed,      // "failed": a walk that met an error, keeping the rows it wrote before that
    RolledBack,  // "rolled-back": a repair in one transaction (a reset, an undo) that failed and
                 // so wrote nothing
};

// The names the journal stores, and the kinds and outcomes they name (nullopt for a name no
// version of this program stores).
QString storedName(RepairKind kind);
QString storedName(Outcome outcome);
std::optional<RepairKind> repairKindNamed(const QString &name);
std::optional<Outcome> outcomeNamed(const QString &name);

// One repair as its journal records it.
struct RepairRecord {
    QString id;
    QDateTime time;    // when the repair started
    QString database;  // the database it changed, by name
    QString engine;    // "embedded" or "odbc": where that name was opened
    RepairKind repair = RepairKind::EndFlags;
    QString accountSet, year, code, period;  // the inputs the repair was given (as far as it has them)
    QString undoes;                          // for an undo: the id of the repair it undoes
    QString table;                           // the table whose rows it changes
    QString rowidName;                       // how SQLite names a row's rowid there; empty when rows are found by key
    QStringList changedColumns;              // the columns it writes
    QStringList keyColumns;                  // the other columns it read, which find a row without a rowid
    Outcome outcome = Outcome::Unrecorded;
    qint64 rowsDone = -1;          // rows written when it ended; the walk writes rows in their order, so
                                   // for a walk the position it reached (-1: not recorded)
    qint64 rowsChanged = -1;       // rows whose value actually changed (-1: not recorded)
    qint64 rowsVisited = -1;       // rows the repair looked at; a walk visits every chart row but journals
                                   // only those whose value it changes (-1: not recorded)
    QString user;                  // the login name of who ran it, and the name of the computer it ran
    QString host;                  // on; empty in journals of earlier versions, which lack them, and
                                   // where the system could not tell
    QString message;               // why it failed
    QString journalModeToRestore;  // SQLite journal mode the database must end in
    bool settingsPending = false;  // the database may still be in the repair's journal mode

    // Filled when a journal is read, not stored in it:
    bool running = false;  // the repair's process still holds its journal's lock (JournalLock)
    QString undoneBy;      // by listRepairs(): the id of a completed undo of this repair that is not
                           // itself undone; empty when none
};

// The record a repair of `kind` starts its journal with: the database it changes (on the engine
// the tool works on now), the account set and year it was given, the table it writes, and who
// runs it on which computer (repair/WhoAndWhere). The repair adds its columns and inputs.
RepairRecord newRepairRecord(RepairKind kind, const QString &database, const QString &accountSet, const QString &year,
                             const QString &table);

// One row a repair changes: where to find it (its rowid or primary key, and the values of the
// record's key columns), and its values of the changed columns before and after the repair.
struct JournalRow {
    QVariant rowid;          // null when the row is found by its key values
    QVariantList key;        // values of the record's key columns, in their order
    QVariantList oldValues;  // of the changed columns, in their order
    QVariantList newValues;
    qint64 position = 0;  // its place in the order the repair writes rows (1 on): written once
                          // the repair's rowsDone reaches it; 0 in journals of earlier versions
};

}  // namespace repair
