#pragma once

#include <QElapsedTimer>

namespace db {

class Connection;

// Room for other programs to write while a long run of rows is written, each row committed on its
// own, to a SQLite file. SQLite lets one writer in at a time; a program that finds the file locked
// sleeps and looks again, its sleeps growing to 100 ms, until its busy timeout runs out. A run that
// takes the lock again the moment it committed has it find the lock taken every time it looks.
// So now and then the run waits a little longer than a waiter's longest sleep, holding no lock:
// whoever waits then gets in, and the run's next write waits for it in turn. Often enough that a
// waiter with a busy timeout of a few seconds meets such a pause; on a server, which locks rows
// rather than the file, it does nothing.
class WritePauses {
public:
    static constexpr int IntervalMs = 2000;  // between the starts of two pauses, at most about
    static constexpr int PauseMs = 125;

    explicit WritePauses(const Connection &connection);

    // Called once per row written and committed: pauses when the time has come.
    void rowWritten();

private:
    bool m_applies = false;
    QElapsedTimer m_sincePause;
};

} // namespace db
