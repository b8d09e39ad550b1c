#include "JournalLock.h"

#include <windows.h>

namespace repair {

namespace {

// The locked byte: Windows locks are mandatory, so the lock covers a byte no journal reaches and
// apart from SQLite's lock bytes (at 1 GiB), leaving the file's contents readable to every reader.
constexpr DWORD LockOffsetHigh = 0x7fffffff;

// Opens the file at `path`, made when `create`.
HANDLE openJournal(const QString &path, bool create = false)
{
    // Shared for reading, writing and deleting: SQLite opens the same file beside this handle,
    // and a journal given up before it was flushed is removed while the lock is still held.
    return CreateFileW(reinterpret_cast<const wchar_t *>(path.utf16()), GENERIC_READ,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       create ? OPEN_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool lockByte(HANDLE file, DWORD flags)
{
    OVERLAPPED where = {};
    where.OffsetHigh = LockOffsetHigh;
    return LockFileEx(file, flags | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &where);
}

// Opens the file at `path` (made when `create`) and takes its exclusive lock without waiting:
// the handle, or INVALID_HANDLE_VALUE.
HANDLE lockedFile(const QString &path, bool create)
{
    const HANDLE file = openJournal(path, create);
    if (file != INVALID_HANDLE_VALUE && !lockByte(file, LOCKFILE_EXCLUSIVE_LOCK)) {
        CloseHandle(file);
        return INVALID_HANDLE_VALUE;
    }
    return file;
}

} // namespace

JournalLock::~JournalLock()
{
    release();
}

bool JournalLock::hold(const QString &path)
{
    release();
    m_handle = reinterpret_cast<qintptr>(lockedFile(path, false));
    return m_handle != -1;
}

bool JournalLock::holdUndoOf(const QString &path)
{
    release();
    // The file stays when the lock goes: removing it could let a third undo lock a new file of
    // the same name while the second still holds the old one.
    m_handle = reinterpret_cast<qintptr>(lockedFile(path + QStringLiteral(".undo-lock"), true));
    return m_handle != -1;
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
