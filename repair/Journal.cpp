#include "Journal.h"

#include "DurableFiles.h"
#include "JournalFormat.h"

#include "db/DbError.h"
#include "db/Engine.h"
#include "db/ODBC.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

namespace repair {

using namespace journalformat;

QString journalDirectory()
{
    const db::EngineSettings &engine = ODBC::engine();
    const QString dataDirectory =
        engine.kind == db::EngineKind::Embedded ? engine.dataDirectory : db::defaultDataDirectory();
    return QDir(dataDirectory).filePath(QStringLiteral("journal"));
}

Journal::Journal(const QString &directory, RepairRecord record) : m_record(std::move(record))
{
    try {
        create(directory);
    } catch (const db::DbError &) {
        sqlite3_finalize(m_insert);
        sqlite3_close(m_db);
        if (!m_path.isEmpty())
            QFile::remove(m_path);  // a journal never flushed belongs to a repair that changed nothing
        throw;
    }
}

// Claims the journal's file, takes its lock and writes its header and the empty table of rows,
// all in one transaction that flush() commits.
void Journal::create(const QString &directory)
{
    if (!QDir().mkpath(directory))
        throw db::DbError(QStringLiteral("无法创建修复日志目录 %1").arg(QDir::toNativeSeparators(directory)));
    // The id is the start time; a second repair in the same millisecond gets a suffix. The name
    // is claimed by creating the file, so two programs never share one.
    const QDateTime now = QDateTime::currentDateTime();
    m_record.time = now.toOffsetFromUtc(now.offsetFromUtc());  // written with its offset from UTC
    const QString stamp = m_record.time.toString(QStringLiteral("yyyyMMdd-HHmmss-zzz"));
    for (int n = 1; m_path.isEmpty(); ++n) {
        const QString id = n == 1 ? stamp : QStringLiteral("%1-%2").arg(stamp).arg(n);
        QFile file(journalPath(directory, id));
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            m_record.id = id;
            m_path = file.fileName();
        } else if (!file.exists() || n > 1000) {
            throw db::DbError(QStringLiteral("无法写入修复日志 %1：%2")
                                  .arg(QDir::toNativeSeparators(file.fileName()), file.errorString()));
        }
    }
    if (!m_lock.hold(m_path))
        throw db::DbError(QStringLiteral("无法锁定修复日志 %1").arg(QDir::toNativeSeparators(m_path)));
    if (sqlite3_open_v2(m_path.toUtf8().constData(), &m_db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
        fail(QStringLiteral("打开"));
    sqlite3_busy_timeout(m_db, db::EmbeddedBusyTimeoutMs);
    exec("PRAGMA synchronous=FULL");
    // The new file has nothing to roll back to: its first transaction needs no rollback journal,
    // and flush() then costs one sync of the file instead of three. A program killed before flush()
    // returns leaves a file that may not read back, as a repair that never began (listRepairs).
    exec("PRAGMA journal_mode=OFF");
    exec("PRAGMA cache_spill=0");  // nothing reaches the file before flush(), however many rows
    exec("BEGIN");
    exec((QByteArray("create table repair(") + HeaderColumns + ")").constData());

    QStringList rowColumns{QStringLiteral("seq integer primary key"), QStringLiteral("row_id")};
    for (int i = 0; i < m_record.changedColumns.size(); ++i)
        rowColumns << QStringLiteral("old%1").arg(i) << QStringLiteral("new%1").arg(i);
    for (int i = 0; i < m_record.keyColumns.size(); ++i)
        rowColumns << QStringLiteral("key%1").arg(i);
    rowColumns << QStringLiteral("\"row\"");  // JournalRow::position
    exec(("create table row(" + rowColumns.join(QLatin1Char(',')) + ")").toUtf8().constData());

    sqlite3_stmt *header = nullptr;
    const QByteArray insertHeader =
        QByteArray("insert into repair values(") + QByteArray("?,").repeated(HeaderColumnCount - 1) + "?)";
    if (sqlite3_prepare_v2(m_db, insertHeader.constData(), -1, &header, nullptr) != SQLITE_OK)
        fail(QStringLiteral("写入"));
    const RepairRecord &r = m_record;
    const QVariantList values{r.id, r.time.toString(Qt::ISODateWithMs), r.database, r.engine, r.repair, r.accountSet,
                              r.year, r.code, r.period, r.undoes, r.table, r.rowidName, jsonList(r.changedColumns),
                              jsonList(r.keyColumns), QVariant(), QVariant(), QVariant(), QVariant(),
                              r.journalModeToRestore.isEmpty() ? QVariant() : QVariant(r.journalModeToRestore),
                              r.settingsPending ? 1 : 0, QVariant()};
    for (int i = 0; i < values.size(); ++i)
        bind(header, i + 1, values.at(i));
    const int stepped = sqlite3_step(header);
    sqlite3_finalize(header);
    if (stepped != SQLITE_DONE)
        fail(QStringLiteral("写入"));

    const QString insertRow = QStringLiteral("insert into row values(null%1)").arg(QStringLiteral(",?").repeated(rowColumns.size() - 1));
    if (sqlite3_prepare_v2(m_db, insertRow.toUtf8().constData(), -1, &m_insert, nullptr) != SQLITE_OK)
        fail(QStringLiteral("写入"));
}

Journal::~Journal()
{
    sqlite3_finalize(m_insert);
    sqlite3_close(m_db);  // an unflushed journal is rolled back to an empty file
}

void Journal::fail(const QString &what)
{
    throw db::DbError(QStringLiteral("无法%1修复日志 %2：%3")
                          .arg(what, QDir::toNativeSeparators(m_path), QString::fromUtf8(sqlite3_errmsg(m_db))));
}

// Gives up a journal that could not be made durable, before the repair has changed anything:
// the file goes, its lock is let go, and `reason` is raised.
void Journal::discard(const QString &reason)
{
    sqlite3_finalize(m_insert);
    m_insert = nullptr;
    sqlite3_close(m_db);
    m_db = nullptr;
    QFile::remove(m_path);
    m_lock.release();
    throw db::DbError(QStringLiteral("无法写入修复日志 %1：%2").arg(QDir::toNativeSeparators(m_path), reason));
}

void Journal::exec(const char *sql)
{
    if (sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
        fail(QStringLiteral("写入"));
}

qint64 Journal::addRow(const JournalRow &row)
{
    int i = 1;
    bind(m_insert, i++, row.rowid);
    for (int c = 0; c < m_record.changedColumns.size(); ++c) {
        bind(m_insert, i++, row.oldValues.value(c));
        bind(m_insert, i++, row.newValues.value(c));
    }
    for (int k = 0; k < m_record.keyColumns.size(); ++k)
        bind(m_insert, i++, row.key.value(k));
    bind(m_insert, i++, row.position > 0 ? QVariant(row.position) : QVariant());
    const int stepped = sqlite3_step(m_insert);
    sqlite3_reset(m_insert);
    if (stepped != SQLITE_DONE)
        fail(QStringLiteral("写入"));
    return sqlite3_last_insert_rowid(m_db);
}

void Journal::flush()
{
    if (m_record.rowsVisited >= 0)
        exec(QByteArray("update repair set rows_visited=" + QByteArray::number(m_record.rowsVisited)).constData());
    // Without a rollback journal a failed first commit can leave a torn file
    if (sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK)
        discard(QString::fromUtf8(sqlite3_errmsg(m_db)));
    // a journal whose name in its folder may not survive a crash can't vouch for the repair
    const QString unsynced = syncDirectory(QFileInfo(m_path).absolutePath());
    if (!unsynced.isEmpty())
        discard(unsynced);
    // Later changes are all-or-nothing again. They only add to what is on disk already (the
    // outcome, a corrected or added row), so they need not wait for every sync a first write
    // needs; each is still on disk when its statement returns.
    exec("PRAGMA journal_mode=DELETE");
    exec("PRAGMA synchronous=NORMAL");
}

qint64 Journal::appendRow(const JournalRow &row)
{
    return addRow(row);  // its own transaction, on disk before it returns
}

void Journal::setNewValues(qint64 row, const QVariantList &values)
{
    QStringList assignments;
    for (int c = 0; c < m_record.changedColumns.size(); ++c)
        assignments << QStringLiteral("new%1=?").arg(c);
    sqlite3_stmt *statement = nullptr;
    const QByteArray sql = ("update row set " + assignments.join(QLatin1Char(',')) + " where seq=?").toUtf8();
    if (sqlite3_prepare_v2(m_db, sql.constData(), -1, &statement, nullptr) != SQLITE_OK)
        fail(QStringLiteral("写入"));
    int i = 1;
    for (int c = 0; c < m_record.changedColumns.size(); ++c)
        bind(statement, i++, values.value(c));
    sqlite3_bind_int64(statement, i, row);
    const int stepped = sqlite3_step(statement);
    sqlite3_finalize(statement);
    if (stepped != SQLITE_DONE)
        fail(QStringLiteral("写入"));
}

QString Journal::finish(const QString &outcome, qint64 rowsDone, qint64 rowsChanged, const QString &message,
                        bool settingsRestored)
{
    m_record.outcome = outcome;
    m_record.rowsDone = rowsDone;
    m_record.rowsChanged = rowsChanged;
    m_record.message = message;
    m_record.settingsPending = m_record.settingsPending && !settingsRestored;
    sqlite3_stmt *statement = nullptr;
    try {
        if (sqlite3_prepare_v2(m_db,
                               "update repair set outcome=?, rows_done=?, rows_changed=?, message=?, settings_pending=?,"
                               " rows_visited=?",
                               -1, &statement, nullptr)
            != SQLITE_OK)
            fail(QStringLiteral("写入"));
        bind(statement, 1, outcome);
        bind(statement, 2, rowsDone);
        bind(statement, 3, rowsChanged);
        bind(statement, 4, message.isEmpty() ? QVariant() : QVariant(message));
        bind(statement, 5, m_record.settingsPending ? 1 : 0);
        bind(statement, 6, m_record.rowsVisited < 0 ? QVariant() : QVariant(m_record.rowsVisited));
        const int stepped = sqlite3_step(statement);
        sqlite3_finalize(statement);
        statement = nullptr;
        if (stepped != SQLITE_DONE)
            fail(QStringLiteral("写入"));
    } catch (const db::DbError &error) {
        sqlite3_finalize(statement);
        m_lock.release();
        return error.description();
    }
    m_lock.release();
    return QString();
}

} // namespace repair
