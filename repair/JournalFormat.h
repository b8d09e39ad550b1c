#pragma once

#include "RepairRecord.h"

#include <QString>
#include <QStringList>
#include <QVariant>

struct sqlite3;
struct sqlite3_stmt;

// How a repair's journal is laid out on disk, shared by the code that writes journals and the
// code that reads them: one SQLite file per repair, named after its id, with a one-row table
// `repair` (the header) and a table `row` (one row per journaled record).
namespace repair::journalformat {

extern const QString Suffix;  // of a journal file's name
extern const char *const HeaderColumns;  // of the table repair, in their order
extern const int HeaderColumnCount;

QString journalPath(const QString &directory, const QString &id);

// A journal file opened to read it (or to settle what it says), closed when it goes. Raises
// db::DbError when the file can't be opened. A journal whose repair has ended is opened for
// writing even to read it: a process killed while it recorded the outcome leaves a hot rollback
// journal beside the file, which SQLite rolls back only on a connection that may write. Where
// the folder can't be written it is read as it is.
struct JournalHandle {
    sqlite3 *db = nullptr;
    bool running = false;  // the repair's process still holds the journal's lock
    explicit JournalHandle(const QString &path, bool write = false);
    ~JournalHandle();
    JournalHandle(const JournalHandle &) = delete;
    JournalHandle &operator=(const JournalHandle &) = delete;
};

// Values in and out of the journal's statements, kept with their SQLite storage class.
void bind(sqlite3_stmt *statement, int index, const QVariant &value);
QVariant column(sqlite3_stmt *statement, int index);

QString jsonList(const QStringList &names);

// The header of an open journal; raises db::DbError naming `path` when it can't be read. Columns
// that journals of earlier versions lack read as not recorded, and their outcomes as they are
// recorded now.
RepairRecord readHeader(const JournalHandle &handle, const QString &path);

} // namespace repair::journalformat
