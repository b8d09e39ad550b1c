#pragma once

#include "RepairRecord.h"

#include <QList>
#include <QString>

// Reading the journals of earlier repairs: for listings, the journal window and undo.
namespace repair {

// Every repair in `directory`, newest first.
QList<RepairRecord> listRepairs(const QString &directory);
// One repair and its rows; raises db::DbError when there is no such journal.
RepairRecord readRepair(const QString &directory, const QString &id);
QList<JournalRow> readRows(const QString &directory, const QString &id);
// How many rows repair `id` journaled.
qint64 countRows(const QString &directory, const QString &id);
// Rows [offset, offset+limit) in journal order, read without loading the rest.
QList<JournalRow> readRows(const QString &directory, const QString &id, qint64 offset, int limit);

} // namespace repair
