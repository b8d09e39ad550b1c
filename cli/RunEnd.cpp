#include "RunEnd.h"

#include "Output.h"

#include "repair/RepairRun.h"
#include "repair/RepairText.h"

#include <algorithm>

namespace cli {

int sayRunEnd(const repair::RepairRun &run, const QString &where, QJsonObject &json)
{
    int status = 0;
    if (!run.unrecorded.isEmpty()) {
        status = 2;
        json.insert(QStringLiteral("outcome_recorded"), false);
        if (run.result == repair::RunResult::Completed)
            json.insert(QStringLiteral("error"), run.unrecorded);
        Output::error(where + repair::RepairText::endUnrecorded(run));
    }
    if (!run.triggerNotice.isEmpty()) {
        status = std::max(status, 1);
        json.insert(QStringLiteral("trigger_notice"), run.triggerNotice);
        Output::error(where + run.triggerNotice);
    }
    return status;
}

}  // namespace cli
