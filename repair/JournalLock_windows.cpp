#include "JournalLock.h"

#include <windows.h>

namespace repair {

namespace {

// The locked byte: Windows locks are mandatory, so the lock covers a byte no journal reaches and
// apart from SQLite's lock bytes (at 1 GiB), leaving the file's contents readable to every reader.
constexpr DWORD LockOffsetHigh = 0x7fffffff;

HANDLE openJournal(const QString &path)
{
    // Shared for reading, writing and deleting: SQLite opens the same file beside this handle,
    // and a journal given up before it was flushed is removed while the lock is still held.
    return CreateFileW(reinterpret_cast<const wchar_t *>(path.utf16()), GENERIC_READ,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool lockByte(HANDLE file, DWORD flags)
{
    OVERLAPPED where = {};
    where.OffsetHigh = LockOffsetHigh;
    return LockFileEx(file, flags | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &where);
}

} // namespace

JournalLock::~JournalLock()
{
    release();
}

bool JournalLock::hold(const QString &path)
{
    release();
    const HANDLE file = openJournal(path);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    m_handle = reinterpret_cast<qintptr>(file);
    if (!lockByte(file, LOCKFILE_EXCLUSIVE_LOCK)) {
        release();
        return false;
    }
    return true;
}

void JournalLock::release()
{
    if (m_handle != -1)
        CloseHandle(reinterpret_cast<HANDLE>(m_handle));  // closing the handle drops its lock
    m_handle = -1;
}

bool JournalLock::isHeld(const QString &path)
{
    const HANDLE file = openJournal(path);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    const bool locked = lockByte(file, 0);
    const bool held = !locked && GetLastError() == ERROR_LOCK_VIOLATION;
    CloseHandle(file);  // and with it the shared lock just taken
    return held;
}

} // namespace repair
