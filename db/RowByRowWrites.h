#pragma once

#include <QString>
#include <QStringList>

#include <memory>

namespace db {

class Connection;

// Settings for a long walk that writes one row per statement, each committed on its own, on a
// SQLite database. Two things make such a walk cheap there without weakening what a commit
// promises against a crash of the process:
//  - indexes on the expressions the walk looks rows up by. SQLite answers a query from an
//    index on an expression such as substr(ccode,1,4) when the query holds that same
//    expression (same literal length), so each lookup costs a seek instead of a scan. The
//    indexes (named n3fix_...) use only built-in functions, so every SQLite tool can still
//    write the table;
//  - the write-ahead log with normal syncing, switched on with the first index: a commit is
//    appended to the log and is safe the moment it returns if the process dies; only a power
//    loss can take back the commits made since the last checkpoint, and the file is never
//    left corrupt.
// Everything is put back when the object goes: the indexes are dropped and the journal mode
// and syncing restored. A walk that was killed leaves its indexes behind, and with them the
// file in the write-ahead log; the next walk finds them, drops them and puts the file back in
// SQLite's default journal mode. Setting up never waits for another program's lock and never
// fails: a failure here only costs speed and is left for the walk's own statements to meet.
// On any other engine, or a connection that is not open, it does nothing.
class RowByRowWrites {
public:
    explicit RowByRowWrites(std::shared_ptr<Connection> connection);
    ~RowByRowWrites();
    RowByRowWrites(const RowByRowWrites &) = delete;
    RowByRowWrites &operator=(const RowByRowWrites &) = delete;

    // Indexes `table` on a T-SQL expression, for the rest of the walk.
    void indexExpression(const QString &table, const QString &expression);

private:
    bool run(const QString &statement, QString *firstValue = nullptr);
    QStringList leftoverIndexes();

    std::shared_ptr<Connection> m_connection;
    bool m_active = false;
    bool m_logSwitched = false;
    QString m_journalModeToRestore;
    QString m_busyTimeout;  // how long the walk's own statements wait for a lock
    QStringList m_indexes;  // created by this walk or left by a killed one
};

} // namespace db
