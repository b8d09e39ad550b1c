#pragma once

#include <QString>

#include <memory>

namespace db {

class Connection;

// Settings for a long walk that writes one row per statement, each committed on its own, on a
// SQLite database: the write-ahead log with normal syncing. A commit is then appended to the log
// and is safe the moment it returns if the process dies; only a power loss can take back the
// commits made since the last checkpoint, and the file is never left corrupt.
//
// The journal mode is a setting of the file itself, so the walk must put it back: finish() does,
// and says whether it could. Another program holding the file can keep it in the log, and a
// killed walk never gets there; the caller keeps the file's own mode somewhere that survives
// (the repair's journal) and hands it to the next walk's start(). Setting up never waits for
// another program's lock and never fails: a failure here only costs speed and is left for the
// walk's own statements to meet. On any other engine, or a connection that is not open, it does
// nothing.
class RowByRowWrites {
public:
    explicit RowByRowWrites(std::shared_ptr<Connection> connection);
    ~RowByRowWrites();
    RowByRowWrites(const RowByRowWrites &) = delete;
    RowByRowWrites &operator=(const RowByRowWrites &) = delete;

    bool applies() const { return m_applies; }
    // The journal mode the file is in now ("delete", "wal", ...).
    QString journalMode();
    // Drops the lookup indexes (n3fix_...) that earlier versions of the tool added for a walk and
    // a killed walk left behind, with the file in the log. True when there were any.
    bool dropLeftoverIndexes();
    // Switches to the log for the walk; the file is to end in `ownJournalMode`.
    void start(const QString &ownJournalMode);
    // Restores syncing and the file's own journal mode. True when the file is in its own mode.
    bool finish();

private:
    bool run(const QString &statement, QString *firstValue = nullptr);

    std::shared_ptr<Connection> m_connection;
    bool m_applies = false;
    bool m_started = false;
    bool m_logSwitched = false;
    QString m_ownJournalMode;
    QString m_busyTimeout;  // how long the walk's own statements wait for a lock
};

} // namespace db
