#include "CommandStart.h"

#include "Commands.h"
#include "Output.h"

#include "db/DataLocation.h"
#include "db/ODBC.h"
#include "demo/DemoData.h"

#include <QJsonObject>

namespace cli {

using db::DataLocation;

int startCommand(const StartOptions &options)
{
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
    ODBC::setEngine(location.engine());
    return run(options.request);
}

int refuseStart(const QString &reason, bool json)
{
    Output::error(reason);
    Output(json).document(QJsonObject{{QStringLiteral("error"), reason}});
    return 2;
}

}  // namespace cli
