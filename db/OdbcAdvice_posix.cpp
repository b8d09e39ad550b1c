#include "OdbcAdvice.h"

namespace db {

std::vector<std::pair<const char *, QString>> odbcExplanations()
{
    const QString noDriver = QStringLiteral("系统中没有登记名为“SQL Server”的 ODBC 驱动。请安装 FreeTDS（tdsodbc），"
                                            "并在 /etc/odbcinst.ini 中加入 [SQL Server] 一节（见 %1）")
                                 .arg(odbcSetupGuide());
    return {
        // No driver registered under the name the connection string gives: unixODBC then tries to
        // load a library of that name; other driver managers say no data source has it
        {"Can't open lib 'SQL Server'", noDriver},
        {"Data source name not found", noDriver},
        {"Can't open lib", QStringLiteral("系统中登记的“SQL Server” ODBC 驱动无法加载。请检查 /etc/odbcinst.ini 中 [SQL Server] 一节"
                                          "的 Driver 路径（见 %1）")
                               .arg(odbcSetupGuide())},
        // FreeTDS. Qt ends every failed ODBC connection with "Unable to connect", so the server's
        // refusal comes first and an unreachable server is known by FreeTDS's own words.
        {"Login failed", QStringLiteral("SQL Server 拒绝了登录：Windows 身份验证需要当前用户的 Kerberos 票据（kinit），"
                                        "且该用户须有权访问此数据库")},
        // FreeTDS takes SERVER=(local) for a host name; TDSHOST and TDSPORT name the server instead.
        {"Adaptive Server is unavailable or does not exist",
         QStringLiteral("无法连接到 SQL Server：请确认服务器正在本机运行并接受 TCP 连接，并设置环境变量 "
                        "TDSHOST 和 TDSPORT（FreeTDS 不认识服务器名“(local)”，见 %1）")
             .arg(odbcSetupGuide())},
    };
}

QString defaultOdbcSetupGuide()
{
    return QStringLiteral("man n3fix");
}

} // namespace db
