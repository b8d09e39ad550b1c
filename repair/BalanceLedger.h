#pragma once

#include "Money.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <unordered_map>
#include <vector>

namespace db {
class Connection;
class Recordset;
}  // namespace db

namespace repair {

// The amount columns of GL_accsum the ledger reads unless told others: mb, md, mc.
extern const QStringList DefaultAmountColumns;
// At most this many amount columns are read at once.
inline constexpr int MaxAmountColumns = 64;

// The amount columns a list such as "mb,md,mc,me" names (commas between, blanks around each
// allowed), or why it names none: an empty name, a name twice, more than MaxAmountColumns.
struct AmountColumnList {
    QStringList columns;
    QString problem;
};
AmountColumnList amountColumnList(const QString &text);

// The amounts of a balance row, one for each amount column read, in their order.
using Amounts = std::vector<Money>;
// Which amount columns, one bit each by their order, hold an amount that could not be read.
using AmountColumnSet = quint64;

// An amount stored in a form that is no plain number ('1,234.50', 'NaN', a blob, ...): what it
// was meant to be is the bookkeeper's call, so nothing that needs it is worked out.
struct UnreadableAmount {
    QString code;
    QVariant period;
    QString column;
    QVariant stored;  // as stored
};

// A balance row whose code is not in the chart of accounts.
struct BalanceOrphan {
    QString code;  // null for a NULL code
    QVariant period;
};

// The chart of accounts and the balance rows of one account-set database, read as the balance
// check and the recompute both read them, each once: codes by the end flags' reading (trailing
// blanks do not count, numbers read as their digits, texts on SQLite by their stored bytes, so
// that two different stored codes are never one account), each distinct code once, in code order, so
// that every sub-account comes after its parent; periods as the books count them; amounts
// exactly in their plain forms (Money::fromStored), a NULL and an empty text counting as 0, as
// import tools leave them for "no amount"; any other value is an unreadable amount.
class BalanceLedger {
public:
    // One balance row as read.
    struct Row {
        qsizetype account;            // index into codes(), or -1 for a code the chart lacks
        QString code;                 // without padding, as db::textOfBytes() reads it; null for a NULL code
        QVariant period;              // a whole number when the stored period reads as one; else as stored
        quint32 periodNumber;         // the same period as a small number, the same for equal periods
        Amounts amounts;              // 0 for an orphan, and for an amount that can't be read
        AmountColumnSet unreadable;   // the amounts that can't be read (none for an orphan)
        const db::Recordset &stored;  // ccode, iperiod and the amount columns as stored (and the row's rowid)
    };

    // Reads the chart (table code) over `connection`, and checks that each of `amountColumns`
    // is a column of GL_accsum (compared as the engine compares names: without regard to case;
    // none for the default columns); raises db::DbError naming the columns there are when one is
    // not.
    explicit BalanceLedger(std::shared_ptr<db::Connection> connection, const QStringList &amountColumns = DefaultAmountColumns);
    ~BalanceLedger();

    // The amount columns read, as GL_accsum spells them.
    const QStringList &amountColumns() const { return m_amountColumns; }
    std::size_t amountCount() const { return std::size_t(m_amountColumns.size()); }
    // The amounts of the chart's accounts that could not be read by the rows read so far, in code
    // order, then period order, then the columns' order; the ledger keeps none of them after.
    std::vector<UnreadableAmount> takeUnreadable();

    int chartRows() const { return m_chartRows; }
    const std::vector<QString> &codes() const { return m_codes; }
    // The direct parent of each code: the longest other code it begins with; -1 for none.
    const std::vector<qsizetype> &parents() const { return m_parents; }
    const std::vector<bool> &hasSubAccounts() const { return m_hasSubAccounts; }
    // The period numbered `number` by the rows read so far.
    const QVariant &period(quint32 number) const { return m_periods[number]; }

    // Reads every row of GL_accsum once, in the engine's order, and hands each to `visit`. With
    // `locating`, each row also comes with what finds it again for a write (its rowid on SQLite).
    // Returns the number of rows read. An amount beyond what Money holds raises db::DbError naming
    // its row.
    qint64 readRows(bool locating, const std::function<void(const Row &)> &visit);

    // Periods in the order a person reads them: numbers by value, then texts, then NULL.
    static bool periodBefore(const QVariant &a, const QVariant &b);
    // Rows of any kind with a code and a period (orphans, rows to write, ...) in code order, then
    // period order.
    template <typename Rows> static void sortByCodeAndPeriod(Rows &rows)
    {
        std::stable_sort(rows.begin(), rows.end(), [](const auto &a, const auto &b) {
            return a.code != b.code ? a.code < b.code : periodBefore(a.period, b.period);
        });
    }

private:
    quint32 periodNumber(const QVariant &period);

    std::shared_ptr<db::Connection> m_connection;
    QStringList m_amountColumns;
    std::vector<UnreadableAmount> m_unreadable;
    int m_chartRows = 0;
    std::vector<QString> m_codes;
    std::vector<qsizetype> m_parents;
    std::vector<bool> m_hasSubAccounts;
    QHash<QString, qsizetype> m_byCode;
    // Whole periods, by far the most common, are numbered without building a text.
    std::unordered_map<qint64, quint32> m_wholePeriods;
    std::map<QString, quint32> m_otherPeriods;
    std::vector<QVariant> m_periods;
};

// The sums of the balances of one account in one period, kept by account and period number in
// one key: (account << 32 | period).
inline quint64 accountPeriodKey(qsizetype account, quint32 period)
{
    return quint64(account) << 32 | period;
}

// Why a database whose amounts or their sums go beyond what Money holds can't be checked or
// recomputed, and what to do.
QString moneyOutOfRangeText();

// The value of a stored amount as a message quotes it: a text as it is, a real in full ("inf"),
// a blob as X'…'.
QString storedAmountText(const QVariant &stored);

}  // namespace repair
