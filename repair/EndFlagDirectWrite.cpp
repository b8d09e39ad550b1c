#include "EndFlagDirectWrite.h"

#include "EndFlagChart.h"
#include "EndFlagVerdict.h"
#include "JournalFormat.h"

#include "db/Connection.h"
#include "db/DbError.h"
#include "db/QuotedName.h"

#include <sqlite3.h>

namespace repair {

std::unique_ptr<EndFlagDirectWrite> EndFlagDirectWrite::forChart(const std::shared_ptr<db::Connection> &connection,
                                                                 const EndFlagChart &chart)
{
    sqlite3 *db = connection->sqliteHandle();
    if (!chart.readDirectly() || chart.rowIdName().isEmpty() || !db)
        return nullptr;
    const QByteArray rowid = db::quotedName(chart.rowIdName()).toUtf8();
    // IS rather than = so that a NULL code or flag read is a value the row must still hold;
    // otherwise IS compares as = does.
    const QByteArray text = "update code set bend=?1 where " + rowid + "=?2 and ccode is ?3 and bend is ?4";
    sqlite3_stmt *update = nullptr;
    if (sqlite3_prepare_v3(db, text.constData(), int(text.size()), SQLITE_PREPARE_PERSISTENT, &update, nullptr) != SQLITE_OK)
        throw db::DbError(db::describeSqlite(db));
    return std::unique_ptr<EndFlagDirectWrite>(new EndFlagDirectWrite(connection, chart, db, rowid, update));
}

EndFlagDirectWrite::EndFlagDirectWrite(std::shared_ptr<db::Connection> connection, const EndFlagChart &chart, sqlite3 *db,
                                       QByteArray rowidName, sqlite3_stmt *update)
    : m_connection(std::move(connection)), m_chart(chart), m_db(db), m_rowidName(std::move(rowidName)), m_update(update)
{
}

EndFlagDirectWrite::~EndFlagDirectWrite()
{
    sqlite3_finalize(m_update);
}

void EndFlagDirectWrite::bindRowId(sqlite3_stmt *statement, int index, std::size_t i)
{
    qint64 id = 0;
    if (m_chart.integerRowId(i, id))
        sqlite3_bind_int64(statement, index, id);
    else
        journalformat::bind(statement, index, m_chart.rowId(i));
}

// Binds what the walk read of row i, its rowid, code and flag, to the UPDATE's condition: a text
// code in the chart's own bytes, without a copy (the chart outlives the step).
void EndFlagDirectWrite::bindAsRead(std::size_t i)
{
    bindRowId(m_update, 2, i);
    if (m_chart.codeIsText(i)) {
        const std::string_view code = m_chart.codeBytes(i).text;
        sqlite3_bind_text(m_update, 3, code.data(), int(code.size()), SQLITE_STATIC);
    } else {
        journalformat::bind(m_update, 3, m_chart.code(i));
    }
    if (const int flag = m_chart.integerFlag(i); flag >= 0)
        sqlite3_bind_int(m_update, 4, flag);
    else
        journalformat::bind(m_update, 4, m_chart.flag(i));
}

// Writes and commits one row's flag, guarded by what the walk read of the row.
void EndFlagDirectWrite::write(std::size_t i, int flag)
{
    sqlite3_bind_int(m_update, 1, flag);
    bindAsRead(i);
    if (stepUpdate())
        return;
    // The row may still be as read, its flag stored in bytes that are not valid UTF-8, which the
    // chart holds as decoded: then it is written by the very values it holds.
    const bool asRead = bindStoredIfAsRead(i);
    if (asRead && stepUpdate())
        return;
    throw db::DbError(asRead ? db::updateIgnored() : db::rowChangedSinceRead());
}

// Steps the bound UPDATE once. True when it changed the row; raises the engine's refusal.
bool EndFlagDirectWrite::stepUpdate()
{
    const bool done = sqlite3_step(m_update) == SQLITE_DONE;
    const QString failure = done ? QString() : db::describeSqlite(m_db);
    const bool written = done && sqlite3_changes(m_db) > 0;
    sqlite3_reset(m_update);
    if (!done)
        throw db::DbError(failure);
    return written;
}

// Whether row i still holds the code and flag the walk read, the code compared in its bytes and
// the flag as the walk read it (a text decoded as SQLite decodes it); if so its stored values are
// bound to the UPDATE's condition in place of the chart's. Asked only once a write changed nothing.
bool EndFlagDirectWrite::bindStoredIfAsRead(std::size_t i)
{
    const QByteArray text = "select ccode, bend from code where " + m_rowidName + "=?1";
    sqlite3_stmt *row = nullptr;
    if (sqlite3_prepare_v2(m_db, text.constData(), int(text.size()), &row, nullptr) != SQLITE_OK)
        return false;
    bindRowId(row, 1, i);
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
        const std::string_view code = m_chart.codeBytes(i).text;
        const bool sameCode = m_chart.codeIsText(i)
                                  ? sqlite3_column_type(row, 0) == SQLITE_TEXT
                                        && std::string_view(reinterpret_cast<const char *>(sqlite3_column_text(row, 0)),
                                                            std::size_t(sqlite3_column_bytes(row, 0)))
                                               == code
                                  : sameAsRead(0, m_chart.code(i));
        asRead = storedCode && storedBend && sameCode && sameAsRead(1, m_chart.flag(i));
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

}  // namespace repair
