#include "JournalLock.h"

#include <windows.h>

namespace repair {

namespace {

// The locked byte, far beyond the lock file's (empty) contents.
constexpr DWORD LockOffsetHigh = 0x7fffffff;

// The file whose lock tells that the repair of the journal at `path` runs.
QString runningLockPath(const QString &path)
{
    return path + QStringLiteral(".lock");
}

// Opens the lock file at `path`, made when `create`.
HANDLE openLockFile(const QString &path, bool create = false)
{
    // Shared for reading, writing and deleting: readers look at the lock while it is held, and
    // the running lock's file is removed before its handle is closed.
    return CreateFileW(reinterpret_cast<const wchar_t *>(path.utf16()), GENERIC_READ,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, create ? OPEN_ALWAYS : OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
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
    const HANDLE file = openLockFile(path, create);
    if (file != INVALID_HANDLE_VALUE && !lockByte(file, LOCKFILE_EXCLUSIVE_LOCK)) {
        CloseHandle(file);
        return INVALID_HANDLE_VALUE;
    }
    return file;
}

}  // namespace

JournalLock::~JournalLock()
{
    release();
}

bool JournalLock::hold(const QString &path)
{
    release();
    m_handle = reinterpret_cast<qintptr>(lockedFile(runningLockPath(path), true));
    if (m_handle != -1)
        m_removedOnRelease = runningLockPath(path);
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

// The running lock's file goes first and the lock after it: a reader that still opens the old
// file finds its lock held until the repair's outcome is recorded, or free after, as it is.
void JournalLock::release()
{
    if (!m_removedOnRelease.isEmpty())
        DeleteFileW(reinterpret_cast<const wchar_t *>(m_removedOnRelease.utf16()));
    m_removedOnRelease.clear();
    if (m_handle != -1)
        CloseHandle(reinterpret_cast<HANDLE>(m_handle));  // closing the handle drops its lock
    m_handle = -1;
}

bool JournalLock::isHeld(const QString &path)
{
    const HANDLE file = openLockFile(runningLockPath(path));
    if (file == INVALID_HANDLE_VALUE)
        return false;
    const bool locked = lockByte(file, 0);
    const bool held = !locked && GetLastError() == ERROR_LOCK_VIOLATION;
    CloseHandle(file);  // and with it the shared lock just taken
    return held;
}

}  // namespace repair
