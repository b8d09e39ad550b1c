#pragma once

#include "JournalLock.h"
#include "RepairRecord.h"

#include "db/Engine.h"

#include <QString>
#include <QStringList>
#include <QVariantList>

#include <memory>

struct sqlite3;
struct sqlite3_stmt;

// How a repair's journal stays true to what the repair did, through a kill or a full disk at any
// moment. Each rule names the function that keeps it and the test that breaks the program to
// check it (tst_crash_safety kills the program or fails its syncs at every sync, one at a time).
//
//  1. The journal, with every row the repair means to change, is on disk, and so is its name in
//     its folder, before the first row changes; if it can't be, the repair changes nothing.
//     Journal::flush() (one sync of the file, then syncDirectory()).
//     tst_crash_safety: killedAtEverySync, failedSyncAtEveryStage.
//  2. A walk that switches the database to the write-ahead log writes and syncs the memo of the
//     file's own journal mode first, so a killed walk's successor can put the mode back: the
//     memo's contents synced by writePendingSettings(), its name by the folder's sync in
//     Journal::flush(), both before db::RowByRowWrites::start(). A walk that leaves the file in
//     its own mode (a few rows to write, a file in the log already) needs and writes no memo.
//     tst_crash_safety: killedAtEverySync, failedSyncAtEveryStage (a walk of each kind),
//     diskFullAtEveryStage.
//  3. A row the repair had not planned to change (another program changed the chart under the
//     walk) is appended to the journal, on disk and sealed, before it is written.
//     Journal::appendRow() in the walk. tst_walk_guard: codesAddedOrRemovedDuringTheWalk.
//  4. Every journaled row carries its place in the order the repair writes rows, and the outcome
//     records how many it wrote: of a walk that stopped or failed, the rows it wrote are exactly
//     those up to there. Journal::addRow(), Journal::finish(); undo reads them in wasWritten().
//     tst_crash_safety: anotherWriterDuringTheWalk, twoRepairsAtOnce; tst_undo_extent.
//  5. A repair made in one transaction (a reset, an undo) that fails rolls back, and its journal
//     records it as rolled back: it wrote nothing and is never undone. Journal::finish(),
//     undoRefusal(). tst_crash_safety: failedSyncAtEveryStage; tst_undo_extent.
//  6. The outcome is recorded after the repair's last change, and the journal's lock is held
//     until then: a journal without an outcome whose lock is free belongs to a repair that died,
//     or whose end could not be recorded, and says nothing of how far it got. Journal::finish(),
//     JournalLock. Undo of such a repair leaves alone each row a later repair wrote
//     (writtenLater()). tst_crash_safety: killedAtEverySync; tst_undo_extent.
//  7. Recording the outcome (and resealing the journal) is one transaction of the journal file; a program killed in the
//     middle of it leaves a hot rollback journal, which is rolled back when the journal is next
//     read, so the repair stays listed and undoable. JournalHandle opens a finished journal for
//     writing for that. tst_crash_safety: killedAtEverySync (the kills "while recording its end").
//  8. Undo plans inside its own transaction on the database, journals the rows it will restore,
//     then writes them, and commits: all of it or none. undoRepair(). tst_crash_safety:
//     killedAtEverySync and failedSyncAtEveryStage, undo rows.
//  9. An undo holds the undo lock of the repair it undoes from before it reads the listing until
//     its own outcome is recorded: a second undo of that repair is refused meanwhile, and one that
//     comes after sees the first in the listing. JournalLock::holdUndoOf() in undoRepair().
//     tst_undo_extent: twoUndosAtOnce.
// 10. Journal writes after the first (an outcome, a corrected or appended row) run with the
//     journal file at synchronous=NORMAL: each is on disk when it returns should the program die;
//     a power loss may take the last back, and the journal then reads as under rule 6.
//     Journal::flush().
// 11. No file the process may hold a SQLite connection to (a database, its -journal, -wal or
//     -shm, a repair's journal) is opened or closed except through SQLite: on POSIX systems
//     closing any descriptor of a file drops every lock the process holds on it, a repair's in
//     another thread included. The running lock is on a file of its own (JournalLock); a
//     read-only open reads the header through SQLite (db::Connection::openEmbedded()), the walk
//     through its connection's own handle of the file (db::CommitStamp).
//     tst_x11_check_window: repairKeepsItsLocksWhileItsWindowsRead.
// 12. The journal carries a seal over its header and every row (JournalSeal), brought up to date
//     in the same transaction as each change: the first write, an appended or corrected row, the
//     outcome. So a kill at any moment leaves a sealed journal, the one before or after the change.
//     Undo, and the journal window before it asks, follow a journal only when the seal shows it as
//     written (checkJournal()); one changed since by anything else, or without a seal, is refused,
//     naming its file, before anything is written. Journal::seal(), Journal::sealed().
//     tst_undo_extent: editedJournalRefused; tst_crash_safety: killedAtEverySync.
// 13. The index of the journals' headers beside them is a copy that never outlives a change: a
//     listing takes a header from it only while the journal's file has the name, size and times
//     it had when the entry was made, and writes an entry only for a journal that has ended and
//     was last written before the listing by more than the file system's time resolution. Undo
//     reads the journals themselves. journalHeaders(). tst_journal_index.
namespace repair {

// The journal of one repair: a SQLite file of its own in the journal directory, written before
// the repair changes anything and closed with its outcome. A journal that cannot be written
// stops the repair before it starts (and is removed). Every failure raises db::DbError. From its
// creation until its outcome is recorded the journal's lock is held, so readers see the repair
// as running.
class Journal {
public:
    // Starts a new journal for `record` (its id and time are set here). Nothing of it is
    // durable until flush().
    Journal(const QString &directory, RepairRecord record);
    ~Journal();
    Journal(const Journal &) = delete;
    Journal &operator=(const Journal &) = delete;

