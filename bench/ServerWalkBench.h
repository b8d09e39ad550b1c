#pragma once

#include <QString>

// The end-flag walk on the server's path against the plain ODBC walk of the same chart, both as
// whole `n3fix --odbc --repair-end-flags` processes over unixODBC and Debian's SQLite ODBC driver,
// the server's path with the tests' shim preloaded that makes the driver answer as SQL Server.
// Data in a new folder under `root`; prints one table.
void serverWalkRows(const QString &placeName, const QString &root);
