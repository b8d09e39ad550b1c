#pragma once

#include <QString>
#include <QtGlobal>

// Whether a repair is still running, told by a lock on a file beside its journal (the journal's
// name with ".lock" added): the repair holds an exclusive lock on it from the moment the journal
// is created until its outcome is recorded, and the system lets it go when the process dies
// however it dies. The lock is never taken on the journal itself, nor is the journal opened here:
// a journal is a SQLite file, and on POSIX systems closing any descriptor of a file drops every
// lock the process holds on it, SQLite's included. SQLite never opens the lock file.
//
// An undo holds a second lock, on a file beside the journal of the repair it undoes, while it
// decides and restores: two undos of one repair can't both run. The repair's own lock is not
// taken for that, since it tells readers the repair itself is running.
namespace repair {

class JournalLock {
public:
    JournalLock() = default;
    ~JournalLock();
    JournalLock(const JournalLock &) = delete;
    JournalLock &operator=(const JournalLock &) = delete;

    // Takes the exclusive lock of the repair whose journal is at `path`, making the lock's file;
    // false when the file can't be made or another process holds the lock. The file is removed
    // when the lock is let go.
    bool hold(const QString &path);
    // Takes the exclusive lock an undo holds on the repair whose journal is at `path`; false when
    // the lock's file can't be made or another process holds the lock.
    bool holdUndoOf(const QString &path);
    void release();

    // Whether some process (this one included, through another descriptor) holds the lock of the
    // repair whose journal is at `path` at this moment.
    static bool isHeld(const QString &path);

private:
    qintptr m_handle = -1;       // a file descriptor, or a Windows HANDLE (-1 is INVALID_HANDLE_VALUE)
    QString m_removedOnRelease;  // the lock's file, when it goes with the lock
};

}  // namespace repair
