#include "JournalLock.h"

#include <QFile>

#include <cerrno>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace repair {

namespace {

// The file whose lock tells that the repair of the journal at `path` runs.
QString runningLockPath(const QString &path)
{
    return path + QStringLiteral(".lock");
}

// Opens the file at `path`, making it when missing, and takes its exclusive lock without
// waiting: the descriptor, or -1.
int lockedFile(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

JournalLock::~JournalLock()
{
    release();
}

bool JournalLock::hold(const QString &path)
{
    release();
    m_handle = lockedFile(runningLockPath(path));
    if (m_handle >= 0)
        m_removedOnRelease = runningLockPath(path);
    return m_handle >= 0;
}

bool JournalLock::holdUndoOf(const QString &path)
{
    release();
    // The file stays when the lock goes: removing it could let a third undo lock a new file of
    // the same name while the second still holds the old one.
    m_handle = lockedFile(path + QStringLiteral(".undo-lock"));
    return m_handle >= 0;
}

// The running lock's file goes first and the lock after it: a reader that still opens the old
// file finds its lock held until the repair's outcome is recorded, or free after, as it is.
void JournalLock::release()
{
    if (!m_removedOnRelease.isEmpty())
        QFile::remove(m_removedOnRelease);
    m_removedOnRelease.clear();
    if (m_handle >= 0)
        ::close(int(m_handle));  // closing the last descriptor of the open file drops its lock
    m_handle = -1;
}

bool JournalLock::isHeld(const QString &path)
{
    const int fd = ::open(QFile::encodeName(runningLockPath(path)).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool held = ::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return held;
}

}  // namespace repair
