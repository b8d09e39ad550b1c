#pragma once

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>

#include <sqlite3.h>

// A copy of the SQLite file at `from` made at `to` (replacing what is there) through SQLite's own
// backup, page for page, and on the storage when this returns; false when it could not be made.
// The files are only ever opened through SQLite: the benchmarks hold connections to the files
// they copy, and closing a descriptor opened beside SQLite's would drop the locks it holds.
inline bool copyDatabase(const QString &from, const QString &to)
{
    sqlite3 *source = nullptr, *target = nullptr;
    bool copied =
        sqlite3_open_v2(from.toUtf8().constData(), &source, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK
        && sqlite3_open_v2(to.toUtf8().constData(), &target, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) == SQLITE_OK
        && sqlite3_exec(target, "PRAGMA synchronous=FULL", nullptr, nullptr, nullptr) == SQLITE_OK;
    if (copied) {
        sqlite3_backup *backup = sqlite3_backup_init(target, "main", source, "main");
        copied = backup && sqlite3_backup_step(backup, -1) == SQLITE_DONE;
        copied = sqlite3_backup_finish(backup) == SQLITE_OK && copied;
    }
    sqlite3_close(source);
    sqlite3_close(target);
    return copied;
}

// A copy of `master` at `path`, on the storage before anything is timed, with no log or lock
// files beside it and no journals of earlier walks in its data directory.
inline void freshCopy(const QString &master, const QString &path)
{
    for (const QString &file : {path, path + QStringLiteral("-wal"), path + QStringLiteral("-shm")})
        QFile::remove(file);
    QDir(QFileInfo(path).absolutePath() + QStringLiteral("/journal")).removeRecursively();
    if (!copyDatabase(master, path))
        qFatal("cannot copy %s", qPrintable(master));
}
