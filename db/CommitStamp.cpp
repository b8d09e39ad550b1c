#include "CommitStamp.h"

#include <sqlite3.h>

#include <cstring>

namespace db {

namespace {

// The size of a region of the log's index, as SQLite maps it; its header opens the first.
constexpr int LogIndexRegion = 32768;

// The file format's write and read versions: 1 in the file's own journal mode, 2 in the log.
bool inOwnMode(const std::array<char, 22> &header)
{
    return header[0] == 1 && header[1] == 1;
}

bool inLog(const std::array<char, 22> &header)
{
    return header[0] == 2 && header[1] == 2;
}

}  // namespace

CommitStamp::CommitStamp(sqlite3 *db) : m_db(db)
{
    if (sqlite3_file_control(db, "main", SQLITE_FCNTL_FILE_POINTER, &m_file) != SQLITE_OK)
        m_file = nullptr;
}

// SQLite's handle of the connection's log while it is in the log; otherwise of its rollback
// journal, or null.
sqlite3_file *CommitStamp::logFile() const
{
    sqlite3_file *file = nullptr;
    return sqlite3_file_control(m_db, "main", SQLITE_FCNTL_JOURNAL_POINTER, &file) == SQLITE_OK ? file : nullptr;
}

// Bytes 18 to 39: the format's versions, then the change counter, the size in pages and the
// free pages (SQLite compares bytes 24 to 39).
bool CommitStamp::readHeader(Reading &reading) const
{
    reading.headerRead = m_file && m_file->pMethods
                         && m_file->pMethods->xRead(m_file, reading.header.data(), int(reading.header.size()), 18) == SQLITE_OK;
    return reading.headerRead;
}

// The index is shared memory SQLite maps for the connection once it reads in the log; asked for
// its first region, SQLite hands over that mapping. Copied as SQLite copies it to compare.
bool CommitStamp::readLog(Reading &reading) const
{
    void volatile *region = nullptr;
    reading.logRead = m_file && m_file->pMethods && m_file->pMethods->iVersion >= 2 && m_file->pMethods->xShmMap
                      && m_file->pMethods->xShmMap(m_file, 0, LogIndexRegion, 0, &region) == SQLITE_OK && region;
    if (reading.logRead)
        std::memcpy(reading.log.data(), const_cast<const void *>(region), reading.log.size());
    return reading.logRead;
}

bool CommitStamp::unchanged()
{
    m_now = Reading();
    if (m_logFile && logFile() == m_logFile)
        return readLog(m_now) && m_looked.logRead && m_now.log == m_looked.log;
    return readHeader(m_now) && m_looked.headerRead && m_now.header == m_looked.header && inOwnMode(m_now.header);
}

void CommitStamp::looked()
{
    // A look made with the file in the log has the connection in the log, its index mapped. The
    // header, the same after the look as before it, shows that the file was in the log all along
    // (leaving it and coming back changes the counter).
    if (m_now.headerRead && inLog(m_now.header)) {
        Reading after;
        m_logFile = readHeader(after) && after.header == m_now.header ? logFile() : nullptr;
    } else if (!m_now.logRead) {
        m_logFile = nullptr;
    }
    m_looked = m_now;
}

}  // namespace db
