#pragma once

#include "RepairRecord.h"

#include <QString>

// The memo of a database's own journal mode while an end-flag walk has it in the write-ahead
// log: one small file per database in the journal directory, written and synced before the walk
// switches the mode, and removed once a walk has put the mode back. A walk killed in between
// leaves the memo, and the next walk on that database reads it, and only it, to learn the mode
// the file must end in: a walk's start costs the same however many journals are kept.
namespace repair {

struct PendingSettings {
    QString journalMode;  // the database's own mode, as the walk that left it found it
    QString journal;      // the id of that walk's journal
};

// The memo left for `database` on `engine`; empty when there is none.
PendingSettings pendingSettings(const QString &directory, const QString &database, const QString &engine);
// Makes `walk` (its journal flushed) the memo's owner, durably: the mode to restore is the one its
// journal records. The journal of the walk that left the memo before, if any, is marked settled.
// Raises db::DbError when the memo can't be written; the walk must not start then.
void takeOverPendingSettings(const QString &directory, const PendingSettings &older, const RepairRecord &walk);
// `walk` has put the database's mode back: its memo goes, unless a later walk owns it now.
void settlePendingSettings(const QString &directory, const RepairRecord &walk);

} // namespace repair
