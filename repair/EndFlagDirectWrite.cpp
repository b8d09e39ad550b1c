#include "EndFlagDirectWrite.h"

#include "JournalFormat.h"

#include "db/Connection.h"
#include "db/DbError.h"

#include <QSqlDriver>
#include <QSqlError>

#include <sqlite3.h>

namespace repair {

namespace {

// The SQLite handle behind an open connection made by Qt's SQLite driver, or null for any other
// driver (an ODBC connection hands out its own kind of handle). Qt's driver is built on the same
// shared SQLite library as this program, so the handle can be used here directly.
sqlite3 *qtSqliteHandle(const db::Connection &connection)
{
    const QVariant handle = connection.openDatabase().driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3 *const *>(handle.constData());
}

// The engine's refusal, described as the recordset describes it.
QString engineFailure(sqlite3 *db)
{
    return db::describe(QSqlError(QString(), QString::fromUtf8(sqlite3_errmsg(db)), QSqlError::StatementError,
                                  QString::number(sqlite3_extended_errcode(db))));
}

// The condition, after the rowid's name, that the row still holds what the walk read: its rowid,
// code and flag bound from parameter `first` on. IS rather than = so that a NULL code or flag
// read is a value the row must still hold; otherwise IS compares as = does.
QByteArray asRead(int first)
{
    const auto parameter = [first](int k) { return QByteArray::number(first + k); };
    return "=?" + parameter(0) + " and ccode is ?" + parameter(1) + " and bend is ?" + parameter(2);
}

} // namespace

std::unique_ptr<EndFlagDirectWrite> EndFlagDirectWrite::forChart(const std::shared_ptr<db::Connection> &connection,
                                                                  const QString &rowidName)
{
    if (rowidName.isEmpty() || connection->dialect() != db::SqlDialect::Sqlite)
        return nullptr;
    sqlite3 *db = qtSqliteHandle(*connection);
    if (!db)
        return nullptr;
    const QByteArray rowid = rowidName.toLatin1();
    const QByteArray text = "update code set bend=?1 where " + rowid + asRead(2);
    sqlite3_stmt *update = nullptr;
    if (sqlite3_prepare_v3(db, text.constData(), int(text.size()), SQLITE_PREPARE_PERSISTENT, &update, nullptr) != SQLITE_OK)
        throw db::DbError(engineFailure(db));
    return std::unique_ptr<EndFlagDirectWrite>(new EndFlagDirectWrite(connection, db, rowid, update));
}

EndFlagDirectWrite::EndFlagDirectWrite(std::shared_ptr<db::Connection> connection, sqlite3 *db, QByteArray rowidName,
                                       sqlite3_stmt *update)
    : m_connection(std::move(connection)), m_db(db), m_rowidName(std::move(rowidName)), m_update(update)
{
}

EndFlagDirectWrite::~EndFlagDirectWrite()
{
    sqlite3_finalize(m_update);
}

// Binds what the walk read of a row, its rowid, code and flag, from parameter `first` on.
void EndFlagDirectWrite::bindRow(sqlite3_stmt *statement, int first, const QVariant &rowid, const QVariant &code,
                                 const QVariant &storedFlag)
{
    journalformat::bind(statement, first, rowid);
    // A text code is bound where the chart holds it, without a copy: the chart outlives the step.
    if (code.typeId() == QMetaType::QString && !code.isNull()) {
        const QString &text = *static_cast<const QString *>(code.constData());
        sqlite3_bind_text16(statement, first + 1, text.utf16(), int(text.size() * 2), SQLITE_STATIC);
    } else {
        journalformat::bind(statement, first + 1, code);
    }
    journalformat::bind(statement, first + 2, storedFlag);
}

void EndFlagDirectWrite::write(const QVariant &rowid, const QVariant &code, const QVariant &storedFlag, int flag)
{
    sqlite3_bind_int(m_update, 1, flag);
    bindRow(m_update, 2, rowid, code, storedFlag);
    const bool done = sqlite3_step(m_update) == SQLITE_DONE;
    const QString failure = done ? QString() : engineFailure(m_db);
    const bool written = done && sqlite3_changes(m_db) > 0;
    sqlite3_reset(m_update);
    if (!done)
        throw db::DbError(failure);
    if (!written)
        throw db::DbError(stillAsRead(rowid, code, storedFlag) ? db::updateIgnored() : db::rowChangedSinceRead());
}

// Whether the row still holds what the walk read, once a write changed nothing: asked only then.
bool EndFlagDirectWrite::stillAsRead(const QVariant &rowid, const QVariant &code, const QVariant &storedFlag)
{
    const QByteArray text = "select 1 from code where " + m_rowidName + asRead(1);
    sqlite3_stmt *check = nullptr;
    if (sqlite3_prepare_v2(m_db, text.constData(), int(text.size()), &check, nullptr) != SQLITE_OK)
        return false;
    bindRow(check, 1, rowid, code, storedFlag);
    const bool found = sqlite3_step(check) == SQLITE_ROW;
    sqlite3_finalize(check);
    return found;
}

} // namespace repair
