#pragma once

#include <QString>
#include <QVariant>

#include <memory>

struct sqlite3;
struct sqlite3_stmt;

namespace db {
class Connection;
}

namespace repair {

class EndFlagChart;

// The end-flag walk's per-row write on a SQLite file opened through Qt's own SQLite driver, sent
// straight through SQLite's C API on that connection's handle: one UPDATE, prepared once, bound
// and stepped for each row whose flag changes. On SQLite the walk spends most of its time in that
// one statement a row, and there Qt's binding and execution cost three quarters as much again as
// the UPDATE and its commit themselves; this saves them. Every other engine and driver writes
// through db::GuardedUpdate.
//
// The write is guarded like the recordset's: the row, found by its rowid, is written only while
// it still holds the code and the flag the walk read, so another program's change is never
// overwritten unseen; such a row raises db::DbError and the walk stops there, as it does where
// the engine leaves a row that still holds them unchanged (a trigger swallowed the update). A
// text code is bound in the bytes the chart read it in, so a code that is not valid UTF-8 finds
// its row too; a flag stored as such a text reaches the walk decoded, and its row is written by
// the values it holds once they are found to decode to what the walk read. The
// connection is in autocommit, so each write is committed on its own, as the statement it
// replaces is.
class EndFlagDirectWrite {
public:
    // A writer for the rows of `chart`, or nothing when the direct path does not apply: the
    // chart was not read straight through SQLite, or its rows have no rowid.
    static std::unique_ptr<EndFlagDirectWrite> forChart(const std::shared_ptr<db::Connection> &connection,
                                                        const EndFlagChart &chart);
    ~EndFlagDirectWrite();
    EndFlagDirectWrite(const EndFlagDirectWrite &) = delete;
    EndFlagDirectWrite &operator=(const EndFlagDirectWrite &) = delete;

    // Writes `flag` into row i of the chart, while it holds the code and flag read, and commits
    // it. Raises db::DbError when the row no longer holds them or the engine refuses.
    void write(std::size_t i, int flag);

private:
    EndFlagDirectWrite(std::shared_ptr<db::Connection> connection, const EndFlagChart &chart, sqlite3 *db, QByteArray rowidName,
                       sqlite3_stmt *update);
    void bindRowId(sqlite3_stmt *statement, int index, std::size_t i);
    void bindAsRead(std::size_t i);
    bool stepUpdate();
    bool bindStoredIfAsRead(std::size_t i);

    std::shared_ptr<db::Connection> m_connection;  // keeps the handle open while the statement lives
    const EndFlagChart &m_chart;
    sqlite3 *m_db;
    QByteArray m_rowidName;
    sqlite3_stmt *m_update;
};

}  // namespace repair
