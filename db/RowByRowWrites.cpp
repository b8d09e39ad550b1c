#include "RowByRowWrites.h"

#include "Connection.h"

#include <QRegularExpression>
#include <QSqlQuery>

namespace db {

RowByRowWrites::RowByRowWrites(std::shared_ptr<Connection> connection) : m_connection(std::move(connection))
{
    if (!m_connection || !m_connection->isOpen() || m_connection->dialect() != SqlDialect::Sqlite)
        return;
    m_active = true;
    m_previousJournalMode = run(QStringLiteral("PRAGMA journal_mode"));
    run(QStringLiteral("PRAGMA journal_mode=WAL"));
    run(QStringLiteral("PRAGMA synchronous=NORMAL"));
}

RowByRowWrites::~RowByRowWrites()
{
    if (!m_active || !m_connection->isOpen())
        return;
    for (const QString &index : std::as_const(m_indexes))
        run(QStringLiteral("DROP INDEX IF EXISTS ") + index);
    run(QStringLiteral("PRAGMA synchronous=FULL"));
    if (!m_previousJournalMode.isEmpty())
        run(QStringLiteral("PRAGMA journal_mode=") + m_previousJournalMode);
}

void RowByRowWrites::indexExpression(const QString &table, const QString &expression)
{
    if (!m_active)
        return;
    static const QRegularExpression notNameCharacter(QStringLiteral("[^A-Za-z0-9]+"));
    const QString index = QStringLiteral("n3fix_") + QString(table + QLatin1Char('_') + expression)
                                                         .replace(notNameCharacter, QStringLiteral("_"));
    run(QStringLiteral("CREATE INDEX IF NOT EXISTS ") + index + QStringLiteral(" ON ") + table + QLatin1Char('(')
        + m_connection->statementText(expression) + QLatin1Char(')'));
    m_indexes << index;
}

// Runs one statement and returns the first column of its first row, if any.
QString RowByRowWrites::run(const QString &statement)
{
    QSqlQuery query(m_connection->openDatabase());
    if (query.exec(statement) && query.next())
        return query.value(0).toString();
    return QString();
}

} // namespace db
