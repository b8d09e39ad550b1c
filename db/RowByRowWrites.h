#pragma once

#include <QString>
#include <QStringList>

#include <memory>

namespace db {

class Connection;

// Settings for a long walk that writes one row per statement, each committed on its own, on a
// SQLite database. Two things make such a walk cheap there without weakening what a commit
// promises against a crash of the process:
//  - the write-ahead log with normal syncing: a commit is appended to the log and is safe the
//    moment it returns if the process dies; only a power loss can take back the commits made
//    since the last checkpoint, and the file is never left corrupt;
//  - indexes on the expressions the walk looks rows up by. SQLite answers a query from an
//    index on an expression such as substr(ccode,1,4) when the query holds that same
//    expression (same literal length), so each lookup costs a seek instead of a scan. The
//    indexes use only built-in functions, so every SQLite tool can still write the table.
// Everything is put back when the object goes: the indexes are dropped and the journal mode
// and syncing are restored. On any other engine, or a connection that is not open, it does
// nothing. Failures here only cost speed and are left for the walk's own statements to meet.
class RowByRowWrites {
public:
    explicit RowByRowWrites(std::shared_ptr<Connection> connection);
    ~RowByRowWrites();
    RowByRowWrites(const RowByRowWrites &) = delete;
    RowByRowWrites &operator=(const RowByRowWrites &) = delete;

    // Indexes `table` on a T-SQL expression, for the rest of the walk.
    void indexExpression(const QString &table, const QString &expression);

private:
    QString run(const QString &statement);

    std::shared_ptr<Connection> m_connection;
    bool m_active = false;
    QString m_previousJournalMode;
    QStringList m_indexes;
};

} // namespace db
