#pragma once

#include <QString>

#include <utility>
#include <vector>

// What the user is told about the way to SQL Server, which differs with the system: on Linux it is
// FreeTDS registered as "SQL Server" under unixODBC, with a Kerberos ticket for Windows
// authentication; on Windows it is the system's own "SQL Server" driver and the user's logon.
namespace db {

// Faults that the driver manager or the "SQL Server" driver reports, each known by words of its
// text, with the Chinese explanation of what the user can do about it; the first match counts.
const std::vector<std::pair<const char *, const char *>> &odbcExplanations();

// Where the user reads how to set up the connection: "man n3fix", or the guide beside the program.
QString odbcSetupGuide();

} // namespace db
