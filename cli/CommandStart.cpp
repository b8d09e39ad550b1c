#include "CommandStart.h"

#include "CommandAdvice.h"
#include "Commands.h"
#include "Console.h"
#include "Output.h"

#include "db/ConnectionString.h"
#include "db/DataLocation.h"
#include "db/ODBC.h"
#include "demo/DemoData.h"

#include <QJsonObject>

namespace cli {

using db::DataLocation;

int startCommand(const StartOptions &options)
{
    db::setAdviceWays(commandAdviceWays());
    const DataLocation::ForStart start = DataLocation::forStart(options.place);
    const DataLocation &location = start.location;
    if (start.remembered)
        Output::error(QStringLiteral("使用上次选择的数据位置：%1").arg(location.shown()));
    // Only a place chosen earlier can be gone: the default data directory not there yet is a first
    // start, which the command itself answers with the ways to get data.
    QString problem = start.remembered ? location.goneProblem() : QString();
    if (!problem.isEmpty())
        problem += QStringLiteral("可用 n3fix --choose-data 重新选择，或加 --data-dir 目录、--odbc 或 --demo 指定这次使用的数据。");
    else if (location.kind() == DataLocation::Demo)
        problem = prepareDemoData(location.engine().dataDirectory);
    if (!problem.isEmpty())
        return refuseStart(problem, options.request.json);
    db::EngineSettings engine = location.engine();
    // The journal is read without the server; every other command connects to it.
    if (!engine.access.login.isEmpty() && options.request.command != Command::Journal) {
        const std::optional<QString> password = console::readSecret(db::passwordQuestion(engine.access));
        if (!password)
            return refuseStart(QStringLiteral("没有得到 SQL Server 登录名 %1 的密码：请在终端中输入，或从标准输入的第一行给出。")
                                   .arg(engine.access.login),
                               options.request.json);
        engine.access.password = *password;
    }
    ODBC::setEngine(engine);
    return run(options.request);
}

int refuseStart(const QString &reason, bool json)
{
    Output::error(reason);
    Output(json).document(QJsonObject{{QStringLiteral("error"), reason}});
    return 2;
}

}  // namespace cli
