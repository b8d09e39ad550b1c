#pragma once

#include <QElapsedTimer>

namespace db {

class Connection;

// Room for other programs to read and write while a long run of rows is written, each row
// committed on its own, to a SQLite file. SQLite lets one writer in at a time; a program that
// finds the file locked sleeps and looks again, its sleeps growing to 100 ms, until its busy
// timeout runs out. A run that takes the lock again the moment it committed can have it find the
// lock taken every time it looks: so it goes where each commit syncs the file (the write-ahead
// log could not be used), and a sync takes far longer than the gap between two rows. So every
// IntervalMs the run waits PauseMs, holding no lock, a little longer than a waiter's longest
// sleep: whoever waits gets in then, and the run's next write waits for it in turn. A waiter
// with a busy timeout of a few seconds meets such a pause. On a server, which locks rows rather
// than the file, it does nothing.
class WritePauses {
public:
    static constexpr int IntervalMs = 2000;  // from the end of one pause to the start of the next
    static constexpr int PauseMs = 125;

    explicit WritePauses(const Connection &connection);

    // Called once per row written and committed: pauses when the time has come.
    void rowWritten();

private:
    bool m_applies = false;
    QElapsedTimer m_sincePause;
};

}  // namespace db
