#include "OdbcAdvice.h"

namespace db {

// The words of Windows' driver manager and of its "SQL Server" driver (SQLSRV32), which comes with
// every Windows and logs on with the identity of the user who runs the program.
const std::vector<std::pair<const char *, const char *>> &odbcExplanations()
{
    static const std::vector<std::pair<const char *, const char *>> explanations = {
        {"Data source name not found", "系统中没有名为“SQL Server”的 ODBC 驱动（Windows 自带此驱动）。请在"
                                       "“ODBC 数据源管理程序”的“驱动程序”页中查看（见程序旁的“使用说明.txt”）"},
        {"SQL Server does not exist or access denied", "无法连接到本机的 SQL Server：请确认 SQL Server 服务"
                                                       "（MSSQLSERVER）正在运行"},
        // the database named in the string is missing, or this user may not open it; the driver
        // adds "Login failed" after it
        {"Cannot open database", "SQL Server 上没有这个数据库，或者当前 Windows 用户无权打开它"},
        {"Login failed", "SQL Server 拒绝了登录：当前 Windows 用户须是 SQL Server 的登录名，且有权访问此数据库"},
    };
    return explanations;
}

QString odbcSetupGuide()
{
    return QStringLiteral("程序旁的“使用说明.txt”");
}

} // namespace db
