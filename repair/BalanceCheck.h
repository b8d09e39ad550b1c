#pragma once

#include "BalanceLedger.h"
#include "Money.h"

#include <QString>
#include <QVariant>

#include <optional>
#include <vector>

namespace repair {

// One column of one period in which an account's own balance row differs from the sum of its
// direct sub-accounts' rows.
struct BalanceDisagreement {
    QString code;                 // the account's code as the engine's text functions see it, without padding
    QVariant period;              // a whole number when the stored period reads as one; else as stored
    QString column;               // the amount column: "mb", "md", "mc", or another one asked for
    std::optional<Money> amount;  // the account's own amount (NULL stored counts as 0); none when it has no row
    Money subAccountsSum;
};

struct BalanceCheck {
    QString database;
    int codes = 0;                                   // rows of the chart of accounts
    int accounts = 0;                                // accounts with at least one disagreement
    int periods = 0;                                 // account periods with at least one disagreement
    std::vector<BalanceDisagreement> disagreements;  // by code, then period, then mb, md, mc
    std::vector<BalanceOrphan> orphans;              // by code, then period
    std::vector<UnreadableAmount> unreadable;        // by code, then period, then column
    QString failure;                                 // why the database could not be read
    QStringList columns;                             // the amount columns checked

    bool findsSomething() const { return !disagreements.empty() || !orphans.empty() || !unreadable.empty(); }
};

// Reads the chart of accounts (code) and the ledger balances (GL_accsum) of `database` once each,
// over a read-only connection of its own, and finds where the general ledger and the detail
// ledgers disagree: every account that has sub-accounts, in every period where one of its
// `amountColumns` differs from the sum of that column over its direct sub-accounts' rows, every
// balance row of a code the chart does not hold, and every amount that can't be read. Amounts are
// read and summed exactly (BalanceLedger); differences below 0.005 are the rounding of stored
// amounts and are not reported, and a comparison that needs an unreadable amount is not made.
// Changes nothing in any file.
BalanceCheck checkBalances(const QString &database, const QStringList &amountColumns = DefaultAmountColumns);

}  // namespace repair
