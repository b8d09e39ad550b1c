#pragma once

#include "Engine.h"

#include <QSettings>
#include <QString>

#include <optional>

namespace db {

// The place a start is asked to use for its databases: a folder, SQL Server (`engine`), or the
// demo folder (`demo`); `given` is false when it is asked for none and takes the one chosen last.
struct PlaceAsked {
    EngineSettings engine;
    bool demo = false;
    bool given = false;
};

// The user's own settings file, settingsFile(): the place chosen last, and what the windows remember.
QSettings userSettings();

// The folder of the demo databases, beside the user's own data.
QString demoDataDirectory();

// Whether folder `dir` holds the system database (LQsystem.db), which makes it a data directory.
bool holdsSystemDatabase(const QString &dir);

// Whether `engine` is the embedded engine on the default data directory while that holds no system
// database: a first start, before any data was made there or chosen. The window then asks where the
// data is; a command says how to get some.
bool noDataYet(const EngineSettings &engine);

// Where a start's databases are: a folder of embedded databases, SQL Server over ODBC, or the
// demo folder. The place chosen in the first-start box is kept in the user's settings and used
// by every later start that names no place of its own: the windows and the commands alike, so
// repairs made there stay within reach.
class DataLocation {
public:
    enum Kind { Folder, SqlServer, Demo };

    explicit DataLocation(Kind kind, const QString &folder = QString());
    // SQL Server, reached as `access` says (remember() writes its server and login, never its password).
    static DataLocation sqlServer(const ServerAccess &access);

    // The place a start works on, and whether it came from the settings: the one the command
    // line names, else the one chosen last, else the default data directory.
    struct ForStart;
    static ForStart forStart(const PlaceAsked &asked);
    // The place `engine` works on: SQL Server, the demo folder (by its path, however the start
    // named it), or a folder.
    static DataLocation of(const EngineSettings &engine);

    Kind kind() const { return m_kind; }
    // The server and login of SQL Server; empty for the other places.
    const ServerAccess &access() const { return m_access; }
    EngineSettings engine() const;
    // The place as the user reads it: 文件夹 /home/li/帐套, SQL Server（ODBC）,
    // SQL Server 服务器 db01\N3（ODBC，登录名 sa）, 演示数据（/…/demo）.
    QString shown() const;
    // For a folder that is no longer there (moved, renamed, deleted since it was chosen), or a
    // server or login edited in the settings into a name the connection string can't hold: says
    // so; the caller adds what to do. Empty when the place can be used.
    QString goneProblem() const;

    // The place chosen last, if any; nothing when none was, or the settings name no place this
    // program knows.
    static std::optional<DataLocation> remembered();
    // Keeps this place for later starts; gives what went wrong, or nothing.
    QString remember() const;
    // The file the place is kept in: n3fix/n3fix.conf in the user's configuration folder
    // ($XDG_CONFIG_HOME, by default ~/.config).
    static QString settingsFile();

private:
    Kind m_kind;
    QString m_folder;
    ServerAccess m_access;
};

struct DataLocation::ForStart {
    DataLocation location;
    bool remembered = false;
};

}  // namespace db
