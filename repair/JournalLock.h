#pragma once

#include <QString>

// Whether a repair is still running, told by a lock on its journal file: the repair holds an
// exclusive flock() on it from the moment the journal is created until its outcome is recorded,
// and the kernel lets it go when the process dies however it dies. flock() locks are separate
// from the POSIX locks SQLite takes on the same file, so neither disturbs the other.
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
    void release();

    // Whether some process (this one included, through another descriptor) holds the journal's
    // lock at this moment.
    static bool isHeld(const QString &path);

private:
    int m_fd = -1;
};

} // namespace repair
