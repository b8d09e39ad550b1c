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

}  // namespace

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

// Runs `statements` (calls of run()) without waiting for another program's lock.
template <typename Statements> void RowByRowWrites::withoutWaiting(Statements statements)
{
    QSqlQuery query(m_connection->openDatabase());
    query.exec(QStringLiteral("PRAGMA busy_timeout=0"));
    statements();
    if (!m_busyTimeout.isEmpty())
        query.exec(QStringLiteral("PRAGMA busy_timeout=") + m_busyTimeout);
}

// Runs one statement; gives the first column of the first row, if asked for.
bool RowByRowWrites::run(const QString &statement, QString *firstValue)
{
    QSqlQuery query(m_connection->openDatabase());
    const bool done = query.exec(statement);
    if (done && firstValue && query.next())
        *firstValue = query.value(0).toString();
    query.finish();
    return done;
}

QString RowByRowWrites::journalMode()
{
    QString mode;
    if (m_applies)
        withoutWaiting([&] { run(QStringLiteral("PRAGMA journal_mode"), &mode); });
    m_modeAtStart = mode.toLower();
    return m_modeAtStart;
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
    if (!names.isEmpty())
        withoutWaiting([&] {
            for (const QString &name : std::as_const(names))
                run(QStringLiteral("DROP INDEX IF EXISTS ") + quotedName(name));
        });
    return !names.isEmpty();
}

bool RowByRowWrites::switchesToLog()
{
    if (!m_applies || m_rows <= FewRows)
        return false;
    if (m_modeAtStart.isEmpty())
        journalMode();
    return !isWriteAheadLog(m_modeAtStart);
}

void RowByRowWrites::start(const QString &ownJournalMode)
{
    if (!m_applies)
        return;
    m_started = true;
    m_ownJournalMode = ownJournalMode;
    if (m_modeAtStart.isEmpty())
        journalMode();
    const bool toLog = switchesToLog();
    m_inLog = toLog || isWriteAheadLog(m_modeAtStart);
    if (!m_inLog)
        return;  // each commit synced in full, as the connection has it
    // Some changes SQLite cannot make (on a VFS without shared memory, say) are answered with
    // the mode that stays rather than an error, so the answer is checked: normal syncing is only
    // safe in the log.
    withoutWaiting([&] {
        QString modeNow;
        m_syncLowered = (!toLog || (run(QStringLiteral("PRAGMA journal_mode=WAL"), &modeNow) && isWriteAheadLog(modeNow)))
                        && run(QStringLiteral("PRAGMA synchronous=NORMAL"));
    });
}

bool RowByRowWrites::finish()
{
    if (!m_started)
        return true;
    m_started = false;
    if (!m_connection->isOpen())
        return false;
    // A file left in the mode it was found in, its own, has nothing to put back.
    const bool restore = !m_ownJournalMode.isEmpty() && !isWriteAheadLog(m_ownJournalMode)
                         && (m_inLog || m_ownJournalMode.compare(m_modeAtStart, Qt::CaseInsensitive) != 0);
    QString modeNow;
    withoutWaiting([&] {
        if (m_syncLowered)
            run(QStringLiteral("PRAGMA synchronous=FULL"));
        if (restore)
            run(QStringLiteral("PRAGMA journal_mode=") + m_ownJournalMode, &modeNow);
    });
    m_syncLowered = false;
    return !restore || modeNow.compare(m_ownJournalMode, Qt::CaseInsensitive) == 0;
}

}  // namespace db
