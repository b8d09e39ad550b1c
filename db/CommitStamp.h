#pragma once

#include <array>

struct sqlite3;
struct sqlite3_file;

namespace db {

// Tells that no connection, in this process or another, has committed to a SQLite file since the
// last look at it, without a lock and without a statement: from the bytes SQLite itself compares
// to know whether its cache still holds, read through SQLite's own handles of the files (nothing
// is opened or closed). In the file's own journal mode that is the database header's change
// counter, which every commit changes, on the header's page, written before any other page. In
// the write-ahead log it is the header of the log's index, both copies, which every commit
// rewrites; while the connection is in the log no other can take the file out of it (the
// connection holds its shared lock on the file all along), and the connection itself leaving it
// shows as another log. The index is read only where the last look, made with the file in the
// log, mapped it. Where it cannot tell (a read that fails, a first look) it says a commit may have
// been made, and the caller looks as it would without it.
//
// The stamp is read before the caller's look (unchanged()), and kept once the look is made
// (looked()): a commit after the reading changes it again, one before is seen by the look.
class CommitStamp {
public:
    explicit CommitStamp(sqlite3 *db);

    // Reads the stamp now; true when it shows that nothing was committed since looked().
    bool unchanged();
    // The caller has looked at the file (its data version) since the last unchanged().
    void looked();

private:
    struct Reading {
        std::array<char, 22> header{};  // the database header's bytes 18 to 39
        std::array<char, 96> log{};     // the log index's header, both copies
        bool headerRead = false, logRead = false;
    };
    bool readHeader(Reading &reading) const;
    bool readLog(Reading &reading) const;
    sqlite3_file *logFile() const;

    sqlite3 *m_db;
    sqlite3_file *m_file = nullptr;     // SQLite's own handle of the database file
    sqlite3_file *m_logFile = nullptr;  // of the log the last look was made in; null: not in the log
    Reading m_now, m_looked;
};

}  // namespace db
