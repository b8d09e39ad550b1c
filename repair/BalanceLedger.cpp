#include "BalanceLedger.h"

#include "AccountCodes.h"

#include "db/Connection.h"
#include "db/DbError.h"
#include "db/QuotedName.h"
#include "db/Recordset.h"
#include "db/StoredValue.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace repair {

const QStringList DefaultAmountColumns{QStringLiteral("mb"), QStringLiteral("md"), QStringLiteral("mc")};

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

// What a read selects beside a row's columns on SQLite: the stored bytes of a code the driver
// would hand over otherwise, so that two different stored codes never read as one
// (db::textOfBytes()).
QString codeBytesColumn(const db::Connection &connection)
{
    return connection.dialect() == db::SqlDialect::Sqlite ? QLatin1Char(',') + db::codeBytesExpression(QStringLiteral("ccode"))
                                                          : QString();
}

// The code of the row `rows` stands on, read as the engine's text functions see it: by its
// stored bytes where they were read (column `bytes`), else as textOf() gives it.
QString codeOf(db::Connection &connection, const db::Recordset &rows, int bytes)
{
    const QVariant stored = bytes > 0 ? rows.field(bytes) : QVariant();
    return stored.isNull() ? connection.textOf(rows.field(0)) : db::textOfBytes(stored.toByteArray());
}

// Whether a stored amount stands for no amount at all: NULL, or a text of blanks, as import tools
// leave them; such an amount counts as 0.
bool noAmount(const QVariant &stored)
{
    return stored.isNull() || (db::storageClass(stored) == db::StorageClass::Text && stored.toString().trimmed().isEmpty());
}

// The amount columns `asked` as GL_accsum spells them; raises db::DbError when one is not a column
// of the table, or is its code or period.
QStringList amountColumnsOf(const std::shared_ptr<db::Connection> &connection, const QStringList &given)
{
    const QStringList &asked = given.isEmpty() ? DefaultAmountColumns : given;
    if (asked.size() > MaxAmountColumns)
        throw db::DbError(QStringLiteral("金额列最多 %1 个。").arg(MaxAmountColumns));
    db::Recordset table;
    table.open(QStringLiteral("select * from GL_accsum where 1=0"), connection, db::CursorType::Static, db::LockType::ReadOnly);
    const QStringList existing = table.fieldNames();
    table.close();
    QStringList columns;
    for (const QString &name : asked) {
        const auto found = std::find_if(existing.begin(), existing.end(),
                                        [&](const QString &column) { return column.compare(name, Qt::CaseInsensitive) == 0; });
        const bool keyColumn = name.compare(QLatin1String("ccode"), Qt::CaseInsensitive) == 0
                               || name.compare(QLatin1String("iperiod"), Qt::CaseInsensitive) == 0;
        if (found == existing.end() || keyColumn)
            throw db::DbError(
                QStringLiteral("余额表 GL_accsum 中没有金额列“%1”。它的列有：%2。").arg(name, existing.join(QStringLiteral("、"))));
        columns << *found;
    }
    return columns;
}

}  // namespace

AmountColumnList amountColumnList(const QString &text)
{
    AmountColumnList list;
    for (const QString &name : text.split(QLatin1Char(','))) {
        const QString column = name.trimmed();
        if (column.isEmpty())
            return {{}, QStringLiteral("金额列的列名不能为空。")};
        if (list.columns.contains(column, Qt::CaseInsensitive))
            return {{}, QStringLiteral("金额列“%1”给出了两次。").arg(column)};
        list.columns << column;
    }
    if (list.columns.size() > MaxAmountColumns)
        return {{}, QStringLiteral("金额列最多 %1 个。").arg(MaxAmountColumns)};
    return list;
}

QString storedAmountText(const QVariant &stored)
{
    if (db::storageClass(stored) == db::StorageClass::Real)
        return QString::number(stored.toDouble(), 'g', 17);
    return db::shownValue(stored);
}

QString moneyOutOfRangeText()
{
    return QStringLiteral("金额或其合计超出可计算的范围（约 ±1.7×10^28）。请在财务软件中核对余额表的数据。");
}

