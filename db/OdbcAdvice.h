#pragma once

#include "Engine.h"

#include <QString>

#include <utility>
#include <vector>

// What the user is told about the way to SQL Server, which differs with the system: on Linux it is
// FreeTDS registered as "SQL Server" under unixODBC, with a Kerberos ticket for Windows
// authentication; on Windows it is the system's own "SQL Server" driver and the user's logon.
namespace db {

// Faults that the driver manager or the "SQL Server" driver reports when a connection through
// `access` fails, each known by words of its text, with the Chinese explanation of what the user
// can do about it, in the front end's ways (AdviceWays); the first match counts.
std::vector<std::pair<const char *, QString>> odbcExplanations(const ServerAccess &access);

// Why the driver would reach another server than the one `access` names, or nothing: on Linux,
// FreeTDS's environment variables TDSHOST and TDSPORT take the place of the server the string
// names, so a repair would be journaled on one server and made on another.
QString serverOverridden(const ServerAccess &access);

// Where the front end in use sends its user to read how to set up the connection, as an
// explanation ends with it: "（见 man n3fix）"; nothing where it names no guide.
QString seeSetupGuide();

}  // namespace db
