#pragma once

#include <QString>
#include <QtGlobal>

// Whether a repair is still running, told by a lock on its journal file: the repair holds an
// exclusive lock on it from the moment the journal is created until its outcome is recorded,
// and the system lets it go when the process dies however it dies. The lock never stands in the
// way of SQLite's own locks and reads of the same file: on POSIX systems it is a flock(), separate
// from SQLite's POSIX locks; on Windows, whose locks keep others from reading what they cover, it
// is a byte far beyond anything SQLite reads or locks.
//
// An undo holds a second lock, on a file beside the journal of the repair it undoes, while it
// decides and restores: two undos of one repair can't both run. The journal's own lock is not
// taken for that, since it tells readers the repair itself is running.
namespace repair {

class JournalLock {
public:
    JournalLock() = default;
    ~JournalLock();
    JournalLock(const JournalLock &) = delete;
    JournalLock &operator=(const JournalLock &) = delete;

    // Takes the exclusive lock on the journal at `path`; false when the file can't be opened or
    // another process holds it.
    bool hold(const QString &path);
    // Takes the exclusive lock an undo holds on the repair whose journal is at `path`; false when
    // the lock's file can't be made or another process holds the lock.
    bool holdUndoOf(const QString &path);
    void release();

    // Whether some process (this one included, through another descriptor) holds the journal's
    // lock at this moment.
    static bool isHeld(const QString &path);

private:
    qintptr m_handle = -1;  // a file descriptor, or a Windows HANDLE (-1 is INVALID_HANDLE_VALUE)
};

} // namespace repair
