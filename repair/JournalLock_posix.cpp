#include "JournalLock.h"

#include <QFile>

#include <cerrno>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace repair {

JournalLock::~JournalLock()
{
    release();
}

namespace {

// Opens the file at `path` (made when `create`) and takes its exclusive lock without waiting:
// the descriptor, or -1.
int lockedFile(const QString &path, bool create)
{
    const int fd = ::open(QFile::encodeName(path).constData(), create ? O_RDWR | O_CREAT | O_CLOEXEC : O_RDONLY | O_CLOEXEC,
                          0600);
    if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

bool JournalLock::hold(const QString &path)
{
    release();
    m_handle = lockedFile(path, false);
    return m_handle >= 0;
}

bool JournalLock::holdUndoOf(const QString &path)
{
    release();
    // The file stays when the lock goes: removing it could let a third undo lock a new file of
    // the same name while the second still holds the old one.
    m_handle = lockedFile(path + QStringLiteral(".undo-lock"), true);
    return m_handle >= 0;
}

void JournalLock::release()
{
    if (m_handle >= 0)
        ::close(int(m_handle));  // closing the last descriptor of the open file drops its lock
    m_handle = -1;
}

bool JournalLock::isHeld(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool held = ::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return held;
}

} // namespace repair
