#pragma once

#include <QString>

// The tool over the real unixODBC driver manager, with Debian's SQLite ODBC driver registered as
// "SQL Server" in a test-only odbcinst.ini: DATABASE=X then opens the file X in the current
// directory.
namespace OdbcFixture {

// Registers the driver in `configDir` (the driver manager reads it once, before the first ODBC
// call) and keeps the journals, which go to the default data directory with ODBC, in there too.
void registerSqliteDriver(const QString &configDir);

// Fills `dir` with the demo databases, named without ".db" as the driver opens them, makes it the
// current directory, and points the tool at ODBC, recording message boxes.
void useDemoDatabases(const QString &dir);

}  // namespace OdbcFixture
