#include "CommitStamp.h"

#include <sqlite3.h>

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

CommitStamp::CommitStamp(sqlite3 *db)
{
    if (sqlite3_file_control(db, "main", SQLITE_FCNTL_FILE_POINTER, &m_file) != SQLITE_OK)
        m_file = nullptr;
}

// Bytes 18 to 39: the format's versions, then the change counter, the size in pages and the
// free pages (SQLite compares bytes 24 to 39).
bool CommitStamp::readHeader(Reading &reading) const
{
    reading.headerRead = m_file && m_file->pMethods && m_file->pMethods->xRead(m_file, reading.header.data(), int(reading.header.size()), 18) == SQLITE_OK;
    return reading.headerRead;
}

// The index is shared memory SQLite maps for the connection once it reads in the log; asked for
// its first region, SQLite hands over that mapping.
bool CommitStamp::readLog(Reading &reading) const
{
    void volatile *region = nullptr;
    reading.logRead = m_file && m_file->pMethods && m_file->pMethods->iVersion >= 2 && m_file->pMethods->xShmMap
        && m_file->pMethods->xShmMap(m_file, 0, LogIndexRegion, 0, &region) == SQLITE_OK && region;
    if (reading.logRead) {
        const auto *bytes = static_cast<const volatile char *>(region);
        for (std::size_t i = 0; i < reading.log.size(); ++i)
            reading.log[i] = bytes[i];
    }
    return reading.logRead;
}

bool CommitStamp::unchanged()
{
    m_now = Reading();
    if (!readHeader(m_now) || !m_looked.headerRead || m_now.header != m_looked.header)
        return false;
    if (inOwnMode(m_now.header))
        return true;
    // The header has stayed the same since the last look, made with the file in the log: the
    // file has not left the log since (that changes the header), and the index that look mapped
    // is mapped still.
    if (!inLog(m_now.header) || !m_logOpen || !readLog(m_now))
        return false;
    return m_looked.logRead && m_now.log == m_looked.log;
}

void CommitStamp::looked()
{
    m_logOpen = m_now.headerRead && inLog(m_now.header);
    m_looked = m_now;
}

} // namespace db
