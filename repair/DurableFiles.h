#pragma once

#include <QString>

class QFile;

// Putting a file's changes on disk, where the system keeps them through a crash or a power cut.
// Each returns why it could not, or an empty string.
namespace repair {

// What has been written through `file` is on the disk when this returns.
QString syncFile(QFile &file);

// A new, renamed or removed entry of `directory` is on the disk when this returns, as a file's
// own sync does not promise on POSIX systems. On Windows it has nothing to do: a folder can't be
// opened for a flush there, and NTFS commits a file's entry in its folder with the file's own
// flush (FlushFileBuffers, as SQLite's and syncFile() make).
QString syncDirectory(const QString &directory);

// Puts the file at `from` in the place of the one at `to` in one step (a crash leaves the old
// file or the new one there, never neither). The new entry is on the disk once its folder is
// synced (syncDirectory()), which a caller that puts more files there does once for them all; on
// Windows it is when this returns.
QString replaceFile(const QString &from, const QString &to);

}  // namespace repair
