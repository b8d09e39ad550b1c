#pragma once

#include <QString>

namespace db {

// Which engine answers the connection string.
//  Embedded: SQLite files in a data directory; SERVER=(local) stands for that directory
//            and DATABASE=X names the file X.db in it.
//  Odbc:     the connection string goes unchanged to the system's ODBC driver manager.
enum class EngineKind { Embedded, Odbc };

// How SQL Server is reached: which server, and with whose identity. No server is the local
// default instance; no login is Windows authentication of the user who runs the tool.
struct ServerAccess {
    QString server;    // host, host\instance or host,port
    QString login;     // a SQL Server login
    QString password;  // the login's password, only ever held in memory
};

struct EngineSettings {
    EngineSettings() = default;
    EngineSettings(EngineKind engineKind, const QString &directory, const ServerAccess &serverAccess = {})
        : kind(engineKind), dataDirectory(directory), access(serverAccess)
    {
    }

    EngineKind kind = EngineKind::Embedded;
    QString dataDirectory;
    ServerAccess access;  // for EngineKind::Odbc
};

// The per-user folder that holds the embedded databases when no other is named.
QString defaultDataDirectory();

// How long a statement waits for another program's lock on an embedded database before
// it gives up and reports the lock.
constexpr int EmbeddedBusyTimeoutMs = 5000;

}  // namespace db
