#pragma once

#include "db/GuardedBatch.h"
#include "db/GuardedUpdate.h"

#include <QString>

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace db {
class Connection;
}

namespace repair {

class EndFlagChart;

// The end-flag walk's writes where they do not go straight through SQLite: each row found by its
// locator (a rowid or primary key) or by its values, and written only while it still holds the
// code and flag the walk read (db::GuardedUpdate).
//
// On a server (T-SQL) the rows are gathered and written a few hundred at a time, each batch one
// statement in autocommit mode (db::GuardedBatch): there every commit waits for the server's log
// to reach its disk, so a statement a row costs the walk most of its time. A batch that does not
// go through as a whole is written row by row, which stops the walk at the row in the way with
// the rows before it written and the rest untouched, as writes one at a time do. Rows are written
// one at a time where the table has triggers (a trigger may be written for one row a statement),
// and on SQLite, where a commit in the write-ahead log is cheap and the walk decides each row
// under the write lock it takes for it.
class EndFlagGuardedWrites {
public:
    // With `batched`, `written` is told of each row once the statement that wrote its flag has
    // run, in walk order; a row written at once by write() is counted by the caller.
    EndFlagGuardedWrites(std::shared_ptr<db::Connection> connection, const EndFlagChart &chart, bool batched,
                         std::function<void(std::size_t, int)> written);
    ~EndFlagGuardedWrites();
    EndFlagGuardedWrites(const EndFlagGuardedWrites &) = delete;
    EndFlagGuardedWrites &operator=(const EndFlagGuardedWrites &) = delete;

    // Whether rows wait in a batch between write() and flush().
    bool batched() const { return m_batch.has_value(); }
    // Writes `flag` into row i of the chart, now or with its batch. Raises db::DbError when a row
    // no longer holds what was read, or the engine refuses; failedRow() then names it.
    void write(std::size_t i, int flag);
    // Writes every row gathered; raises as write() does.
    void flush();

    // The row whose write failed, and its code as the user reads it; nothing before a failure.
    std::optional<std::size_t> failedRow() const { return m_failedRow; }
    const QString &failedCode() const { return m_failedCode; }

private:
    void writeOne(std::size_t i, int flag);
    db::GuardedBatch::Row batchRow(std::size_t i, int flag) const;

    const EndFlagChart &m_chart;
    std::function<void(std::size_t, int)> m_written;
    db::GuardedUpdate m_single;
    std::optional<db::GuardedBatch> m_batch;
    std::vector<std::pair<std::size_t, int>> m_gathered;  // the rows in the batch, and their flags
    std::optional<std::size_t> m_failedRow;
    QString m_failedCode;
};

}  // namespace repair
