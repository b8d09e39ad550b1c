#include "BalanceCheck.h"

#include "EndFlagVerdict.h"

#include "db/Connection.h"
#include "db/DbError.h"
#include "db/ODBC.h"
#include "db/Recordset.h"

#include <QHash>

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <optional>
#include <unordered_map>

namespace repair {

namespace {

const char *const Columns[] = {"mb", "md", "mc"};
using Amounts = std::array<double, 3>;

// Money has four decimals: amounts are compared in ten-thousandths, and a difference below half a
// cent is the rounding of stored floats.
constexpr double Units = 10000;
constexpr qint64 ToleranceUnits = 50;

// The chart of accounts: each distinct code once, in code order, with its direct parent.
struct Chart {
    int rows = 0;
    std::vector<QString> codes;          // without padding, sorted
    std::vector<qsizetype> parents;      // index into codes, or -1
    std::vector<bool> hasSubAccounts;
    QHash<QString, qsizetype> byCode;
};

// What one account holds in one period: its own rows, and the sum of its direct sub-accounts' rows.
struct PeriodTotals {
    bool hasRow = false;
    Amounts own{};
    Amounts subAccounts{};
};

// A stored value as the number it reads as: a number as it is, a text when it is one (blanks
// around it allowed). Nothing for NULL, other texts and other values.
std::optional<double> numberOf(const QVariant &stored)
{
    if (stored.isNull())
        return std::nullopt;
    bool number = false;
    double value = 0;
    switch (stored.typeId()) {
    case QMetaType::QString:
        value = stored.toString().trimmed().toDouble(&number);
        break;
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::Double:
    case QMetaType::Float:
        value = stored.toDouble(&number);
        break;
    default:
        break;
    }
    return number && std::isfinite(value) ? std::optional<double>(value) : std::nullopt;
}

// A stored period as the books count it: a whole number, also when stored as text (' 9') or as a
// real (9.0); any other value as it is.
QVariant periodOf(const QVariant &stored)
{
    if (stored.typeId() == QMetaType::LongLong || stored.typeId() == QMetaType::Int)
        return stored.isNull() ? stored : QVariant(stored.toLongLong());
    const std::optional<double> number = numberOf(stored);
    if (!number)
        return stored;
    if (*number == std::trunc(*number) && std::abs(*number) < 9e15)
        return QVariant(qint64(*number));
    return QVariant(*number);
}

// The periods met in the balances, each numbered once, so that totals are kept by number. Whole
// periods, by far the most common, are looked up without building a text.
class PeriodNumbers {
public:
    // The number of `period`, given it the first time it is met.
    quint32 numberOf(const QVariant &period)
    {
        if (period.typeId() == QMetaType::LongLong && !period.isNull())
            return numbered(m_whole, period.toLongLong(), period);
        return numbered(m_other,
                        period.isNull() ? QStringLiteral("-")
                                        : QString::number(period.typeId()) + QLatin1Char(':') + period.toString(),
                        period);
    }
    const QVariant &operator[](quint32 number) const { return m_periods[number]; }

private:
    // The number kept for `key` in `map`, or the next one with `period` kept under it.
    template <typename Map, typename Key>
    quint32 numbered(Map &map, const Key &key, const QVariant &period)
    {
        const auto [at, added] = map.try_emplace(key, quint32(m_periods.size()));
        if (added)
            m_periods.push_back(period);
        return at->second;
    }

