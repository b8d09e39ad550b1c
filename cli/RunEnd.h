#pragma once

#include <QJsonObject>
#include <QString>

namespace repair {
struct RepairRun;
}

namespace cli {

// What every repair and every undo says at its end, the same for each kind: on standard error,
// after `where` (the place it is about, or nothing), an end its journal could not record, then
// that triggers may have changed rows outside its journal; into `json` the first as
// outcome_recorded false, and as error where the run completed (a failed run's error is why it
// failed), the second as trigger_notice.
// Returns the exit status they give: 2 for the unrecorded end (the run is listed as never
// ended), 1 for the triggers, else 0.
int sayRunEnd(const repair::RepairRun &run, const QString &where, QJsonObject &json);

}  // namespace cli
