#pragma once

#include "Report.h"

#include "repair/RepairRecord.h"

#include <QString>

namespace repair::report {

// The record of one repair, "修复记录", as its journal in `directory` holds it: its id, kind,
// inputs, account set, year and database, when it started, who ran it on which computer, how it
// ended and the rows it changed; then every journaled row with its old and new values, and how
// to undo it (or why it can't be). The rows are read a page at a time. Raises db::DbError when
// the journal can't be read.
Report repairReport(const QString &directory, const RepairRecord &record);

}  // namespace repair::report
