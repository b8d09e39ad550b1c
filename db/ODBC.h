#pragma once

#include "Connection.h"
#include "Engine.h"

#include <QString>

#include <memory>

// The module that owns the connections to the product's databases: the main window's one shared
// connection DbConn(), which connectDatabase() opens anew for each of its handlers, and the
// connections of their own that the repairs, checks and commands open (openConnection()).
// A connection that can't be opened raises db::DbError; each front end says so in its own words.
namespace ODBC {

// The engine that answers connection strings, chosen once at program start.
void setEngine(const db::EngineSettings &engine);
const db::EngineSettings &engine();

// The shared connection. A caller that finds none gets a new, unopened one put in its place.
std::shared_ptr<db::Connection> &DbConn();

// Puts a new connection in DbConn's place, even for the same database, and opens it on `dbName`.
// Raises db::DbError when it can't be opened; DbConn then holds the new connection, not open.
void connectDatabase(const QString &dbName);

// A connection of its own, apart from DbConn, on `dbName`, for a repair, a check or undo; released
// with its last user. Raises db::DbError with why it can't be opened.
// With `exactDecimals`, a server's decimal values are read exactly (Connection::setExactDecimals).
std::shared_ptr<db::Connection> openConnection(const QString &dbName, bool readOnly, bool exactDecimals = false);
// The same over `engine` instead of the engine in use, which stays as it is: for trying a place
// before it is chosen. Safe in any thread, for a connection used and released in that thread.
std::shared_ptr<db::Connection> openConnection(const db::EngineSettings &engine, const QString &dbName, bool readOnly);

// The engine in use, as the journal names it: "embedded", "odbc" for the local default SQL Server,
// or "odbc:" and the server's name for another; repairs made through one are read and undone
// through the same.
QString engineName();
QString engineName(const db::EngineSettings &engine);
// The server a journal's engine name names: empty for the embedded engine and the local default.
QString serverOf(const QString &engineName);

// The product's system database, which lists the account sets and their fiscal years.
extern const QString SystemDatabase;

// The database of one account set's fiscal year: "LQDATA_" + account set + "_" + year,
// both pieces exactly as given.
QString accountSetDatabaseName(const QString &accountSet, const QString &year);

}  // namespace ODBC
