#pragma once

#include <QString>

namespace repair {

enum class BalanceResetOutcome { NotChosen, Succeeded, Failed };

// Clears the balances (mb, mc, md of GL_accsum) of exactly the account `code` in every
// period from `firstPeriod` on, in the database of the chosen account set and fiscal year.
// An empty account set or year is NotChosen and opens nothing. The code and the period go
// into the statement as parameters; a period that is not a whole number is refused before
// anything is sent. Any failure is Failed; a statement that matched no row is Succeeded.
BalanceResetOutcome resetBalances(const QString &accountSet, const QString &year, const QString &code,
                                  const QString &firstPeriod);

} // namespace repair
