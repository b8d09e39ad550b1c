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

bool JournalLock::hold(const QString &path)
{
    release();
    m_handle = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (m_handle < 0)
        return false;
    if (::flock(int(m_handle), LOCK_EX | LOCK_NB) != 0) {
        release();
        return false;
    }
    return true;
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
