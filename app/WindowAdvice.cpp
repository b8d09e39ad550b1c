#include "WindowAdvice.h"

#include "GuideWindow.h"

db::AdviceWays windowAdviceWays()
{
    return {GuideWindow::MenuPath, QStringLiteral("用“选择数据位置”"),
            QStringLiteral("也可以在“选择数据位置”中改用 SQL Server 登录名"),
            QStringLiteral("例如在“修复日志”窗口中找到那次未记录结束的修复，撤销它")};
}
