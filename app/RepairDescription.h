#pragma once

#include "repair/RepairRecord.h"

#include <QString>

// Where a journaled row is and what it holds, as the journal window and its boxes show it. The
// words for a repair itself (its name, outcome, account set) are RepairText's.
namespace RepairDescription {

// Where a journaled row is: its account code, and the period for a row of the balances (empty
// when the row has none).
QString code(const repair::RepairRecord &record, const repair::JournalRow &row);
QString period(const repair::RepairRecord &record, const repair::JournalRow &row);
// The row's account code and period as one text: "1011，3 月".
QString place(const repair::RepairRecord &record, const repair::JournalRow &row);
// Values of the changed columns: the bare value when there is one column ("1"), else each
// with its column's name ("mb=12.5 mc=0 md=0").
QString values(const repair::RepairRecord &record, const QVariantList &values);

} // namespace RepairDescription