BalanceLedger::BalanceLedger(std::shared_ptr<db::Connection> connection, const QStringList &amountColumns)
    : m_connection(std::move(connection))
{
    m_amountColumns = amountColumnsOf(m_connection, amountColumns);
    db::Recordset rows;
    const QString bytes = codeBytesColumn(*m_connection);
    rows.open(QStringLiteral("select ccode") + bytes + QStringLiteral(" from code"), m_connection, db::CursorType::Keyset,
              db::LockType::ReadOnly);
    std::vector<ChartCode> codes;
    for (; !rows.eof(); rows.moveNext()) {
        ++m_chartRows;
        const QString text = codeOf(*m_connection, rows, bytes.isEmpty() ? 0 : 1);
        // a blob code is never a longer code to the lookup (ChartCode::canBeLonger)
        if (!text.isNull())
            codes.push_back({withoutPadding(text).toString(), rows.field(0).typeId() != QMetaType::QByteArray});
    }
    rows.close();
    // One code per text; it can be longer when any of the rows holding it can.
    std::sort(codes.begin(), codes.end(), [](const ChartCode &a, const ChartCode &b) {
        return a.text < b.text || (a.text == b.text && a.canBeLonger > b.canBeLonger);
    });
    codes.erase(std::unique(codes.begin(), codes.end(), [](const ChartCode &a, const ChartCode &b) { return a.text == b.text; }),
                codes.end());
    m_codes.reserve(codes.size());
    for (const ChartCode &code : codes)
        m_codes.push_back(code.text);
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
    rows.open(QStringLiteral("select ccode,iperiod,") + db::quotedNames(m_amountColumns) + bytes + QStringLiteral(" from GL_accsum"),
              m_connection, db::CursorType::Keyset, locating ? db::LockType::Optimistic : db::LockType::ReadOnly);
    qint64 read = 0;
    const std::size_t count = amountCount();
    for (; !rows.eof(); rows.moveNext(), ++read) {
        QString code = codeOf(*m_connection, rows, bytes.isEmpty() ? 0 : 2 + int(amountCount()));
        code.truncate(withoutPadding(code).size());
        const QVariant period = periodOf(rows.field(1));
        const auto account = code.isNull() ? m_byCode.constEnd() : m_byCode.constFind(code);
        Amounts amounts(count);
        AmountColumnSet unreadable = 0;
        for (std::size_t column = 0; column < count && account != m_byCode.constEnd(); ++column) {
            const QVariant stored = rows.field(int(column) + 2);
            try {
                if (const std::optional<Money> amount = Money::fromStored(stored)) {
                    amounts[column] = *amount;
                } else if (!noAmount(stored)) {
                    unreadable |= AmountColumnSet(1) << column;
                    m_unreadable.push_back({code, period, m_amountColumns[qsizetype(column)], stored});
                }
            } catch (const MoneyOutOfRange &) {
                throw db::DbError(QStringLiteral("科目 %1 第 %2 期的 %3 金额“%4”：")
                                      .arg(db::shownCode(code), shown(period), m_amountColumns[qsizetype(column)], shown(stored))
                                  + moneyOutOfRangeText());
            }
        }
        visit({account == m_byCode.constEnd() ? -1 : account.value(), code, period, periodNumber(period), amounts, unreadable,
               rows});
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

std::vector<UnreadableAmount> BalanceLedger::takeUnreadable()
{
    std::vector<UnreadableAmount> unreadable = std::move(m_unreadable);
    m_unreadable.clear();
    const auto columnAt = [this](const QString &column) { return m_amountColumns.indexOf(column); };
    std::stable_sort(unreadable.begin(), unreadable.end(), [&](const UnreadableAmount &a, const UnreadableAmount &b) {
        if (a.code != b.code)
            return a.code < b.code;
        if (periodBefore(a.period, b.period) || periodBefore(b.period, a.period))
            return periodBefore(a.period, b.period);
        return columnAt(a.column) < columnAt(b.column);
    });
    return unreadable;
}

}  // namespace repair
