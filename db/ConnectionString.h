#pragma once

#include <QString>

namespace db {

// The workstation name the tool announces to the server.
inline constexpr char WorkstationName[] = "N3FIX";

// The connection string that opens database `dbName` on the local default server with the
// Windows identity of the user. The name stands bare, as the server expects it.
QString buildConnectionString(const QString &dbName);

// The value of attribute `key` (compared without regard to case) in a "KEY=value;KEY=value"
// connection string, or a null string when the attribute is absent.
QString connectionAttribute(const QString &connectionString, const QString &key);

} // namespace db
