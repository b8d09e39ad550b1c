#pragma once

#include "repair/RepairRecord.h"

#include <QString>

// How a journaled repair and its rows read in the journal window and its boxes, in the words of
// the main window's buttons.
namespace RepairDescription {

// "修正科目错误", "彻底根除", or "撤销 <id>" for an undo.
QString kind(const repair::RepairRecord &record);
// The account set and fiscal year with the database's name: "帐套 001，2007 年度（LQDATA_001_2007）".
QString accountSetAndYear(const repair::RepairRecord &record);
QString accountSetAndYear(const QString &accountSet, const QString &year, const QString &database);
// What the user typed for a balance reset: "科目 1011，3 月起"; empty for the others.
QString inputs(const repair::RepairRecord &record);
// "完成", "在第 N 行停止", "在第 N 行失败：…", "失败，未改动任何记录：…", "正在进行" or "未记录结束".
QString outcome(const repair::RepairRecord &record);
// Rows the repair changed, or "—" when it never recorded them.
QString rowsChanged(const repair::RepairRecord &record);
QString time(const repair::RepairRecord &record);
// The repair in one line, as a box names it: its id, kind, account set and inputs.
QString summary(const repair::RepairRecord &record);

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
