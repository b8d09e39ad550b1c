#include "OdbcAdvice.h"

namespace db {

// The words of Windows' driver manager and of its "SQL Server" driver (SQLSRV32), which comes with
// every Windows and logs on with the identity of the user who runs the program.
std::vector<std::pair<const char *, QString>> odbcExplanations()
{
    return {
        {"Data source name not found", QStringLiteral("系统中没有名为“SQL Server”的 ODBC 驱动（Windows 自带此驱动）。请在"
                                                      "“ODBC 数据源管理程序”的“驱动程序”页中查看（见 %1）")
                                           .arg(odbcSetupGuide())},
        {"SQL Server does not exist or access denied", QStringLiteral("无法连接到本机的 SQL Server：请确认 SQL Server 服务"
                                                                      "（MSSQLSERVER）正在运行")},
        // the database named in the string is missing, or this user may not open it; the driver
        // adds "Login failed" after it
        {"Cannot open database", QStringLiteral("SQL Server 上没有这个数据库，或者当前 Windows 用户无权打开它")},
        {"Login failed", QStringLiteral("SQL Server 拒绝了登录：当前 Windows 用户须是 SQL Server 的登录名，且有权访问此数据库")},
    };
}

QString defaultOdbcSetupGuide()
{
    return QStringLiteral("n3fix --guide 打开的使用说明");
}

} // namespace db
