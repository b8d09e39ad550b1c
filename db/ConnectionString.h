#pragma once

#include "Engine.h"

#include <QString>

namespace db {

// The workstation name the tool announces to the server.
inline constexpr char WorkstationName[] = "N3FIX";

// The server the connection string names when none is given: the local default instance.
inline constexpr char LocalServer[] = "(local)";

// The connection string that opens database `dbName`: by default on the local default server with
// the Windows identity of the user. `access` changes only the server, and for a SQL Server login
// the authentication (Trusted_Connection=No;UID=...;PWD=...). The database name stands bare, as
// the server expects it.
QString buildConnectionString(const QString &dbName, const ServerAccess &access = {});

// Whether `server` names the local default instance: no name, or "(local)" in any case.
bool isLocalServer(const QString &server);
// The server as the user reads it: the name given, or (local).
QString serverShown(const QString &server);
// A database on a server, as every message about a connection names it:
// SQL Server 服务器 db01\N3 上的数据库 LQsystem.
QString serverAndDatabase(const QString &server, const QString &database);
// The question that asks for the password of `access`'s login.
QString passwordQuestion(const ServerAccess &access);

// Why `server` can't be named in a connection string (an empty name, spaces at either end, a
// character that would end the attribute or start another, a port that is not one), or an empty
// string when it can: host, host\instance or host,port.
QString serverNameFault(const QString &server);
// The same for a SQL Server login name, and for its password.
QString loginNameFault(const QString &login);
QString passwordFault(const QString &password);

// The value of attribute `key` (compared without regard to case) in a "KEY=value;KEY=value"
// connection string, or a null string when the attribute is absent.
QString connectionAttribute(const QString &connectionString, const QString &key);

}  // namespace db
