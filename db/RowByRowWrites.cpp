#include "RowByRowWrites.h"

#include "Connection.h"
#include "QuotedName.h"

#include <QSqlQuery>
#include <QStringList>

namespace db {

namespace {

bool isWriteAheadLog(const QString &journalMode)
{
    return journalMode.compare(QLatin1String("wal"), Qt::CaseInsensitive) == 0;
}

} // namespace

RowByRowWrites::RowByRowWrites(std::shared_ptr<Connection> connection) : m_connection(std::move(connection))
{
    if (!m_connection || !m_connection->isOpen() || m_connection->dialect() != SqlDialect::Sqlite)
        return;
    m_applies = true;
    QSqlQuery query(m_connection->openDatabase());
    if (query.exec(QStringLiteral("PRAGMA busy_timeout")) && query.next())
        m_busyTimeout = query.value(0).toString();
}

RowByRowWrites::~RowByRowWrites()
{
    if (m_started)
        finish();
}

QString RowByRowWrites::journalMode()
{
    QString mode;
    if (m_applies)
        run(QStringLiteral("PRAGMA journal_mode"), &mode);
    return mode.toLower();
}

bool RowByRowWrites::dropLeftoverIndexes()
{
    if (!m_applies)
        return false;
    QStringList names;
    {
        QSqlQuery query(m_connection->openDatabase());
        if (query.exec(QStringLiteral("select name from sqlite_master where type='index' and substr(name,1,6)='n3fix_'")))
            while (query.next())
                names << query.value(0).toString();
    }
    for (const QString &name : std::as_const(names))
        run(QStringLiteral("DROP INDEX IF EXISTS ") + quotedName(name));
    return !names.isEmpty();
}

void RowByRowWrites::start(const QString &ownJournalMode)
{
    if (!m_applies)
        return;
    m_started = true;
    m_ownJournalMode = ownJournalMode;
    // Some changes SQLite cannot make (on a VFS without shared memory, say) are answered with
    // the mode that stays rather than an error, so the answer is checked: normal syncing is only
    // safe in the log.
    QString modeNow;
    m_logSwitched = run(QStringLiteral("PRAGMA journal_mode=WAL"), &modeNow) && isWriteAheadLog(modeNow)
        && run(QStringLiteral("PRAGMA synchronous=NORMAL"));
}

bool RowByRowWrites::finish()
{
    if (!m_started)
        return true;
    m_started = false;
    if (!m_connection->isOpen())
        return false;
    if (m_logSwitched)
        run(QStringLiteral("PRAGMA synchronous=FULL"));
    if (m_ownJournalMode.isEmpty() || isWriteAheadLog(m_ownJournalMode))
        return true;
    QString modeNow;
    run(QStringLiteral("PRAGMA journal_mode=") + m_ownJournalMode, &modeNow);
    return modeNow.compare(m_ownJournalMode, Qt::CaseInsensitive) == 0;
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
