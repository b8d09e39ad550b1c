#include "BalanceRecomputePlan.h"

#include "db/Connection.h"
#include "db/Recordset.h"

#include <algorithm>
#include <unordered_map>

namespace repair {

namespace {

// A balance row of an account with sub-accounts, as stored.
struct StoredRow {
    QVariant rowid, code, period;
    std::vector<QVariant> amounts;
};

// One account in one period: the sum of its direct sub-accounts' amounts, and its own rows.
struct AccountPeriod {
    explicit AccountPeriod(std::size_t columns) : sums(columns), own(columns) {}
    Amounts sums;
    Amounts own;  // the total of its own rows
    int rows = 0;
    qsizetype firstRow = -1;  // into the stored rows
    // The columns whose sums, or own amounts, need an amount that can't be read.
    AmountColumnSet sumsUnreadable = 0, ownUnreadable = 0;
};

// The columns of `set`, by name.
QStringList columnsIn(AmountColumnSet set, const QStringList &columns)
{
    QStringList named;
    for (qsizetype c = 0; c < columns.size(); ++c)
        if ((set >> c & 1) != 0)
            named << columns[c];
    return named;
}

}  // namespace

QVariant recomputedValue(const db::Connection &connection, Money sum)
{
    if (connection.dialect() == db::SqlDialect::TransactSql)
        return sum.toString();
    if (const std::optional<qint64> whole = sum.toInteger())
        return QVariant(qlonglong(*whole));
    return QVariant(sum.toDouble());
}

RecomputePlan readRecomputePlan(const std::shared_ptr<db::Connection> &connection, const QString &database,
                                const QStringList &amountColumns)
{
    RecomputePlan plan;
    plan.database = database;
    BalanceLedger ledger(connection, amountColumns);
    plan.codes = ledger.chartRows();
    plan.columns = ledger.amountColumns();
    const std::size_t columns = ledger.amountCount();
    const std::vector<qsizetype> &parents = ledger.parents();
    const std::vector<bool> &hasSubAccounts = ledger.hasSubAccounts();

    // An end-level account's rows go straight into its parent's sums; an account with
    // sub-accounts keeps its own rows, to be compared and written.
    std::unordered_map<quint64, AccountPeriod> accounts;
    const auto accountAt = [&](quint64 key) -> AccountPeriod & { return accounts.try_emplace(key, columns).first->second; };
    std::vector<StoredRow> stored;
    plan.rowsRead = ledger.readRows(connection->dialect() == db::SqlDialect::Sqlite, [&](const BalanceLedger::Row &row) {
        if (row.account < 0) {
            plan.orphans.push_back({row.code, row.period});
            return;
        }
        const auto index = std::size_t(row.account);
        if (hasSubAccounts[index]) {
            AccountPeriod &own = accountAt(accountPeriodKey(row.account, row.periodNumber));
            if (own.rows++ == 0) {
                own.firstRow = qsizetype(stored.size());
                StoredRow kept{row.stored.rowId(), row.stored.field(0), row.stored.field(1), {}};
                for (std::size_t c = 0; c < columns; ++c)
                    kept.amounts.push_back(row.stored.field(int(c) + 2));
                stored.push_back(std::move(kept));
                plan.rowidName = row.stored.rowIdName();
            }
            own.ownUnreadable |= row.unreadable;
            for (std::size_t c = 0; c < columns; ++c)
                own.own[c] += row.amounts[c];
        } else if (const qsizetype parent = parents[index]; parent >= 0) {
            AccountPeriod &sum = accountAt(accountPeriodKey(parent, row.periodNumber));
            sum.sumsUnreadable |= row.unreadable;
            for (std::size_t c = 0; c < columns; ++c)
                sum.sums[c] += row.amounts[c];
        }
    });

    // Every account above one with amounts in a period is given that period too, so the sums can
    // be carried all the way up.
    std::vector<quint64> keys;
    keys.reserve(accounts.size());
    for (const auto &entry : accounts)
        keys.push_back(entry.first);
    for (std::size_t i = 0, read = keys.size(); i < read; ++i) {
        const quint32 period = quint32(keys[i]);
        for (qsizetype up = parents[std::size_t(keys[i] >> 32)]; up >= 0; up = parents[std::size_t(up)]) {
            if (!accounts.try_emplace(accountPeriodKey(up, period), columns).second)
                break;  // it was there already, and so are the accounts above it, or they will be
            keys.push_back(accountPeriodKey(up, period));
        }
    }
    // Sub-accounts come after their parents in the chart's order: the last account first.
    std::sort(keys.begin(), keys.end(), [](quint64 a, quint64 b) { return (a >> 32) > (b >> 32); });
    for (const quint64 key : keys) {
        const auto account = qsizetype(key >> 32);
        const AccountPeriod &entry = accounts.at(key);
        const QString &code = ledger.codes()[std::size_t(account)];
        const QVariant &period = ledger.period(quint32(key));
        // A sum that needs an amount that can't be read is not worked out, and neither is the
        // parent's sum that would need what this account holds.
        const AmountColumnSet unworkable = entry.sumsUnreadable | entry.ownUnreadable;
        // What the account holds once recomputed, which its parent adds up: its stored amount where
        // that is within half a cent of the sum, so that the parent agrees with exactly what its
        // sub-accounts hold; else the sum.
        Amounts holds = entry.sums;
        std::vector<bool> off(columns), written(columns);
        for (std::size_t c = 0; c < columns; ++c) {
            off[c] = (unworkable >> c & 1) == 0 && entry.own[c].differsFrom(entry.sums[c]);
            if (entry.rows > 0 && !off[c])
                holds[c] = entry.own[c];
            written[c] = off[c];
        }
        if (const qsizetype parent = parents[std::size_t(account)]; parent >= 0) {
            AccountPeriod &above = accounts.at(accountPeriodKey(parent, quint32(key)));
            above.sumsUnreadable |= unworkable;
            for (std::size_t c = 0; c < columns; ++c)
                above.sums[c] += holds[c];
        }
        if (unworkable != 0)
            plan.unworkable.push_back({code, period, columnsIn(unworkable, plan.columns)});
        const bool anyOff = std::find(off.begin(), off.end(), true) != off.end();
        if (entry.rows == 0 && anyOff) {
            plan.missingRows.push_back({code, period, entry.sums});
        } else if (entry.rows > 1 && anyOff) {
            plan.duplicateRows.push_back({code, period, entry.rows});
        } else if (entry.rows == 1 && anyOff) {
            const StoredRow &row = stored[std::size_t(entry.firstRow)];
            // A sum the engine can't hold exactly (a real nearest to it, on SQLite) is listed with
            // what the engine would make of it; where the row holds that already, it is not written.
            for (std::size_t c = 0; c < columns; ++c) {
                const QVariant value = recomputedValue(*connection, entry.sums[c]);
                const std::optional<Money> held = Money::fromStored(value);
                if (!off[c] || held == entry.sums[c])
                    continue;
                plan.inexact.push_back({code, period, plan.columns[qsizetype(c)], entry.sums[c], value});
                if (held == entry.own[c])
                    written[c] = false;
            }
            if (std::find(written.begin(), written.end(), true) != written.end())
                plan.rows.push_back(
                    {code, period, row.rowid, row.code, row.period, row.amounts, entry.own, entry.sums, written, plan.columns});
        }
    }

    BalanceLedger::sortByCodeAndPeriod(plan.rows);
    BalanceLedger::sortByCodeAndPeriod(plan.missingRows);
    BalanceLedger::sortByCodeAndPeriod(plan.duplicateRows);
    BalanceLedger::sortByCodeAndPeriod(plan.unworkable);
    BalanceLedger::sortByCodeAndPeriod(plan.inexact);
    BalanceLedger::sortByCodeAndPeriod(plan.orphans);
    plan.unreadable = ledger.takeUnreadable();
    return plan;
}

}  // namespace repair
