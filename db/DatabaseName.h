#pragma once

#include <QString>

namespace db {

// A database name the tool may send: letters, digits and '_' only. Such a name can neither
// leave the data directory as a file name nor add or change attributes of a connection
// string. Returns an empty string for a well-formed name, else a description of the fault.
QString databaseNameFault(const QString &name);

}  // namespace db
