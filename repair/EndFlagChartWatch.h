#pragma once

#include <QStringList>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace db {
class CommitStamp;
class Connection;
}  // namespace db

namespace repair {

class EndFlagChart;

// Keeps the end-flag walk's flags true to the chart as it is when each row is written, though
// other programs add and remove codes while the walk runs (it holds no lock between rows).
//
// On a SQLite file opened by Qt's own driver it sees every change another connection commits
// (SQLite's data version). After such a change the codes are read again in code order and
// compared, byte for byte, with the codes the flags were worked out from (at first the chart's
// own, which costs no read of their own); where they differ, the chart is read again and every
// flag worked out anew. This is done before a row is looked at, and again under the write lock
// taken for its write, so the flag a row gets is the right one for the chart as it stands at its
// commit. A change elsewhere in the file costs one read of the codes. The look before a row is
// spared while the file shows no commit since the last (db::CommitStamp); the one under the
// write lock never is. Anywhere else the walk writes the flags worked out from its first read.
// Either way, when the walk ends, a flag that is wrong for the chart then is found (wrongNow()).
class EndFlagChartWatch {
public:
    // Notes the chart's version, and holds that view of the file until follow(): made just before
    // the walk reads its chart, which it then reads as the version saw it.
    explicit EndFlagChartWatch(std::shared_ptr<db::Connection> connection);
    ~EndFlagChartWatch();
    EndFlagChartWatch(const EndFlagChartWatch &) = delete;
    EndFlagChartWatch &operator=(const EndFlagChartWatch &) = delete;

    // The walk's chart and the flags worked out from it; the chart outlives the watch. Its codes
    // are those later reads are compared with. Lets go of the view held since the watch was made.
    void follow(const EndFlagChart &chart, const std::vector<std::int8_t> &right);
    // Whether each change is seen as it is made (SQLite); else only the end is checked.
    bool seesEachChange() const { return m_db != nullptr; }

    // The right flag of the walk's row i for the chart as it is now.
    int flagNow(std::size_t i);
    // Takes the write lock for row i's write, and gives its right flag for the chart as it is
    // under the lock, which no other program can change until commit() or release().
    int lockAndFlag(std::size_t i);
    // Commits the row written under the lock; raises db::DbError when the engine refuses.
    void commit();
    // Lets the lock go, with nothing written under it.
    void release();

    // When the walk has ended: the codes whose right flag in the chart as it is now is not the one
    // the walk gave them (flagNow(), lockAndFlag()), and whose stored flag is wrong. A flag another
    // program set, or a code it added, is its own affair. Read again unless the codes are known
    // to be those every flag was decided from. Raises db::DbError when the engine refuses.
    QStringList wrongNow();

private:
    qint64 version();
    std::string storedCodes();
    void refresh();
    void readAgain();
    void exec(sqlite3_stmt *statement);
    void begin(sqlite3_stmt *statement);
    void refreshOrRelease();
    void finalizeStatements();

    std::shared_ptr<db::Connection> m_connection;
    sqlite3 *m_db = nullptr;
    sqlite3_stmt *m_version = nullptr, *m_begin = nullptr, *m_commit = nullptr, *m_rollback = nullptr;
    sqlite3_stmt *m_codes = nullptr, *m_read = nullptr;
    qint64 m_seen = 0;                         // the data version when the codes were last looked at
    std::unique_ptr<db::CommitStamp> m_stamp;  // spares a look at the data version where no commit was made
    std::string m_storedCodes;                 // the codes the flags were last worked out from (storedCodes())
    bool m_inTransaction = false;
    const EndFlagChart *m_chart = nullptr;
    std::vector<std::int8_t> m_now;    // the right flag of each of the walk's rows, for the chart last read
    std::vector<std::int8_t> m_given;  // the flag each row was last given by the walk, -1 before
    bool m_readAgain = false;          // whether the codes changed during the walk
};

}  // namespace repair
