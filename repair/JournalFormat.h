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

QString journalPath(const QString &directory, const QString &id);

// A journal file opened to read it (or to settle what it says), closed when it goes. Raises
// db::DbError when the file can't be opened.
struct JournalHandle {
    sqlite3 *db = nullptr;
    explicit JournalHandle(const QString &path, bool write = false);
    ~JournalHandle();
    JournalHandle(const JournalHandle &) = delete;
    JournalHandle &operator=(const JournalHandle &) = delete;
};

// Values in and out of the journal's statements, kept with their SQLite storage class.
void bind(sqlite3_stmt *statement, int index, const QVariant &value);
QVariant column(sqlite3_stmt *statement, int index);

QString jsonList(const QStringList &names);

// The header of an open journal; raises db::DbError naming `path` when it can't be read.
RepairRecord readHeader(sqlite3 *db, const QString &path);

} // namespace repair::journalformat
