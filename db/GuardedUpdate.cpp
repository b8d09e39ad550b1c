#include "GuardedUpdate.h"

#include "Connection.h"
#include "DbError.h"
#include "QuotedName.h"

#include <QSqlError>

namespace db {

GuardedUpdate::GuardedUpdate(std::shared_ptr<Connection> connection, QString table, QStringList locator,
                             QStringList columns)
    : m_connection(std::move(connection)), m_table(std::move(table)), m_locator(std::move(locator)),
      m_columns(std::move(columns))
{
}

GuardedUpdate::~GuardedUpdate() = default;

QSqlQuery &GuardedUpdate::prepared(const QString &text)
{
    const auto found = m_statements.find(text);
    if (found != m_statements.end())
        return found->second;
    return m_statements.emplace(text, m_connection->prepared(text)).first->second;
}

// Conditions that pick the row as it was read: its locator, where there is one, and every column
// read, each of `replaced` compared with its new value from `values` instead. The values the
// conditions are bound to are appended to `bound`, in their order.
QStringList GuardedUpdate::criteria(const QVariantList &read, const QList<int> &replaced, const QVariantList &values,
                                    QVariantList &bound) const
{
    QStringList where;
    for (const QString &column : m_locator)
        where << quotedName(column) + QStringLiteral("=?");
    for (int i = 0; i < m_columns.size(); ++i) {
        const qsizetype at = replaced.indexOf(i);
        const QVariant &value = at >= 0 ? values.at(at) : read.at(i);
        if (value.isNull()) {
            where << quotedName(m_columns.at(i)) + QStringLiteral(" is null");
        } else {
            where << quotedName(m_columns.at(i)) + QStringLiteral("=?");
            bound << value;
        }
    }
    return where;
}

// The number of rows of the table that meet `where`.
qint64 GuardedUpdate::countMatching(const QStringList &where, const QVariantList &bound)
{
    QSqlQuery &query = prepared(QStringLiteral("select count(*) from ") + m_table + QStringLiteral(" where ")
                                + where.join(QStringLiteral(" and ")));
    for (int i = 0; i < bound.size(); ++i)
        query.bindValue(i, bound.at(i));
    const qint64 rows = query.exec() && query.next() ? query.value(0).toLongLong() : 0;
    query.finish();
    return rows;
}

void GuardedUpdate::write(const QVariantList &locatorValues, const QVariantList &read, const QList<int> &changed,
                          const QVariantList &values)
{
    QStringList assignments;
    for (const int column : changed)
        assignments << quotedName(m_columns.at(column)) + QStringLiteral("=?");
    QVariantList originals = locatorValues;
    const QStringList where = criteria(read, {}, {}, originals);
    QSqlQuery &query = prepared(QStringLiteral("update ") + m_table + QStringLiteral(" set ")
                                + assignments.join(QLatin1Char(',')) + QStringLiteral(" where ")
                                + where.join(QStringLiteral(" and ")));
    const QVariantList bound = values + originals;
    for (int i = 0; i < bound.size(); ++i)
        query.bindValue(i, bound.at(i));
    if (!query.exec())
        throw DbError(describe(query.lastError()));
    if (query.numRowsAffected() != 0)
        return;
    if (m_locator.isEmpty()) {
        QVariantList written;
        if (countMatching(criteria(read, changed, values, written), written) > 0)
            return;  // an identical row, already written
    }
    throw DbError(countMatching(where, originals) > 0 ? updateIgnored() : rowChangedSinceRead());
}

} // namespace db
