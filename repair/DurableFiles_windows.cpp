#include "DurableFiles.h"

#include <QDir>
#include <QFile>
#include <QThread>

#include <io.h>
#include <windows.h>

namespace repair {

namespace {

const wchar_t *wide(const QString &path)
{
    return reinterpret_cast<const wchar_t *>(path.utf16());
}

}  // namespace

QString syncFile(QFile &file)
{
    const HANDLE handle = reinterpret_cast<HANDLE>(::_get_osfhandle(file.handle()));
    if (handle == INVALID_HANDLE_VALUE || !FlushFileBuffers(handle))
        return qt_error_string(int(GetLastError()));
    return QString();
}

QString syncDirectory(const QString &)
{
    return QString();
}

// MOVEFILE_WRITE_THROUGH returns only once the move is on the disk. A program reading the old file
// at that moment keeps it from being replaced (Windows lets no file be replaced while it is open
// without FILE_SHARE_DELETE, as Qt opens files), so the move is tried again for a while.
QString replaceFile(const QString &from, const QString &to)
{
    const QString nativeFrom = QDir::toNativeSeparators(from);
    const QString nativeTo = QDir::toNativeSeparators(to);
    for (int attempt = 0;; ++attempt) {
        if (MoveFileExW(wide(nativeFrom), wide(nativeTo), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return QString();
        const DWORD error = GetLastError();
        if ((error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION) || attempt == 100)
            return qt_error_string(int(error));
        QThread::msleep(20);
    }
}

}  // namespace repair
