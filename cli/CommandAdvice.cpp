#include "CommandAdvice.h"

namespace cli {

db::AdviceWays commandAdviceWays()
{
    return {setupGuide(), QStringLiteral("用 --server"), QStringLiteral("也可以用 --sql-login 改用 SQL Server 登录名"),
            QStringLiteral("例如用 n3fix --journal 找到那次未记录结束的修复，再 n3fix --undo 它的编号")};
}

}  // namespace cli