    const RepairRecord &record() const { return m_record; }

    // Adds a row before flush(); returns its number (rows are numbered from 1 in the order added).
    qint64 addRow(const JournalRow &row);
    // Writes everything so far to disk; the repair may change rows once this returns.
    void flush();
    // Records the value a row is about to get when it differs from the one added.
    void setNewValues(qint64 row, const QVariantList &values);
    // Adds a row once the journal is on disk, durably, before the repair writes it: a row the
    // repair had not planned to change when the journal was flushed.
    qint64 appendRow(const JournalRow &row);
    // The number of rows the repair looked at; set before flush(), which records it.
    void setRowsVisited(qint64 rows) { m_record.rowsVisited = rows; }
    // Records how the repair ended, and whether the database is back in its own journal mode.
    // The repair is over by then, whatever happens here: a failure to record it raises nothing and
    // is returned as its description (empty when recorded), and the journal then says the repair
    // never ended. The journal's lock is let go either way.
    QString finish(Outcome outcome, qint64 rowsDone, qint64 rowsChanged, const QString &message = QString(),
                   bool settingsRestored = false);

private:
    void create(const QString &directory);
    qint64 insertRow(const JournalRow &row);
    void sealRows();
    QByteArray storedRowDigest(qint64 seq);
    void execBound(const char *sql, const QVariantList &values);
    void seal();
    template <typename Change> void sealed(Change change);
    void exec(const char *sql);
    [[noreturn]] void fail(const QString &what);
    [[noreturn]] void discard(const QString &reason);

    RepairRecord m_record;
    QString m_path;
    sqlite3 *m_db = nullptr;
    sqlite3_stmt *m_insert = nullptr;
    sqlite3_stmt *m_readRow = nullptr;
    sqlite3_stmt *m_readHeader = nullptr;
    JournalLock m_lock;
    bool m_flushed = false;
    qint64 m_rowsSealed = 0;  // from flush() on, the rows in the file, and their digests combined (JournalSeal)
    QByteArray m_rowsDigest = QByteArray(32, '\0');
};

// The journal directory of the engine in use: journal/ in the data directory; with ODBC,
// journal/ in the default data directory. And the same for any engine.
QString journalDirectory();
QString journalDirectory(const db::EngineSettings &engine);

}  // namespace repair
