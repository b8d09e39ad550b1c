#pragma once

#include "BalanceRecompute.h"

#include <QStringList>
#include <QVariant>

#include <memory>

namespace db {
class Connection;
}

namespace repair {

// The plan of a recompute of `database` over `connection`, as planRecompute() describes it: one
// read of the chart and one of the balances, then the sums carried up from the deepest accounts.
// Raises db::DbError or MoneyOutOfRange when the books can't be read.
RecomputePlan readRecomputePlan(const std::shared_ptr<db::Connection> &connection, const QString &database,
                                const QStringList &amountColumns);

// The value a sum is written as: the exact decimal for a server, whose money and decimal columns
// take it as it is; on SQLite an integer when whole, else the nearest real.
QVariant recomputedValue(const db::Connection &connection, Money sum);

}  // namespace repair
