#pragma once

#include <QMap>
#include <QString>

// Real SQLite database files for tests, written and read with the sqlite3 library directly,
// beside (not through) the code under test.
namespace SqliteFixture {

// `text` as an SQL literal: NULL for a null string, otherwise in quotes with its quotes doubled.
QString literal(QString text);

// Creates (or extends) the database file at `path` by running `script`; fails the test on error.
void run(const QString &path, const QString &script);

// Runs `script` on the file at `path` in the write-ahead log, and leaves the log as a program that
// never checkpoints does: its changes in the -wal file, the -shm index beside it.
void runLeavingLog(const QString &path, const QString &script);

// The rows `sql` yields, one line per row with typed values joined by "|".
QString select(const QString &path, const QString &sql);

// Every row of `table` in rowid order, one line per row with typed values, so two dumps
// compare equal only when nothing in the table changed.
QString dump(const QString &path, const QString &table);

// Every table of the file with its rows, as dump() gives them.
QString dumpAll(const QString &path);

// Every entry under `dir`, at any depth, but for the tool's journal directories, by its path
// relative to `dir` (directories end in "/"):
// a ".db" file that is an SQLite database as dumpAll() gives it plus its journal mode, any other
// file as its bytes. Two snapshots compare equal only when no entry was added, removed or changed.
QMap<QString, QByteArray> dumpDirectory(const QString &dir);

}  // namespace SqliteFixture
