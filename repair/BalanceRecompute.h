#pragma once

#include "BalanceLedger.h"
#include "Money.h"
#include "RepairRun.h"

#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <vector>

namespace repair {

// A balance row of an account with sub-accounts whose amounts the recompute sets to the sums.
struct RecomputedRow {
    QString code;     // the account's code without padding
    QVariant period;  // as the books count it
    // The row as stored, which the write finds it by: its rowid (SQLite), ccode, iperiod, and
    // its amount columns.
    QVariant rowid, storedCode, storedPeriod;
    std::vector<QVariant> stored;
    Amounts old;                // the stored amounts as read (NULL as 0)
    Amounts sums;               // what the sub-accounts add up to
    std::vector<bool> changes;  // the amounts written: those 0.005 or more off their sum
    QStringList columns;        // the amount columns, in the order of the lists above
};

// An account with sub-accounts and no balance row in a period where they add up to an amount:
// the recompute adds no row.
struct MissingBalanceRow {
    QString code;
    QVariant period;
    Amounts sums;
};

// An account with several balance rows in one period whose total is off the sum: which of them
// to change can't be told.
struct DuplicateBalanceRows {
    QString code;
    QVariant period;
    int rows = 0;
};

// An account with sub-accounts in a period where the sums of `columns` need an amount that can't be
// read (its own or one below it): those amounts are left as they are.
struct UnworkableSums {
    QString code;
    QVariant period;
    QStringList columns;
};

// A sum the engine can't hold exactly where the recompute writes it (a double carries about 16
// digits): the row keeps what the engine made of it, or what it held when that is the same.
struct InexactSum {
    QString code;
    QVariant period;
    QString column;
    Money sum;
    QVariant stored;  // what the column holds, read back from the engine
};

// What a recompute of one database does, or would do.
struct RecomputePlan {
    QString database;
    int codes = 0;                               // rows of the chart of accounts
    qint64 rowsRead = 0;                         // rows of GL_accsum
    QString rowidName;                           // the name of the rowid the rows are found by (SQLite); empty elsewhere
    std::vector<RecomputedRow> rows;             // by code, then period
    std::vector<MissingBalanceRow> missingRows;  // by code, then period
    std::vector<DuplicateBalanceRows> duplicateRows;
    std::vector<BalanceOrphan> orphans;        // by code, then period; never touched
    std::vector<UnreadableAmount> unreadable;  // by code, then period, then column; never touched
    std::vector<UnworkableSums> unworkable;    // by code, then period
    std::vector<InexactSum> inexact;           // by code, then period, then column
    QString failure;                           // why the database could not be read
    QStringList columns;                       // the amount columns recomputed

    // Whether something is left that a recompute cannot mend.
    bool leavesSomething() const
    {
        return !missingRows.empty() || !duplicateRows.empty() || !orphans.empty() || !unreadable.empty() || !unworkable.empty()
               || !inexact.empty();
    }
};

// Works out, over a read-only connection of its own, what recomputing the parent accounts of
// `database` from their sub-accounts changes. The detail ledgers (end-level accounts) are the
// source: for every account with sub-accounts and every period, each of mb, md and mc should be
// the sum of its direct sub-accounts' amounts, where a sub-account's amount is itself computed
// the same way when it has sub-accounts and is its stored amount when it is end-level. Deepest
// accounts first, so every level follows the one below it. Only an existing row of such an
// account, and in it only an amount 0.005 or more off its sum, is to be written; a sum that needs
// an amount that can't be read is not worked out, nor is any sum above it. The chart, the rows and
// the amounts (`amountColumns` of GL_accsum) are read as the balance check reads them
// (BalanceLedger). Changes nothing.
RecomputePlan planRecompute(const QString &database, const QStringList &amountColumns = DefaultAmountColumns);

// Rows written so far, of the rows to write.
using RecomputeProgress = std::function<void(qint64 written, qint64 total)>;

// A recompute's result: Completed, or Failed with nothing changed; its rowsChanged are the rows
// written, and it has a journal only where there was something to write.
struct RecomputeRun : RepairRun {
    RecomputeRun() : RepairRun(RepairKind::RecomputeBalances) {}

    RecomputePlan plan;  // as read inside the run's transaction: what it wrote, or would have
};

// Recomputes the parent accounts of account set `accountSet`, year `year`, over a connection of
// its own, in one transaction: the plan is made inside it and, when a `confirmed` plan is given
// (one shown to the user before), must be that one (a row or a sub-account's amount changed by
// another program since stops it, naming the row), and recomputes the confirmed plan's amount
// columns, else `amountColumns`; the journal (kind recompute-balances, every
// row with its old and new amounts, shaped as the balance reset's so that undo treats both alike)
// is on disk before the first write; every write is guarded by the row's rowid (where there is
// one) and the code, period and amounts read, and reaching no row stops it. Any failure rolls
// everything back. Sums are written as numbers with no more decimals than they have: on SQLite an
// integer when whole, else a real; on a server as the exact decimal, which its money and decimal
// columns take as it is. Each written amount is read back in the transaction: one the engine
// did not store exactly is kept (it is nearer the sum than before), recorded in the journal as
// stored, and listed in the plan's inexact sums. Touches no window: a window may run it from a
// thread of its own.
RecomputeRun runRecompute(const QString &accountSet, const QString &year, const RecomputePlan *confirmed = nullptr,
                          const RecomputeProgress &progress = {}, const QStringList &amountColumns = DefaultAmountColumns);

}  // namespace repair
