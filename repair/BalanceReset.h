#pragma once

#include <QString>
#include <QVariant>

#include <optional>
#include <vector>

namespace repair {

enum class BalanceResetOutcome { NotChosen, Succeeded, Failed };

// One row the reset matched, with its period and amounts as they were before it.
struct BalanceRow {
    QVariant period, mb, md, mc;
};

struct BalanceResetRun {
    BalanceResetOutcome outcome = BalanceResetOutcome::NotChosen;
    int rowsMatched = 0;           // rows of the code from the period on
    int rowsChanged = 0;           // of those, rows whose amounts were not all 0 already
    QString journal;               // the id of the reset's journal, once it was written
    QString failure;               // why it failed (Failed); when Succeeded, that its end could not be journaled
    QString triggerNotice;         // when Succeeded: triggers may have changed rows outside its journal
    std::vector<BalanceRow> rows;  // the matched rows, in the order the engine gave them
};

// The month a reset's first period names, where it is one of the months 1 to 12 that the window's
// month list offers: read as the reset reads a period (a whole number, blanks around it and a
// sign allowed: " 9", "+9", "09"). Nothing for anything else (13, 0, "3a", "1.5", empty). The
// command line holds --from-period to it; the window's own reset takes any whole number.
std::optional<int> resetMonth(const QString &firstPeriod);

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
// Succeeded.
// A dry run reads the very rows the reset would clear, by the same selection, over a read-only
// connection, and stops there: no journal, no statement, no change to the database or its log.
BalanceResetRun resetBalances(const QString &accountSet, const QString &year, const QString &code, const QString &firstPeriod,
                              bool dryRun = false);

}  // namespace repair
