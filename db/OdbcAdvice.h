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
// can do about it; the first match counts. An explanation that sends the user to read how to set
// up the connection names odbcSetupGuide().
std::vector<std::pair<const char *, QString>> odbcExplanations(const ServerAccess &access);

// Why the driver would reach another server than the one `access` names, or nothing: on Linux,
// FreeTDS's environment variables TDSHOST and TDSPORT take the place of the server the string
// names, so a repair would be journaled on one server and made on another.
QString serverOverridden(const ServerAccess &access);

// Where the user reads how to set up the connection. A front end that names it in words of its own
// (the windows, by their menu) sets them once, before any connection is made, for the whole
// process; until then it is defaultOdbcSetupGuide().
QString odbcSetupGuide();
void setOdbcSetupGuide(const QString &where);
// Where a terminal's user reads it: on Linux the manual page, on Windows, which has none, the
// guide window that n3fix --guide opens.
QString defaultOdbcSetupGuide();

}  // namespace db
