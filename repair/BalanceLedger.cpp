#include "BalanceLedger.h"

#include "AccountCodes.h"

#include "db/Connection.h"
#include "db/DbError.h"
#include "db/Recordset.h"
#include "db/StoredValue.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace repair {

const char *const AmountNames[3] = {"mb", "md", "mc"};

namespace {

// A stored period as a number: a number as it is, a text when it spells one (blanks around it
// allowed). Nothing for NULL, other texts and other values.
std::optional<double> periodNumberOf(const QVariant &stored)
{
    bool number = false;
    double value = 0;
    switch (db::storageClass(stored)) {
    case db::StorageClass::Text:
        value = stored.toString().trimmed().toDouble(&number);
        break;
    case db::StorageClass::Integer:
    case db::StorageClass::Real:
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
    const std::optional<double> number = periodNumberOf(stored);
    if (!number)
        return stored;
    if (*number == std::trunc(*number) && std::abs(*number) < 9e15)
        return QVariant(qint64(*number));
    return QVariant(*number);
}

// A value as the user reads it in a message.
QString shown(const QVariant &value)
{
    return value.isNull() ? QStringLiteral("NULL") : value.toString();
}

// What a read selects beside a row's columns on SQLite: the stored bytes of a text code that is
// not all printable ASCII. Qt's driver hands texts over decoded, a text not valid UTF-8 (a code
// imported in another encoding) with each invalid byte replaced alike, so that two different
// stored codes could read as one; by their bytes they stay apart (db::textOfBytes()).
QString codeBytesColumn(const db::Connection &connection)
{
    return connection.dialect() == db::SqlDialect::Sqlite
               ? QStringLiteral(",case when typeof(ccode)='text' and ccode glob '*[^ -~]*' then cast(ccode as blob) end")
               : QString();
}

// The code of the row `rows` stands on, read as the engine's text functions see it: by its
// stored bytes where they were read (column `bytes`), else as textOf() gives it.
QString codeOf(db::Connection &connection, const db::Recordset &rows, int bytes)
{
    const QVariant stored = bytes > 0 ? rows.field(bytes) : QVariant();
    return stored.isNull() ? connection.textOf(rows.field(0)) : db::textOfBytes(stored.toByteArray());
}

} // namespace

QString moneyOutOfRangeText()
{
    return QStringLiteral("金额或其合计超出可计算的范围（约 ±1.7×10^28）。请在财务软件中核对余额表的数据。");
}

BalanceLedger::BalanceLedger(std::shared_ptr<db::Connection> connection) : m_connection(std::move(connection))
{
    db::Recordset rows;
    const QString bytes = codeBytesColumn(*m_connection);
    rows.open(QStringLiteral("select ccode") + bytes + QStringLiteral(" from code"), m_connection, db::CursorType::Keyset,
              db::LockType::ReadOnly);
    for (; !rows.eof(); rows.moveNext()) {
        ++m_chartRows;
        const QString text = codeOf(*m_connection, rows, bytes.isEmpty() ? 0 : 1);
        if (!text.isNull())
            m_codes.push_back(withoutPadding(text).toString());
    }
    rows.close();
    std::sort(m_codes.begin(), m_codes.end());
    m_codes.erase(std::unique(m_codes.begin(), m_codes.end()), m_codes.end());

    std::vector<ChartCode> codes;
    codes.reserve(m_codes.size());
    for (const QString &code : m_codes)
        codes.push_back({code});
    m_parents = directParents(codes);
    m_hasSubAccounts.assign(m_codes.size(), false);
    m_byCode.reserve(qsizetype(m_codes.size()));
    for (qsizetype i = 0; i < qsizetype(m_codes.size()); ++i) {
        m_byCode.insert(m_codes[std::size_t(i)], i);
        if (const qsizetype parent = m_parents[std::size_t(i)]; parent >= 0)
            m_hasSubAccounts[std::size_t(parent)] = true;
    }
}

BalanceLedger::~BalanceLedger() = default;

quint32 BalanceLedger::periodNumber(const QVariant &period)
{
    const auto numbered = [this, &period](auto &map, const auto &key) {
        const auto [at, added] = map.try_emplace(key, quint32(m_periods.size()));
        if (added)
            m_periods.push_back(period);
        return at->second;
    };
    if (period.typeId() == QMetaType::LongLong && !period.isNull())
        return numbered(m_wholePeriods, period.toLongLong());
    return numbered(m_otherPeriods, period.isNull() ? QStringLiteral("-")
                                                    : QString::number(period.typeId()) + QLatin1Char(':') + period.toString());
}

qint64 BalanceLedger::readRows(bool locating, const std::function<void(const Row &)> &visit)
{
    db::Recordset rows;
    // An updatable recordset brings each row's rowid along on SQLite; it is never written through.
    const QString bytes = codeBytesColumn(*m_connection);
    rows.open(QStringLiteral("select ccode,iperiod,mb,md,mc") + bytes + QStringLiteral(" from GL_accsum"), m_connection,
              db::CursorType::Keyset, locating ? db::LockType::Optimistic : db::LockType::ReadOnly);
    qint64 read = 0;
    for (; !rows.eof(); rows.moveNext(), ++read) {
        QString code = codeOf(*m_connection, rows, bytes.isEmpty() ? 0 : 5);
        code.truncate(withoutPadding(code).size());
        const QVariant period = periodOf(rows.field(1));
        const auto account = code.isNull() ? m_byCode.constEnd() : m_byCode.constFind(code);
        Amounts amounts;
        for (int column = 0; column < 3 && account != m_byCode.constEnd(); ++column) {
            try {
                amounts[std::size_t(column)] = Money::fromStored(rows.field(2 + column)).value_or(Money());
            } catch (const MoneyOutOfRange &) {
                throw db::DbError(QStringLiteral("科目 %1 第 %2 期的 %3 金额“%4”：")
                                      .arg(db::shownValue(db::codeValue(code)), shown(period), QLatin1String(AmountNames[column]),
                                           shown(rows.field(2 + column)))
                                  + moneyOutOfRangeText());
            }
        }
        visit({account == m_byCode.constEnd() ? -1 : account.value(), code, period, periodNumber(period), amounts, rows});
    }
    rows.close();
    return read;
}

bool BalanceLedger::periodBefore(const QVariant &a, const QVariant &b)
{
    const auto rank = [](const QVariant &p) { return p.isNull() ? 2 : periodNumberOf(p) ? 0 : 1; };
    if (rank(a) != rank(b))
        return rank(a) < rank(b);
    if (rank(a) == 0)
        return a.toDouble() < b.toDouble();
    return a.toString() < b.toString();
}

void BalanceLedger::sortOrphans(std::vector<BalanceOrphan> &orphans)
{
    std::stable_sort(orphans.begin(), orphans.end(), [](const BalanceOrphan &a, const BalanceOrphan &b) {
        return a.code != b.code ? a.code < b.code : periodBefore(a.period, b.period);
    });
}

} // namespace repair
