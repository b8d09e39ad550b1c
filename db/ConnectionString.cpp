#include "ConnectionString.h"

#include <QRegularExpression>
#include <QStringList>

namespace db {

namespace {

// An attribute's value as the driver reads it back whole: bare when it holds nothing that ends or
// opens a value, else in braces with every closing brace doubled.
QString attributeValue(const QString &value)
{
    static const QRegularExpression special(QStringLiteral("[;{}=]|^\\s|\\s$"));
    if (!value.contains(special))
        return value;
    QString braced = value;
    return QLatin1Char('{') + braced.replace(QLatin1Char('}'), QStringLiteral("}}")) + QLatin1Char('}');
}

}  // namespace

QString buildConnectionString(const QString &dbName, const ServerAccess &access)
{
    const QString authentication = access.login.isEmpty()
                                       ? QStringLiteral(";Trusted_Connection=Yes")
                                       : QStringLiteral(";Trusted_Connection=No;UID=") + attributeValue(access.login)
                                             + QStringLiteral(";PWD=") + attributeValue(access.password)
                                             + QLatin1Char(';');  // FreeTDS ends a braced value only at "};"
    return QStringLiteral("DRIVER=SQL Server;SERVER=") + serverShown(access.server)
           + QStringLiteral(";APP=Microsoft(R) Windows (R) 2000 Operating System;WSID=") + QLatin1String(WorkstationName)
           + QStringLiteral(";DATABASE=") + dbName + authentication;
}

bool isLocalServer(const QString &server)
{
    return server.isEmpty() || server.compare(QLatin1String(LocalServer), Qt::CaseInsensitive) == 0;
}

QString serverShown(const QString &server)
{
    return server.isEmpty() ? QLatin1String(LocalServer) : server;
}

QString serverAndDatabase(const QString &server, const QString &database)
{
    return QStringLiteral("SQL Server 服务器 %1 上的数据库 %2").arg(serverShown(server), database);
}

QString passwordQuestion(const ServerAccess &access)
{
    return QStringLiteral("SQL Server 服务器 %1 登录名 %2 的密码：").arg(serverShown(access.server), access.login);
}

QString serverNameFault(const QString &server)
{
    const QString forms =
        QStringLiteral("服务器名可写成 主机名、主机名\\实例名 或 主机名,端口（例如 db01、db01\\N3、10.0.0.5,1433）。");
    if (server.trimmed().isEmpty())
        return QStringLiteral("没有给出服务器名。") + forms;
    if (server.trimmed() != server)
        return QStringLiteral("服务器名“%1”的开头或末尾有空格。").arg(server) + forms;
    static const QRegularExpression unfit(QStringLiteral("[;{}=\\s\"'\\x00-\\x1f]"));
    const QRegularExpressionMatch bad = unfit.match(server);
    if (bad.hasMatch())
        return QStringLiteral("服务器名“%1”中不能有“%2”。")
                   .arg(server, bad.captured().trimmed().isEmpty() ? QStringLiteral("空白") : bad.captured())
               + forms;
    static const QRegularExpression shape(QStringLiteral("^([^\\\\,]+)(\\\\[^\\\\,]+|,([0-9]{1,5}))?$"));
    const QRegularExpressionMatch parts = shape.match(server);
    if (!parts.hasMatch() || (parts.hasCaptured(3) && (parts.captured(3).toInt() < 1 || parts.captured(3).toInt() > 65535)))
        return QStringLiteral("无法识别服务器名“%1”。").arg(server) + forms;
    return QString();
}

QString loginNameFault(const QString &login)
{
    if (login.trimmed().isEmpty())
        return QStringLiteral("没有给出 SQL Server 登录名。");
    static const QRegularExpression control(QStringLiteral("[\\x00-\\x1f]"));
    if (login.contains(control))
        return QStringLiteral("SQL Server 登录名中不能有控制字符。");
    return passwordFault(login).isEmpty() ? QString() : QStringLiteral("SQL Server 登录名中不能有“}”。");
}

QString passwordFault(const QString &password)
{
    // a closing brace can't be passed whole: FreeTDS reads "}}" as two of them
    if (password.contains(QLatin1Char('}')))
        return QStringLiteral("密码中有“}”，连接字符串无法把它原样交给驱动。请改用不含“}”的密码。");
    return QString();
}

QString connectionAttribute(const QString &connectionString, const QString &key)
{
    const QStringList parts = connectionString.split(QLatin1Char(';'));
    for (const QString &part : parts) {
        const qsizetype eq = part.indexOf(QLatin1Char('='));
        if (eq < 0)
            continue;
        if (part.left(eq).trimmed().compare(key, Qt::CaseInsensitive) == 0)
            return part.mid(eq + 1);
    }
    return QString();
}

}  // namespace db
