#pragma once

#include "Journal.h"  // undo is addressed by a journal of journalDirectory()
#include "RepairRecord.h"

#include <QList>
#include <QString>
#include <QVariantList>

namespace repair {

// A changed row that undo did not put back, and why.
struct LeftAlone {
    JournalRow row;       // as the undone repair journaled it
    QVariantList now;     // its values now (empty when the row is gone)
    QString kind;         // "gone", "changed" or "ambiguous", for machines
    QString reason;       // the same for the user
};

struct UndoRun {
    QString undoes;       // the repair undone
    RepairRecord repair;  // its journal record, once read
    QString journal;      // the undo's own journal, once written
    int restored = 0;     // rows put back
    QList<LeftAlone> leftAlone;
    QString failure;      // why the undo could not run; nothing was changed then
    QString undoneBy;     // when refused because a completed undo already put the rows back: its id
    QString unrecorded;   // the rows were put back, but the undo's journal could not record its end
};

// Puts back the old values of the rows repair `id` changed. A row is restored only when it is still
// the very row the repair changed: found by its rowid (or primary key) and its journaled key
// values, and holding the value the repair wrote, as the engine compares values. A row that holds
// its old value already (a walk stopped or killed before it) needs nothing. Rows gone, changed
// since, or not to be told apart from an identical row with other old values are left alone and
// listed. All of it happens in one transaction, journaled first like any repair (the rows it
// restores and nothing else), so an undo can itself be undone. A repair still running, or already
// undone, is refused: nothing changes and no journal is written.
UndoRun undoRepair(const QString &id);

} // namespace repair
