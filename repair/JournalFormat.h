#pragma once

#include "RepairRecord.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>

struct sqlite3;
struct sqlite3_stmt;

// How a repair's journal is laid out on disk, shared by the code that writes journals and the
// code that reads them: one SQLite file per repair, named after its id, with a one-row table
// `repair` (the header) and a table `row` (one row per journaled record).
namespace repair::journalformat {

extern const QString Suffix;  // of a journal file's name

// The columns of the table repair, the header, in their order.
enum class HeaderColumn {
    Id,
    Time,
    Database,
    Engine,
    Repair,
    AccountSet,
    Year,
    Code,
    Period,
    Undoes,
    TableName,
    RowidName,
    ChangedColumns,
    KeyColumns,
    Outcome,
    RowsDone,
    RowsChanged,
    Message,
    JournalMode,
    SettingsPending,
    RowsVisited,
    UserName,
    HostName,
    RowsSealed,
    RowsDigest,
    Seal,
};
constexpr int HeaderColumnCount = int(HeaderColumn::Seal) + 1;
extern const QByteArray HeaderColumns;  // their names, in that order, separated by commas

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

// A journal's header as the file stores it: the value of each of the HeaderColumns, at its place;
// a column that a journal of an earlier version lacks is null there.
using HeaderValues = QVariantList;

// The header of an open journal as the file stores it; raises db::DbError naming `path` when it
// can't be read.
HeaderValues readHeaderValues(const JournalHandle &handle, const QString &path);
// The repair a header records (as not running: that is for the journal's lock to tell); raises
// db::DbError naming `path` when it names a repair or an outcome this version doesn't know. Columns
// that journals of earlier versions lack read as not recorded, and their outcomes as they are
// recorded now.
RepairRecord headerRecord(const HeaderValues &values, const QString &path);
// The header of an open journal, read and understood by the two above, with whether its repair
// still runs.
RepairRecord readHeader(const JournalHandle &handle, const QString &path);

}  // namespace repair::journalformat
