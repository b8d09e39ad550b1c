#include "CommandStart.h"

#include "DataLocation.h"
#include "FirstStart.h"

#include "cli/Commands.h"
#include "cli/Output.h"
#include "db/ODBC.h"

#include <QJsonObject>

int startCommand(const StartOptions &options)
{
    const DataLocation::ForStart start = DataLocation::forStart(options);
    const DataLocation &location = start.location;
    if (start.remembered)
        cli::Output::error(QStringLiteral("使用上次选择的数据位置：%1").arg(location.shown()));
    QString problem = location.goneProblem();
    if (!problem.isEmpty())
        problem += QStringLiteral("可用 n3fix --choose-data 重新选择，或加 --data-dir 目录、--odbc 或 --demo 指定这次使用的数据。");
    else if (location.kind() == DataLocation::Demo)
        problem = FirstStart::prepareDemoData(location.engine().dataDirectory);
    if (!problem.isEmpty())
        return refuseStart(problem, options.request.json);
    ODBC::setEngine(location.engine());
    return cli::run(options.request);
}

int refuseStart(const QString &reason, bool json)
{
    cli::Output::error(reason);
    cli::Output(json).document(QJsonObject{{QStringLiteral("error"), reason}});
    return 2;
}
