#include "EndFlagDirectWrite.h"

#include "JournalFormat.h"

#include "db/Connection.h"
#include "db/DbError.h"
#include "db/QuotedName.h"

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

} // namespace

std::unique_ptr<EndFlagDirectWrite> EndFlagDirectWrite::forChart(const std::shared_ptr<db::Connection> &connection,
                                                                  const QString &rowidName)
{
    if (rowidName.isEmpty() || connection->dialect() != db::SqlDialect::Sqlite)
        return nullptr;
    sqlite3 *db = qtSqliteHandle(*connection);
    if (!db)
        return nullptr;
    const QByteArray rowid = db::quotedName(rowidName).toUtf8();
    // IS rather than = so that a NULL code or flag read is a value the row must still hold;
    // otherwise IS compares as = does.
    const QByteArray text = "update code set bend=?1 where " + rowid + "=?2 and ccode is ?3 and bend is ?4";
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

// Binds what the walk read of a row, its rowid, code and flag, to the UPDATE's condition.
void EndFlagDirectWrite::bindAsRead(const QVariant &rowid, const QVariant &code, const QVariant &storedFlag)
{
    journalformat::bind(m_update, 2, rowid);
    // A text code is bound where the chart holds it, without a copy: the chart outlives the step.
    if (code.typeId() == QMetaType::QString && !code.isNull()) {
        const QString &text = *static_cast<const QString *>(code.constData());
        sqlite3_bind_text16(m_update, 3, text.utf16(), int(text.size() * 2), SQLITE_STATIC);
    } else {
        journalformat::bind(m_update, 3, code);
    }
    journalformat::bind(m_update, 4, storedFlag);
}

// Writes and commits one row's flag, guarded by what the walk read of the row.
void EndFlagDirectWrite::write(const QVariant &rowid, const QVariant &code, const QVariant &storedFlag, int flag)
{
    sqlite3_bind_int(m_update, 1, flag);
    bindAsRead(rowid, code, storedFlag);
    if (stepUpdate())
        return;
    // The row may still be as read, its code or flag stored in bytes that are not valid UTF-8,
    // which the chart holds as decoded: then it is written by the very values it holds.
    const bool asRead = bindStoredIfAsRead(rowid, code, storedFlag);
    if (asRead && stepUpdate())
        return;
    throw db::DbError(asRead ? db::updateIgnored() : db::rowChangedSinceRead());
}

// Steps the bound UPDATE once. True when it changed the row; raises the engine's refusal.
bool EndFlagDirectWrite::stepUpdate()
{
    const bool done = sqlite3_step(m_update) == SQLITE_DONE;
    const QString failure = done ? QString() : engineFailure(m_db);
    const bool written = done && sqlite3_changes(m_db) > 0;
    sqlite3_reset(m_update);
    if (!done)
        throw db::DbError(failure);
    return written;
}

// Whether the row `rowid` still holds the code and flag the walk read, each compared as the walk
// read it (a text decoded as SQLite decodes it); if so its stored values are bound to the UPDATE's
// condition in place of the chart's. Asked only once a write changed nothing.
bool EndFlagDirectWrite::bindStoredIfAsRead(const QVariant &rowid, const QVariant &code, const QVariant &storedFlag)
{
    const QByteArray text = "select ccode, bend from code where " + m_rowidName + "=?1";
    sqlite3_stmt *row = nullptr;
    if (sqlite3_prepare_v2(m_db, text.constData(), int(text.size()), &row, nullptr) != SQLITE_OK)
        return false;
    journalformat::bind(row, 1, rowid);
    bool asRead = false;
    if (sqlite3_step(row) == SQLITE_ROW) {
        // The stored values are kept before they are decoded for the comparison, which turns a
        // text into UTF-16 in place.
        sqlite3_value *storedCode = sqlite3_value_dup(sqlite3_column_value(row, 0));
        sqlite3_value *storedBend = sqlite3_value_dup(sqlite3_column_value(row, 1));
        const auto sameAsRead = [row](int column, const QVariant &read) {
            const QVariant stored = journalformat::column(row, column);
            return stored.isNull() || read.isNull() ? stored.isNull() && read.isNull() : stored == read;
        };
        asRead = storedCode && storedBend && sameAsRead(0, code) && sameAsRead(1, storedFlag);
        if (asRead) {
            sqlite3_bind_value(m_update, 3, storedCode);
            sqlite3_bind_value(m_update, 4, storedBend);
        }
        sqlite3_value_free(storedCode);
        sqlite3_value_free(storedBend);
    }
    sqlite3_finalize(row);
    return asRead;
}

} // namespace repair
