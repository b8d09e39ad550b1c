#include "BalanceCheck.h"

#include "db/Connection.h"
#include "db/DbError.h"
#include "db/ODBC.h"

#include <algorithm>
#include <optional>
#include <unordered_map>

namespace repair {

namespace {

// What one account holds in one period: its own rows, and the sum of its direct sub-accounts' rows.
struct PeriodTotals {
    explicit PeriodTotals(std::size_t columns) : own(columns), subAccounts(columns) {}
    bool hasRow = false;
    Amounts own;
    Amounts subAccounts;
    AmountColumnSet unreadable = 0;  // the columns in which either needs an amount that can't be read
};

// The disagreements of one account in one period, column by column.
void compare(const QString &code, const QVariant &period, const PeriodTotals &totals, BalanceCheck &check)
{
    for (std::size_t column = 0; column < totals.own.size(); ++column) {
        const Money own = totals.hasRow ? totals.own[column] : Money();
        if ((totals.unreadable >> column & 1) != 0 || !own.differsFrom(totals.subAccounts[column]))
            continue;
        check.disagreements.push_back({code, period, check.columns[qsizetype(column)],
                                       totals.hasRow ? std::optional<Money>(own) : std::nullopt, totals.subAccounts[column]});
    }
}

// One read of the balances, by account and period. Each row counts towards its own account's
// totals (kept only for accounts that have sub-accounts) and towards its parent's sum of
// sub-accounts; a row of a code the chart lacks is an orphan.
std::unordered_map<quint64, PeriodTotals> readTotals(BalanceLedger &ledger, BalanceCheck &check)
{
    std::unordered_map<quint64, PeriodTotals> totals;
    const std::size_t columns = ledger.amountCount();
    const auto totalsOf = [&](quint64 key) -> PeriodTotals & { return totals.try_emplace(key, columns).first->second; };
    ledger.readRows(false, [&](const BalanceLedger::Row &row) {
        if (row.account < 0) {
            check.orphans.push_back({row.code, row.period});
            return;
        }
        const auto index = std::size_t(row.account);
        if (ledger.hasSubAccounts()[index]) {
            PeriodTotals &own = totalsOf(accountPeriodKey(row.account, row.periodNumber));
            own.hasRow = true;
            own.unreadable |= row.unreadable;
            for (std::size_t column = 0; column < columns; ++column)
                own.own[column] += row.amounts[column];
        }
        if (const qsizetype parent = ledger.parents()[index]; parent >= 0) {
            PeriodTotals &sum = totalsOf(accountPeriodKey(parent, row.periodNumber));
            sum.unreadable |= row.unreadable;
            for (std::size_t column = 0; column < columns; ++column)
                sum.subAccounts[column] += row.amounts[column];
        }
    });
    return totals;
}

// The disagreements of every account and period, in code order (the chart's indexes are), then
// period order, with the accounts and account periods that have any counted.
void listDisagreements(const BalanceLedger &ledger, const std::unordered_map<quint64, PeriodTotals> &totals, BalanceCheck &check)
{
    const auto accountOf = [](quint64 key) { return std::size_t(key >> 32); };
    const auto periodAt = [&ledger](quint64 key) -> const QVariant & { return ledger.period(quint32(key)); };
    std::vector<std::pair<quint64, const PeriodTotals *>> entries;
    entries.reserve(totals.size());
    for (const auto &[key, periodTotals] : totals)
        entries.emplace_back(key, &periodTotals);
    std::sort(entries.begin(), entries.end(), [&](const auto &a, const auto &b) {
        if (accountOf(a.first) != accountOf(b.first))
            return accountOf(a.first) < accountOf(b.first);
        return BalanceLedger::periodBefore(periodAt(a.first), periodAt(b.first));
    });
    std::optional<std::size_t> lastAccount;
    for (const auto &[key, periodTotals] : entries) {
        const std::size_t before = check.disagreements.size();
        compare(ledger.codes()[accountOf(key)], periodAt(key), *periodTotals, check);
        if (check.disagreements.size() == before)
            continue;
        ++check.periods;
        if (lastAccount != accountOf(key))
            ++check.accounts;
        lastAccount = accountOf(key);
    }
}

}  // namespace

BalanceCheck checkBalances(const QString &database, const QStringList &amountColumns)
{
    BalanceCheck check;
    check.database = database;
    check.columns = amountColumns;
    try {
        const std::shared_ptr<db::Connection> connection = ODBC::openConnection(database, true, true);
        BalanceLedger ledger(connection, amountColumns);
        check.codes = ledger.chartRows();
        check.columns = ledger.amountColumns();
        listDisagreements(ledger, readTotals(ledger, check), check);
        BalanceLedger::sortByCodeAndPeriod(check.orphans);
        check.unreadable = ledger.takeUnreadable();
    } catch (const db::DbError &error) {
        check = {database, 0, 0, 0, {}, {}, {}, error.description(), amountColumns};
    } catch (const MoneyOutOfRange &) {
        check = {database, 0, 0, 0, {}, {}, {}, moneyOutOfRangeText(), amountColumns};
    }
    return check;
}

}  // namespace repair
