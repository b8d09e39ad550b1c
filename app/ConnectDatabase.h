#pragma once

#include <QString>

namespace db {
class DbError;
}

namespace app {

// The main window's connection routine for its start-up and its fiscal-year list: opens the
// shared connection ODBC::DbConn() anew on `dbName` and gives true, or shows the connection error
// box and gives false.
bool ConnectDatabase(const QString &dbName);

// The main window's connection error box: `dbName` could not be opened, for the reason `error`
// gives. Also shown when a repair's database can't be opened, before the repair's own outcome.
void showConnectionError(const QString &dbName, const db::DbError &error);

}  // namespace app
