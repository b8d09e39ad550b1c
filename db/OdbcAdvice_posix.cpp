#include "OdbcAdvice.h"

#include "AdviceWays.h"
#include "ConnectionString.h"

#include <QStringList>

namespace db {

namespace {

// The environment variables by which FreeTDS takes another server than the one named, as set.
QString freeTdsOverrides()
{
    QStringList set;
    for (const char *name : {"TDSHOST", "TDSPORT"})
        if (qEnvironmentVariableIsSet(name))
            set << QStringLiteral("%1=%2").arg(QLatin1String(name), qEnvironmentVariable(name));
    return set.isEmpty() ? QString()
                         : QStringLiteral("（环境变量 %1 已设置，FreeTDS 按它们连接）").arg(set.join(QStringLiteral("、")));
}

}  // namespace

std::vector<std::pair<const char *, QString>> odbcExplanations(const ServerAccess &access)
{
    const AdviceWays &ways = adviceWays();
    const QString noDriver = QStringLiteral("系统中没有登记名为“SQL Server”的 ODBC 驱动。请安装 FreeTDS（tdsodbc），"
                                            "并在 /etc/odbcinst.ini 中加入 [SQL Server] 一节")
                             + seeSetupGuide();
    // FreeTDS takes the local default server's name "(local)" for a host name it can't find.
    const QString unreachable =
        access.server.isEmpty()
            ? QStringLiteral("无法连接到服务器%1：FreeTDS 不认识本机服务器名“(local)”，请指定服务器%2，"
                             "例如 127.0.0.1（本机）、主机名\\实例名 或 主机名,端口%3")
                  .arg(freeTdsOverrides(), inParentheses(ways.serverChoice), seeSetupGuide())
            : QStringLiteral("无法连接到服务器%1：请确认服务器名和端口正确、SQL Server 正在运行并接受 TCP 连接、防火墙允许连接；"
                             "命名实例还需要服务器上的 SQL Server Browser 服务（UDP 1434）%2")
                  .arg(freeTdsOverrides(), seeSetupGuide());
    const QString loginRefused =
        access.login.isEmpty()
            ? QStringLiteral(
                  "SQL Server 拒绝了登录：Windows 身份验证需要当前用户的 Kerberos 票据（kinit），且该用户须有权访问此数据库")
                  + (ways.sqlLogin.isEmpty() ? QString() : QStringLiteral("；") + ways.sqlLogin)
            : QStringLiteral(
                  "SQL Server 拒绝了登录名 %1：请检查登录名和密码，确认服务器允许 SQL Server 身份验证，且该登录名有权访问此数据库")
                  .arg(access.login);
    return {
        // No driver registered under the name the connection string gives: unixODBC then tries to
        // load a library of that name; other driver managers say no data source has it
        {"Can't open lib 'SQL Server'", noDriver},
        {"Data source name not found", noDriver},
        {"Can't open lib", QStringLiteral("系统中登记的“SQL Server” ODBC 驱动无法加载。请检查 /etc/odbcinst.ini 中 [SQL Server] 一节"
                                          "的 Driver 路径")
                               + seeSetupGuide()},
        // FreeTDS: the server's refusal comes first; an unreachable server is known by FreeTDS's words.
        {"Login failed", loginRefused},
        {"Adaptive Server is unavailable or does not exist", unreachable},
        // something answered at the address, but not as SQL Server does
        {"Adaptive Server connection failed",
         QStringLiteral("服务器接受了连接，但没有完成 SQL Server 的连接握手%1：请确认这个地址和端口是 SQL Server 的，"
                        "且服务器允许从这台计算机连接%2")
             .arg(freeTdsOverrides(), seeSetupGuide())},
    };
}

QString serverOverridden(const ServerAccess &access)
{
    if (access.server.isEmpty() || freeTdsOverrides().isEmpty())
        return QString();
    return QStringLiteral("没有连接：FreeTDS 会按环境变量 TDSHOST、TDSPORT 连接，而不是这里给出的服务器 %1%2。"
                          "请先删去这两个变量（unset TDSHOST TDSPORT）再运行。")
        .arg(access.server, freeTdsOverrides());
}

}  // namespace db
