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
    bool hasRow = false;
    Amounts own{};
    Amounts subAccounts{};
};

// The disagreements of one account in one period, column by column.
void compare(const QString &code, const QVariant &period, const PeriodTotals &totals, BalanceCheck &check)
{
    for (std::size_t column = 0; column < 3; ++column) {
        const Money own = totals.hasRow ? totals.own[column] : Money();
        if (!own.differsFrom(totals.subAccounts[column]))
            continue;
        check.disagreements.push_back({code, period, QString::fromLatin1(AmountNames[column]),
                                       totals.hasRow ? std::optional<Money>(own) : std::nullopt,
                                       totals.subAccounts[column]});
    }
}

// One read of the balances, by account and period. Each row counts towards its own account's
// totals (kept only for accounts that have sub-accounts) and towards its parent's sum of
// sub-accounts; a row of a code the chart lacks is an orphan.
std::unordered_map<quint64, PeriodTotals> readTotals(BalanceLedger &ledger, BalanceCheck &check)
{
    std::unordered_map<quint64, PeriodTotals> totals;
    ledger.readRows(false, [&](const BalanceLedger::Row &row) {
        if (row.account < 0) {
            check.orphans.push_back({row.code, row.period});
            return;
        }
        const auto index = std::size_t(row.account);
        if (ledger.hasSubAccounts()[index]) {
            PeriodTotals &own = totals[accountPeriodKey(row.account, row.periodNumber)];
            own.hasRow = true;
            for (std::size_t column = 0; column < 3; ++column)
                own.own[column] += row.amounts[column];
        }
        if (const qsizetype parent = ledger.parents()[index]; parent >= 0) {
            PeriodTotals &sum = totals[accountPeriodKey(parent, row.periodNumber)];
            for (std::size_t column = 0; column < 3; ++column)
                sum.subAccounts[column] += row.amounts[column];
        }
    });
    return totals;
}

// The disagreements of every account and period, in code order (the chart's indexes are), then
// period order, with the accounts and account periods that have any counted.
void listDisagreements(const BalanceLedger &ledger, const std::unordered_map<quint64, PeriodTotals> &totals,
                       BalanceCheck &check)
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

} // namespace

BalanceCheck checkBalances(const QString &database)
{
    BalanceCheck check;
    check.database = database;
    try {
        const std::shared_ptr<db::Connection> connection = ODBC::openConnection(database, true, true);
        BalanceLedger ledger(connection);
        check.codes = ledger.chartRows();
        listDisagreements(ledger, readTotals(ledger, check), check);
        BalanceLedger::sortOrphans(check.orphans);
    } catch (const db::DbError &error) {
        check = {database, 0, 0, 0, {}, {}, error.description()};
    } catch (const MoneyOutOfRange &) {
        check = {database, 0, 0, 0, {}, {}, moneyOutOfRangeText()};
    }
    return check;
}

} // namespace repair
