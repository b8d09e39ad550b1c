#pragma once

#include <QString>
#include <QStringList>

// Real SQLite database files for tests, written and read with the sqlite3 library directly,
// beside (not through) the code under test.
namespace SqliteFixture {

// Creates (or extends) the database file at `path` by running `script`; fails the test on error.
void run(const QString &path, const QString &script);

// Every row of `table` in rowid order, one line per row with typed values, so two dumps
// compare equal only when nothing in the table changed.
QString dump(const QString &path, const QString &table);

// Every table of the file with its rows, as dump() gives them.
QString dumpAll(const QString &path);

} // namespace SqliteFixture
