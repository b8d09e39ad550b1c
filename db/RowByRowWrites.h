#pragma once

#include <QString>

#include <limits>
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
//
// A walk that will write only a few rows (plan()) stays in the file's own journal mode, each
// commit synced in full: switching to the log and back, with the checkpoint that brings, syncs
// the file a dozen times, as many as four such commits. A file in the log already stays there.
class RowByRowWrites {
public:
    // The most rows written in the file's own journal mode.
    static constexpr qint64 FewRows = 3;

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
    // The number of rows the walk is to write, as planned before it starts (unknown: as many as
    // may be).
    void plan(qint64 rows) { m_rows = rows; }
    // Whether start() switches the file to the log: for more than FewRows rows, where it is not
    // in the log already.
    bool switchesToLog();
    // Readies the file for the walk: the log and normal syncing, as switchesToLog() and the mode
    // the file is in say; the file is to end in `ownJournalMode`.
    void start(const QString &ownJournalMode);
    // Restores syncing and the file's own journal mode. True when the file is in its own mode.
    bool finish();

private:
    bool run(const QString &statement, QString *firstValue = nullptr);
    template <typename Statements> void withoutWaiting(Statements statements);

    std::shared_ptr<Connection> m_connection;
    bool m_applies = false;
    bool m_started = false;
    bool m_inLog = false;        // the file is (or may be) in the log since start()
    bool m_syncLowered = false;  // normal syncing was set
    qint64 m_rows = std::numeric_limits<qint64>::max();
    QString m_modeAtStart;  // journalMode() as last read, before start()
    QString m_ownJournalMode;
    QString m_busyTimeout;  // how long the walk's own statements wait for a lock
};

}  // namespace db
