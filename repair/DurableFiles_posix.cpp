#include "DurableFiles.h"

#include <QFile>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace repair {

namespace {

QString lastError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

}  // namespace

QString syncFile(QFile &file)
{
    return ::fdatasync(file.handle()) == 0 ? QString() : lastError();
}

QString syncDirectory(const QString &directory)
{
    const int fd = ::open(QFile::encodeName(directory).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const bool synced = fd >= 0 && ::fsync(fd) == 0;
    QString reason = synced ? QString() : lastError();
    if (fd >= 0)
        ::close(fd);
    return reason;
}

QString replaceFile(const QString &from, const QString &to)
{
    return ::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0 ? QString() : lastError();
}

}  // namespace repair
