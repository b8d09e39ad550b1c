#pragma once

#include "Connection.h"
#include "Engine.h"

#include <QString>

#include <functional>
#include <memory>

// The module that owns the tool's one database connection. Every part of the tool that needs
// a database names it, calls ConnectDatabase, and then works over DbConn(). Each call makes a
// fresh connection in place of the previous one, even for the same database.
namespace ODBC {

// Shows a failure to connect to the user, as a modal box with a title of its own. The window
// installs the real message box at start.
using MessageSink = std::function<void(const QString &prompt, const QString &title)>;
void setMessageSink(MessageSink sink);

// The engine that answers connection strings, chosen once at program start.
void setEngine(const db::EngineSettings &engine);
const db::EngineSettings &engine();

// The shared connection. A caller that finds none gets a new, unopened one put in its place.
std::shared_ptr<db::Connection> &DbConn();

// Opens a new DbConn on `dbName`. On failure shows the connection error box and returns false.
bool ConnectDatabase(const QString &dbName);

// A connection of its own, apart from DbConn, on `dbName`, for work outside the window (the
// check, undo). Raises db::DbError with the description the connection error box would show.
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
