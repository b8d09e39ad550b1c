#pragma once

#include "JournalLock.h"
#include "RepairRecord.h"

#include <QString>
#include <QStringList>
#include <QVariantList>

#include <memory>

struct sqlite3;
struct sqlite3_stmt;

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
    QString finish(const QString &outcome, qint64 rowsDone, qint64 rowsChanged, const QString &message = QString(),
                   bool settingsRestored = false);

private:
    void create(const QString &directory);
    void exec(const char *sql);
    [[noreturn]] void fail(const QString &what);
    [[noreturn]] void discard(const QString &reason);

    RepairRecord m_record;
    QString m_path;
    sqlite3 *m_db = nullptr;
    sqlite3_stmt *m_insert = nullptr;
    JournalLock m_lock;
};

// The journal directory of the engine in use: journal/ in the data directory; with ODBC,
// journal/ in the default data directory.
QString journalDirectory();

} // namespace repair
