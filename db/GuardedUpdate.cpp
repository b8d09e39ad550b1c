#include "GuardedUpdate.h"

#include "Connection.h"
#include "DbError.h"
#include "QuotedName.h"

#include <QSqlError>

namespace db {

GuardedUpdate::GuardedUpdate(std::shared_ptr<Connection> connection, QString table, QStringList locator, QStringList columns)
    : m_connection(std::move(connection)), m_table(std::move(table)), m_locator(std::move(locator)), m_columns(std::move(columns))
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

// The condition that picks the row as it was read: its locator, where there is one, and every
// column read, each of `replaced` compared with its new value from `values` instead.
Condition GuardedUpdate::criteria(const QVariantList &locatorValues, const QVariantList &read, const QList<int> &replaced,
                                  const QVariantList &values) const
{
    QVariantList held = locatorValues;
    for (int i = 0; i < m_columns.size(); ++i) {
        const qsizetype at = replaced.indexOf(i);
        held << (at >= 0 ? values.at(at) : read.at(i));
    }
    return allEqual(m_locator + m_columns, held, m_connection->dialect() == SqlDialect::Sqlite);
}

// The number of rows of the table that meet `where`.
qint64 GuardedUpdate::countMatching(const Condition &where)
{
    QSqlQuery &query = prepared(QStringLiteral("select count(*) from ") + m_table + QStringLiteral(" where ") + where.sql);
    for (int i = 0; i < where.bound.size(); ++i)
        query.bindValue(i, where.bound.at(i));
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
    const Condition where = criteria(locatorValues, read, {}, {});
    QSqlQuery &query = prepared(QStringLiteral("update ") + m_table + QStringLiteral(" set ") + assignments.join(QLatin1Char(','))
                                + QStringLiteral(" where ") + where.sql);
    const QVariantList bound = values + where.bound;
    for (int i = 0; i < bound.size(); ++i)
        query.bindValue(i, bound.at(i));
    if (!query.exec())
        throw DbError(describe(query.lastError()));
    const int rows = query.numRowsAffected();
    if (rows > 0)
        return;
    // No count (a server with NOCOUNT on): the write went through if the row holds its new values
    // now. With a count of none, a row found by its values alone may be an identical copy of one
    // written already, which holds them too: the outcome wanted.
    if ((rows < 0 || m_locator.isEmpty()) && countMatching(criteria(locatorValues, read, changed, values)) > 0)
        return;
    throw DbError(countMatching(where) > 0 ? updateIgnored() : rowChangedSinceRead());
}

}  // namespace db
