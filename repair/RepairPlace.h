#pragma once

#include <QString>

// Where a repair was made, read from the engine name its journal records (RepairRecord::engine:
// "embedded", "odbc" for the local default SQL Server, "odbc:" and the server's name for another),
// and the words and the command-line option that reach it again.
namespace repair::RepairPlace {

// Whether it was made through ODBC, on any server.
bool madeOverOdbc(const QString &engine);
// The server it was made on; empty for the embedded engine and the local default server.
QString server(const QString &engine);
// As the user reads it: 在内置数据库上, 通过 ODBC 在本机的 SQL Server 上, 在 SQL Server 服务器 db01 上.
QString madeOn(const QString &engine);
// The option that works there: --data-dir with the default data directory (the only folder whose
// journal the other engines share), --odbc, or --server with the name, quoted where a shell would
// take a character of it for its own ("db01\N3").
QString option(const QString &engine);
// The option for a server name as typed: --odbc for the local default server.
QString serverOption(const QString &server);

}  // namespace repair::RepairPlace
