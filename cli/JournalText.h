#pragma once

#include "repair/RepairRecord.h"

#include <QJsonObject>
#include <QString>

namespace cli {

// How the journal's records and rows read on the command line, in JSON and as text.

// "completed", "stopped", "failed" or "rolled-back"; "running" while the repair's process is still
// at work; a repair that never recorded its end otherwise (its program was killed) counts as
// stopped.
QString outcomeOf(const repair::RepairRecord &record);

// One repair as --journal lists it: its id, time, database, repair and inputs, who ran it on
// which computer, the rows it changed and its outcome.
QJsonObject repairJson(const repair::RepairRecord &record);
QString repairLine(const repair::RepairRecord &record);

// Where a row is: its rowid (when the repair found rows by it) and its key columns.
QJsonObject keyJson(const repair::RepairRecord &record, const repair::JournalRow &row);
QString keyText(const repair::RepairRecord &record, const repair::JournalRow &row);

// Values of the changed columns, by name.
QJsonObject valuesJson(const repair::RepairRecord &record, const QVariantList &values);
QString valuesText(const repair::RepairRecord &record, const QVariantList &values);

}  // namespace cli
