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

// The end-flag walk's per-row write on a SQLite file opened through Qt's own SQLite driver, sent
// straight through SQLite's C API on that connection's handle: one UPDATE, prepared once, bound
// and stepped for each row. On SQLite the walk spends half its time in that one statement a row,
// and there Qt's binding and execution cost three quarters as much again as the UPDATE and its
// commit themselves; this saves them. Every other engine and driver writes through the walk's
// recordset.
//
// The write is guarded like the recordset's: the row, found by its rowid, is written only while
// it still holds the code and the flag the walk read, so another program's change is never
// overwritten unseen; such a row raises db::DbError and the walk stops there, as it does where
// the engine leaves a row that still holds them unchanged (a trigger swallowed the update). A
// code or flag stored as text that is not valid UTF-8 reaches the walk decoded; such a row is
// written by the values it holds once they are found to decode to what the walk read. The
// connection is in autocommit, so each write is committed on its own, as the statement it
// replaces is.
class EndFlagDirectWrite {
public:
    // A writer for the rows of table code found by the rowid under `rowidName`, or nothing when
    // the direct path does not apply: another engine or driver, or rows without a rowid.
    static std::unique_ptr<EndFlagDirectWrite> forChart(const std::shared_ptr<db::Connection> &connection,
                                                        const QString &rowidName);
    ~EndFlagDirectWrite();
    EndFlagDirectWrite(const EndFlagDirectWrite &) = delete;
    EndFlagDirectWrite &operator=(const EndFlagDirectWrite &) = delete;

    // Writes `flag` into the row `rowid` that the walk read with `code` and `storedFlag`, and
    // commits it. Raises db::DbError when the row no longer holds them or the engine refuses.
    void write(const QVariant &rowid, const QVariant &code, const QVariant &storedFlag, int flag);

private:
    EndFlagDirectWrite(std::shared_ptr<db::Connection> connection, sqlite3 *db, QByteArray rowidName,
                       sqlite3_stmt *update);
    void bindAsRead(const QVariant &rowid, const QVariant &code, const QVariant &storedFlag);
    bool stepUpdate();
    bool bindStoredIfAsRead(const QVariant &rowid, const QVariant &code, const QVariant &storedFlag);

    std::shared_ptr<db::Connection> m_connection;  // keeps the handle open while the statement lives
    sqlite3 *m_db;
    QByteArray m_rowidName;
    sqlite3_stmt *m_update;
};

} // namespace repair
