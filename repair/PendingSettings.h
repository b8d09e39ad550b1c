#pragma once

#include "RepairRecord.h"

#include <QString>

// The memo of a database's own journal mode while an end-flag walk has it in the write-ahead
// log: one small file per database in the journal directory, written and synced before the walk
// switches the mode, and removed once a walk has put the mode back. A walk that leaves the file
// in its own mode (a few rows to write, or a file in the log already) writes none. A walk killed in between
// leaves the memo, and the next walk on that database reads it, and only it, to learn the mode
// the file must end in: a walk's start costs the same however many journals are kept.
namespace repair {

struct PendingSettings {
    QString journalMode;  // the database's own mode, as the walk that left it found it
    QString journal;      // the id of that walk's journal
};

// The memo left for `database` on `engine`; empty when there is none.
PendingSettings pendingSettings(const QString &directory, const QString &database, const QString &engine);
// Makes `walk` the memo's owner: writes the memo with the mode its journal records, its contents
// synced and put in place in one step. The journal's flush, which follows and syncs the folder,
// makes the memo's name durable with the journal's: the folder is synced once for both. Raises
// db::DbError when the memo can't be written; the walk must not start then.
void writePendingSettings(const QString &directory, const RepairRecord &walk);
// Marks the journal of the walk that left the memo before, if any, as settled: a newer walk's
// journal, now on disk, has taken its memo over.
void settleOlderJournal(const QString &directory, const PendingSettings &older, const QString &newer);
// `walk` has put the database's mode back: its memo goes, unless a later walk owns it now (or it
// wrote none: walk.settingsPending).
void settlePendingSettings(const QString &directory, const RepairRecord &walk);

}  // namespace repair