    std::unordered_map<qint64, quint32> m_whole;
    std::map<QString, quint32> m_other;
    std::vector<QVariant> m_periods;
};

// Periods in the order a person reads them: numbers by value, then texts, then NULL.
bool periodBefore(const QVariant &a, const QVariant &b)
{
    const auto rank = [](const QVariant &p) { return p.isNull() ? 2 : numberOf(p) ? 0 : 1; };
    if (rank(a) != rank(b))
        return rank(a) < rank(b);
    if (rank(a) == 0)
        return a.toDouble() < b.toDouble();
    return a.toString() < b.toString();
}

// An amount for the sums: NULL, and anything that does not read as a number, counts as 0.
double amountOf(const QVariant &stored)
{
    return numberOf(stored).value_or(0);
}

// An amount to the four decimals money has, without the noise of summed floats.
double roundedToUnits(double amount)
{
    return std::round(amount * Units) / Units;
}

// One read of the chart: its distinct codes, in code order, each with its direct parent.
Chart readChart(const std::shared_ptr<db::Connection> &connection)
{
    Chart chart;
    db::Recordset rows;
    rows.open(QStringLiteral("select ccode from code"), connection, db::CursorType::Keyset, db::LockType::ReadOnly);
    for (; !rows.eof(); rows.moveNext()) {
        ++chart.rows;
        const QString text = connection->textOf(rows.field(0));
        if (!text.isNull())
            chart.codes.push_back(withoutPadding(text).toString());
    }
    rows.close();
    std::sort(chart.codes.begin(), chart.codes.end());
    chart.codes.erase(std::unique(chart.codes.begin(), chart.codes.end()), chart.codes.end());

    std::vector<ChartCode> codes;
    codes.reserve(chart.codes.size());
    for (const QString &code : chart.codes)
        codes.push_back({code});
    chart.parents = directParents(codes);
    chart.hasSubAccounts.assign(chart.codes.size(), false);
    chart.byCode.reserve(qsizetype(chart.codes.size()));
    for (qsizetype i = 0; i < qsizetype(chart.codes.size()); ++i) {
        chart.byCode.insert(chart.codes[std::size_t(i)], i);
        if (const qsizetype parent = chart.parents[std::size_t(i)]; parent >= 0)
            chart.hasSubAccounts[std::size_t(parent)] = true;
    }
    return chart;
}

// The disagreements of one account in one period, column by column.
void compare(const QString &code, const QVariant &period, const PeriodTotals &totals, BalanceCheck &check)
{
    for (std::size_t column = 0; column < 3; ++column) {
        const double own = totals.hasRow ? totals.own[column] : 0;
        if (std::llround(std::abs(own - totals.subAccounts[column]) * Units) < ToleranceUnits)
            continue;
        check.disagreements.push_back({code, period, QString::fromLatin1(Columns[column]),
                                       totals.hasRow ? QVariant(roundedToUnits(own)) : QVariant(),
                                       roundedToUnits(totals.subAccounts[column])});
    }
}

// The balances, by account and period number: (account << 32 | period).
struct Ledger {
    PeriodNumbers periods;
    std::unordered_map<quint64, PeriodTotals> totals;
};

// One read of the balances. Each row counts towards its own account's totals (kept only for
// accounts that have sub-accounts) and towards its parent's sum of sub-accounts; a row of a code
// the chart lacks is an orphan.
Ledger readLedger(const std::shared_ptr<db::Connection> &connection, const Chart &chart, BalanceCheck &check)
{
    Ledger ledger;
    db::Recordset rows;
    rows.open(QStringLiteral("select ccode,iperiod,mb,md,mc from GL_accsum"), connection, db::CursorType::Keyset,
              db::LockType::ReadOnly);
    for (; !rows.eof(); rows.moveNext()) {
        QString code = connection->textOf(rows.field(0));
        code.truncate(withoutPadding(code).size());
        const QVariant period = periodOf(rows.field(1));
        const auto account = code.isNull() ? chart.byCode.constEnd() : chart.byCode.constFind(code);
        if (account == chart.byCode.constEnd()) {
            check.orphans.push_back({code, period});
            continue;
        }
        const quint64 periodNumber = ledger.periods.numberOf(period);
        const Amounts amounts{amountOf(rows.field(2)), amountOf(rows.field(3)), amountOf(rows.field(4))};
        const auto index = std::size_t(account.value());
        if (chart.hasSubAccounts[index]) {
            PeriodTotals &own = ledger.totals[quint64(index) << 32 | periodNumber];
            own.hasRow = true;
            for (std::size_t column = 0; column < 3; ++column)
                own.own[column] += amounts[column];
        }
        if (const qsizetype parent = chart.parents[index]; parent >= 0) {
            PeriodTotals &sum = ledger.totals[quint64(parent) << 32 | periodNumber];
            for (std::size_t column = 0; column < 3; ++column)
                sum.subAccounts[column] += amounts[column];
        }
    }
    rows.close();
    return ledger;
}

// The disagreements of every account and period, in code order (the chart's indexes are), then
// period order, with the accounts and account periods that have any counted.
void listDisagreements(const Chart &chart, const Ledger &ledger, BalanceCheck &check)
{
    const auto accountOf = [](quint64 key) { return std::size_t(key >> 32); };
    const auto periodAt = [&ledger](quint64 key) -> const QVariant & { return ledger.periods[quint32(key)]; };
    std::vector<std::pair<quint64, const PeriodTotals *>> entries;
    entries.reserve(ledger.totals.size());
    for (const auto &[key, periodTotals] : ledger.totals)
        entries.emplace_back(key, &periodTotals);
    std::sort(entries.begin(), entries.end(), [&](const auto &a, const auto &b) {
        if (accountOf(a.first) != accountOf(b.first))
            return accountOf(a.first) < accountOf(b.first);
        return periodBefore(periodAt(a.first), periodAt(b.first));
    });
    std::optional<std::size_t> lastAccount;
    for (const auto &[key, periodTotals] : entries) {
        const std::size_t before = check.disagreements.size();
        compare(chart.codes[accountOf(key)], periodAt(key), *periodTotals, check);
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
        const std::shared_ptr<db::Connection> connection = ODBC::openConnection(database, true);
        const Chart chart = readChart(connection);
        check.codes = chart.rows;
        listDisagreements(chart, readLedger(connection, chart, check), check);
        std::stable_sort(check.orphans.begin(), check.orphans.end(), [](const BalanceOrphan &a, const BalanceOrphan &b) {
            return a.code != b.code ? a.code < b.code : periodBefore(a.period, b.period);
        });
    } catch (const db::DbError &error) {
        check.failure = error.description();
    }
    return check;
}

} // namespace repair
