#pragma once

#include "Journal.h"

#include <QList>
#include <QString>
#include <QVariantList>

namespace repair {

// A changed row that undo did not put back, and why.
struct LeftAlone {
    JournalRow row;       // as the undone repair journaled it
    QVariantList now;     // its values now (empty when the row is gone)
    QString reason;
};

struct UndoRun {
    QString undoes;       // the repair undone
    RepairRecord repair;  // its journal record, once read
    QString journal;      // the undo's own journal, once written
    int restored = 0;     // rows put back
    QList<LeftAlone> leftAlone;
    QString failure;      // why the undo could not run; nothing was changed then
    QString undoneBy;     // when refused because a completed undo already put the rows back: its id
};

// Puts back the old values of the rows repair `id` changed, each only where the row still holds
// the value the repair wrote; a row that holds its old value already (a walk that was stopped or
// killed before it) needs nothing. Rows changed since, gone, or not to be told apart from an
// identical row with other old values are left alone and listed. All of it happens in one
// transaction, journaled first like any repair, so an undo can itself be undone. A repair still
// running, or already undone, is refused: nothing changes and no journal is written.
UndoRun undoRepair(const QString &id);

} // namespace repair
