#include "RowByRowWrites.h"

#include "Connection.h"

#include <QRegularExpression>
#include <QSqlQuery>

namespace db {

namespace {

const QString IndexPrefix = QStringLiteral("n3fix_");

bool isWriteAheadLog(const QString &journalMode)
{
    return journalMode.compare(QLatin1String("wal"), Qt::CaseInsensitive) == 0;
}

} // namespace

RowByRowWrites::RowByRowWrites(std::shared_ptr<Connection> connection) : m_connection(std::move(connection))
{
    if (!m_connection || !m_connection->isOpen() || m_connection->dialect() != SqlDialect::Sqlite)
        return;
    m_active = true;
    QSqlQuery query(m_connection->openDatabase());
    if (query.exec(QStringLiteral("PRAGMA busy_timeout")) && query.next())
        m_busyTimeout = query.value(0).toString();
    m_indexes = leftoverIndexes();
    if (!m_indexes.isEmpty())
        m_journalModeToRestore = QStringLiteral("delete");
}

RowByRowWrites::~RowByRowWrites()
{
    if (!m_active || !m_connection->isOpen())
        return;
    for (const QString &index : std::as_const(m_indexes))
        run(QStringLiteral("DROP INDEX IF EXISTS ") + index);
    if (m_logSwitched)
        run(QStringLiteral("PRAGMA synchronous=FULL"));
    if (!m_journalModeToRestore.isEmpty())
        run(QStringLiteral("PRAGMA journal_mode=") + m_journalModeToRestore);
}

QStringList RowByRowWrites::leftoverIndexes()
{
    QStringList names;
    QSqlQuery query(m_connection->openDatabase());
    if (query.exec(QStringLiteral("select name from sqlite_master where type='index' and substr(name,1,6)='")
                   + IndexPrefix + QLatin1Char('\'')))
        while (query.next())
            names << query.value(0).toString();
    return names;
}

void RowByRowWrites::indexExpression(const QString &table, const QString &expression)
{
    if (!m_active)
        return;
    static const QRegularExpression notNameCharacter(QStringLiteral("[^A-Za-z0-9]+"));
    const QString index =
        IndexPrefix + QString(table + QLatin1Char('_') + expression).replace(notNameCharacter, QStringLiteral("_"));
    if (!run(QStringLiteral("CREATE INDEX IF NOT EXISTS ") + index + QStringLiteral(" ON ") + table + QLatin1Char('(')
             + m_connection->statementText(expression) + QLatin1Char(')')))
        return;  // locked or read-only: the walk goes on without it
    if (!m_indexes.contains(index))
        m_indexes << index;
    if (m_logSwitched)
        return;
    // The log is switched on only once an index stands, so a file found in the log with no
    // index of ours beside it is in the log by its owner's choice.
    // Some changes SQLite cannot make (on a VFS without shared memory, say) are answered
    // with the mode that stays rather than an error, so the answer is checked: normal syncing
    // is only safe in the log.
    QString mode;
    QString modeNow;
    run(QStringLiteral("PRAGMA journal_mode"), &mode);
    if (run(QStringLiteral("PRAGMA journal_mode=WAL"), &modeNow) && isWriteAheadLog(modeNow)
        && run(QStringLiteral("PRAGMA synchronous=NORMAL"))) {
        m_logSwitched = true;
        if (m_journalModeToRestore.isEmpty() && !isWriteAheadLog(mode))
            m_journalModeToRestore = mode;
    }
}

// Runs one set-up statement without waiting for another program's lock. Gives the first
// column of the first row, if asked for.
bool RowByRowWrites::run(const QString &statement, QString *firstValue)
{
    QSqlQuery query(m_connection->openDatabase());
    query.exec(QStringLiteral("PRAGMA busy_timeout=0"));
    const bool done = query.exec(statement);
    if (done && firstValue && query.next())
        *firstValue = query.value(0).toString();
    query.finish();
    if (!m_busyTimeout.isEmpty())
        query.exec(QStringLiteral("PRAGMA busy_timeout=") + m_busyTimeout);
    return done;
}

} // namespace db
