#pragma once

#include "RepairRun.h"
#include "ResetPeriod.h"

#include <QString>
#include <QVariant>

#include <vector>

namespace repair {

// One row the reset matched, with its period and amounts as they were before it.
struct BalanceRow {
    QVariant period, mb, md, mc;
};

// A reset's result: Completed or Failed (NotChosen opens nothing); its rowsChanged are the matched
// rows whose amounts were not all 0 already.
struct BalanceResetRun : RepairRun {
    BalanceResetRun() : RepairRun(RepairKind::BalanceReset) {}

    int rowsMatched = 0;           // rows of the code from the period on
    std::vector<BalanceRow> rows;  // the matched rows, in the order the engine gave them
};

// Clears the balances (mb, mc, md of GL_accsum) of exactly the account `code` in every
// period from `firstPeriod` on, in the database of the chosen account set and fiscal year.
// An empty account set or year is NotChosen and opens nothing. The database is opened on a
// connection of the reset's own; when it can't be opened, its db::DbError is raised and nothing
// is done (each front end says so in its own words). The code and the period go
// into the statement as parameters; a period that is not a whole number is refused before
// anything is sent. The code is matched without its trailing blanks and the period as a number,
// also where the table keeps them as text. The matched rows whose amounts change are journaled
// with their amounts before the statement runs, in the same transaction. Any failure is Failed
// and changes nothing (the journal records it as rolled back); a statement that matched no row is
// Completed.
// A dry run reads the very rows the reset would clear, by the same selection, over a read-only
// connection, and stops there: no journal, no statement, no change to the database or its log.
BalanceResetRun resetBalances(const QString &accountSet, const QString &year, const QString &code, const ResetPeriod &firstPeriod,
                              bool dryRun = false);

}  // namespace repair
