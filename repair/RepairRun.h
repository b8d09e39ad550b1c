#pragma once

#include "RepairRecord.h"

#include <QString>

namespace repair {

// How a repair or an undo run ended, for whoever started it.
enum class RunResult {
    NotChosen,  // no account set or year given: nothing was opened
    Completed,  // done: every row it was to write is written
    Stopped,    // a walk stopped by the user, keeping the rows it wrote before that
    Failed,     // it failed: a walk keeps the rows it wrote before that, the others changed nothing
};

// What every repair and every undo reports at its end, whatever its kind: each run's own result
// (BalanceResetRun, EndFlagRun, RecomputeRun, UndoRun) holds this part, which RepairText words
// alike for both front ends.
struct RepairRun {
    explicit RepairRun(RepairKind repairKind) : kind(repairKind) {}

    RepairKind kind;
    RunResult result = RunResult::NotChosen;
    QString journal;         // the id of its journal, once it was written
    QString failure;         // why it failed (Failed)
    QString unrecorded;      // why its journal could not record how it ended: it is listed as never ended
    QString triggerNotice;   // it wrote rows where triggers may have changed rows outside its journal
    qint64 rowsChanged = 0;  // rows whose value it changed (an undo: rows it put back)
};

}  // namespace repair
