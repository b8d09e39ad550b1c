#pragma once

#include "Money.h"

#include <QHash>
#include <QString>
#include <QVariant>

#include <array>
#include <functional>
#include <map>
#include <memory>
#include <unordered_map>
#include <vector>

namespace db {
class Connection;
class Recordset;
}

namespace repair {

// The three amounts of a balance row in the order the ledger reports them: mb, md, mc.
using Amounts = std::array<Money, 3>;
extern const char *const AmountNames[3];

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
// exactly, a NULL and a text that spells no number counting as 0.
class BalanceLedger {
public:
    // One balance row as read.
    struct Row {
        qsizetype account;  // index into codes(), or -1 for a code the chart lacks
        QString code;       // without padding, as db::textOfBytes() reads it; null for a NULL code
        QVariant period;    // a whole number when the stored period reads as one; else as stored
        quint32 periodNumber;  // the same period as a small number, the same for equal periods
        Amounts amounts;    // 0 for an orphan
        const db::Recordset &stored;  // ccode, iperiod, mb, md, mc as read (and the row's rowid)
    };

    // Reads the chart (table code) over `connection`.
    explicit BalanceLedger(std::shared_ptr<db::Connection> connection);
    ~BalanceLedger();

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
    // Orphans in code order, then period order.
    static void sortOrphans(std::vector<BalanceOrphan> &orphans);

private:
    quint32 periodNumber(const QVariant &period);

    std::shared_ptr<db::Connection> m_connection;
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

} // namespace repair
