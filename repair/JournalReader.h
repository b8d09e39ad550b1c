#pragma once

#include "JournalHeaders.h"
#include "RepairRecord.h"

#include <QList>
#include <QString>

// Reading the journals of earlier repairs: for listings, the journal window and undo. Nothing here
// loads more rows than asked for. Reading settles a journal left with a hot rollback journal by a
// process killed while it recorded the outcome, so that repair stays listed and undoable.
namespace repair {

// Every repair in `directory`, newest first by the moment it began, each with whether it is still
// running and which undo, if any, has undone it. The headers come from the index beside the
// journals where it is current (JournalHeaders); what decides on an undo reads the journals alone.
QList<RepairRecord> listRepairs(const QString &directory, HeaderSource source = HeaderSource::Index);
// Whether `directory` holds the journal of repair `id`, as the readers below look for it.
bool holdsJournal(const QString &directory, const QString &id);
// One repair's record; raises db::DbError when there is no such journal or it can't be read.
RepairRecord readRepair(const QString &directory, const QString &id);
// The number of rows journaled for the repair.
qint64 countRows(const QString &directory, const QString &id);
// The same, once the journal's seal shows it is as the repair wrote it; raises db::DbError naming
// the journal file when it has been changed since, has no seal, or can't be read. What undoes a
// repair checks this before it writes anything.
qint64 checkJournal(const QString &directory, const QString &id);
// Rows [offset, offset+limit) in journal order, read without loading the rest: for a table model's
// fetchMore and for streaming output.
QList<JournalRow> readRows(const QString &directory, const QString &id, qint64 offset, int limit);

}  // namespace repair
