#include "OdbcAdvice.h"

#include "AdviceWays.h"
#include "ConnectionString.h"

namespace db {

// The words of Windows' driver manager and of its "SQL Server" driver (SQLSRV32), which comes with
// every Windows and logs on with the identity of the user who runs the program, or with a SQL
// Server login.
std::vector<std::pair<const char *, QString>> odbcExplanations(const ServerAccess &access)
{
    const AdviceWays &ways = adviceWays();
    const QString unreachable =
        access.server.isEmpty()
            ? QStringLiteral("无法连接到本机的 SQL Server：请确认 SQL Server 服务（MSSQLSERVER）正在运行；服务器在另一台计算机上时，"
                             "请指定服务器")
                  + inParentheses(ways.serverChoice)
            : QStringLiteral("无法连接到服务器：请确认服务器名和端口正确、SQL Server 正在运行并接受 TCP 连接、防火墙允许连接；"
                             "命名实例还需要服务器上的 SQL Server Browser 服务");
    const QString loginRefused =
        access.login.isEmpty()
            ? QStringLiteral("SQL Server 拒绝了登录：当前 Windows 用户须是 SQL Server 的登录名，且有权访问此数据库")
                  + (ways.sqlLogin.isEmpty() ? QString() : QStringLiteral("；") + ways.sqlLogin)
            : QStringLiteral(
                  "SQL Server 拒绝了登录名 %1：请检查登录名和密码，确认服务器允许 SQL Server 身份验证，且该登录名有权访问此数据库")
                  .arg(access.login);
    return {
        {"Data source name not found", QStringLiteral("系统中没有名为“SQL Server”的 ODBC 驱动（Windows 自带此驱动）。请在"
                                                      "“ODBC 数据源管理程序”的“驱动程序”页中查看")
                                           + seeSetupGuide()},
        {"SQL Server does not exist or access denied", unreachable},
        // the database named in the string is missing, or this login may not open it; the driver
        // adds "Login failed" after it
        {"Cannot open database", access.login.isEmpty()
                                     ? QStringLiteral("SQL Server 上没有这个数据库，或者当前 Windows 用户无权打开它")
                                     : QStringLiteral("SQL Server 上没有这个数据库，或者登录名 %1 无权打开它").arg(access.login)},
        {"Login failed", loginRefused},
    };
}

QString serverOverridden(const ServerAccess &)
{
    return QString();
}

}  // namespace db
