#include "DataLocation.h"

#include "ConnectionString.h"
#include "ODBC.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace db {

namespace {

// The settings: [data] location=folder|sqlserver|demo; for a folder, folder=its path; for SQL
// Server, server=its name and login=the SQL Server login, each left out for the local default
// server and Windows authentication. A password is never kept.
const QString LocationKey = QStringLiteral("data/location");
const QString FolderKey = QStringLiteral("data/folder");
const QString ServerKey = QStringLiteral("data/server");
const QString LoginKey = QStringLiteral("data/login");

// The name a kind of place is kept under in the settings.
QString kindName(DataLocation::Kind kind)
{
    switch (kind) {
    case DataLocation::Folder:
        return QStringLiteral("folder");
    case DataLocation::SqlServer:
        return QStringLiteral("sqlserver");
    case DataLocation::Demo:
        return QStringLiteral("demo");
    }
    return QString();
}

// The folder kept in the settings. A relative path, as someone may write by hand, is taken from
// the settings file's own folder, never from wherever the program was started; where the settings
// are not a file (the registry on Windows) it is refused, and the place is asked for again.
QString rememberedFolder(const QSettings &settings)
{
    QString folder = settings.value(FolderKey).toString();
    if (folder.isEmpty() || !QDir::isRelativePath(folder))
        return folder;
    const QFileInfo file(settings.fileName());
    if (!file.isAbsolute() || !file.isFile())
        return QString();
    return QDir::cleanPath(file.absoluteDir().filePath(folder));
}

// Whether two paths name one folder: the same path once cleaned, or, where both exist, the same
// folder after links are followed.
bool sameFolder(const QString &a, const QString &b)
{
    if (QDir::cleanPath(QFileInfo(a).absoluteFilePath()) == QDir::cleanPath(QFileInfo(b).absoluteFilePath()))
        return true;
    const QString canonical = QFileInfo(a).canonicalFilePath();
    return !canonical.isEmpty() && canonical == QFileInfo(b).canonicalFilePath();
}

}  // namespace

// Named here rather than through the application's organisation, which would also move the
// default data directory.
QSettings userSettings()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("n3fix"), QStringLiteral("n3fix"));
}

DataLocation::DataLocation(Kind kind, const QString &folder) : m_kind(kind), m_folder(kind == Folder ? folder : QString()) {}

DataLocation DataLocation::sqlServer(const ServerAccess &access)
{
    DataLocation location(SqlServer);
    location.m_access = access;
    return location;
}

QString demoDataDirectory()
{
    return QDir(defaultDataDirectory()).filePath(QStringLiteral("demo"));
}

bool holdsSystemDatabase(const QString &dir)
{
    return QFileInfo(QDir(dir).filePath(ODBC::SystemDatabase + QStringLiteral(".db"))).isFile();
}

bool noDataYet(const EngineSettings &engine)
{
    return engine.kind == EngineKind::Embedded && engine.dataDirectory == defaultDataDirectory()
           && !holdsSystemDatabase(engine.dataDirectory);
}

DataLocation::ForStart DataLocation::forStart(const PlaceAsked &asked)
{
    if (asked.given) {
        if (asked.engine.kind == EngineKind::Odbc)
            return {sqlServer(asked.engine.access), false};
        return {DataLocation(asked.demo ? Demo : Folder, asked.engine.dataDirectory), false};
    }
    if (const std::optional<DataLocation> chosen = remembered())
        return {*chosen, true};
    return {DataLocation(Folder, defaultDataDirectory()), false};
}

DataLocation DataLocation::of(const EngineSettings &engine)
{
    if (engine.kind == EngineKind::Odbc)
        return sqlServer(engine.access);
    if (sameFolder(engine.dataDirectory, demoDataDirectory()))
        return DataLocation(Demo);
    return DataLocation(Folder, engine.dataDirectory);
}

EngineSettings DataLocation::engine() const
{
    switch (m_kind) {
    case SqlServer:
        return {EngineKind::Odbc, defaultDataDirectory(), m_access};  // its journal is kept there
    case Demo:
        return {EngineKind::Embedded, demoDataDirectory()};
    case Folder:
        break;
    }
    return {EngineKind::Embedded, m_folder};
}

QString DataLocation::shown() const
{
    switch (m_kind) {
    case SqlServer: {
        QStringList how{QStringLiteral("ODBC")};
        if (!m_access.login.isEmpty())
            how << QStringLiteral("登录名 %1").arg(m_access.login);
        const QString joined = how.join(QStringLiteral("，"));
        return m_access.server.isEmpty() ? QStringLiteral("SQL Server（%1）").arg(joined)
                                         : QStringLiteral("SQL Server 服务器 %1（%2）").arg(m_access.server, joined);
    }
    case Demo:
        return QStringLiteral("演示数据（%1）").arg(QDir::toNativeSeparators(demoDataDirectory()));
    case Folder:
        break;
    }
    return QStringLiteral("文件夹 %1").arg(QDir::toNativeSeparators(m_folder));
}

QString DataLocation::goneProblem() const
{
    if (m_kind == SqlServer) {
        QString fault = m_access.server.isEmpty() ? QString() : serverNameFault(m_access.server);
        if (fault.isEmpty() && !m_access.login.isEmpty())
            fault = loginNameFault(m_access.login);
        return fault.isEmpty() ? QString()
                               : QStringLiteral("设置文件 %1 中记下的 SQL Server 不能使用：%2")
                                     .arg(QDir::toNativeSeparators(settingsFile()), fault);
    }
    if (m_kind != Folder || QFileInfo(m_folder).isDir())
        return QString();
    return QStringLiteral("上次选择的数据文件夹 %1 已不存在（可能已被移动、改名或删除）。").arg(QDir::toNativeSeparators(m_folder));
}

std::optional<DataLocation> DataLocation::remembered()
{
    const QSettings settings = userSettings();
    const QString name = settings.value(LocationKey).toString();
    for (const Kind kind : {Folder, SqlServer, Demo}) {
        if (name != kindName(kind))
            continue;
        if (kind == SqlServer) {
            // a name edited by hand into one the connection string can't hold is told by goneProblem()
            ServerAccess access{settings.value(ServerKey).toString(), settings.value(LoginKey).toString(), QString()};
            if (isLocalServer(access.server))
                access.server.clear();
            return sqlServer(access);
        }
        const QString folder = rememberedFolder(settings);
        if (kind == Folder && folder.isEmpty())
            return std::nullopt;
        return DataLocation(kind, folder);
    }
    return std::nullopt;
}

QString DataLocation::remember() const
{
    QSettings settings = userSettings();
    settings.setValue(LocationKey, kindName(m_kind));
    if (m_kind == Folder)
        settings.setValue(FolderKey, QFileInfo(m_folder).absoluteFilePath());
    else
        settings.remove(FolderKey);
    for (const auto &[key, value] : {std::pair(ServerKey, m_access.server), std::pair(LoginKey, m_access.login)}) {
        if (value.isEmpty())
            settings.remove(key);
        else
            settings.setValue(key, value);
    }
    settings.sync();
    if (settings.status() == QSettings::NoError)
        return QString();
    return QStringLiteral("无法把所选的数据位置写入设置文件 %1，下次启动时还会询问。请检查这个文件和它所在的文件夹是否可写。")
        .arg(QDir::toNativeSeparators(settings.fileName()));
}

QString DataLocation::settingsFile()
{
    return userSettings().fileName();
}

}  // namespace db
