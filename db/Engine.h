#pragma once

#include <QString>

namespace db {

// Which engine answers the connection string.
//  Embedded: SQLite files in a data directory; SERVER=(local) stands for that directory
//            and DATABASE=X names the file X.db in it.
//  Odbc:     the connection string goes unchanged to the system's ODBC driver manager.
enum class EngineKind { Embedded, Odbc };

struct EngineSettings {
    EngineKind kind = EngineKind::Embedded;
    QString dataDirectory;
};

// The per-user folder that holds the embedded databases when no other is named.
QString defaultDataDirectory();

// How long a statement waits for another program's lock on an embedded database before
// it gives up and reports the lock.
constexpr int EmbeddedBusyTimeoutMs = 5000;

} // namespace db
