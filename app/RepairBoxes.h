#pragma once

#include "DatabaseCheck.h"
#include "MessageBox.h"

#include "repair/BalanceRecompute.h"
#include "repair/EndFlagRepair.h"

#include <QString>

#include <utility>

// The check-and-repair window's boxes around a repair: why it can't be made, the question before
// it, which lists what it will change, and the report after it, with the box's icon. A report names the repair's
// journal and how to undo it from the window.
namespace RepairBoxes {

// "帐套 001，2007 年度", as every box names a database.
QString place(const DatabaseCheck &database);

// Why a repair can't be made on `database` now: a repair another program runs on it, or `failure`,
// why the check the repair needs could not read it; empty when nothing stands in the way.
QString refusal(const DatabaseCheck &database, const QString &failure);

QString recomputeQuestion(const DatabaseCheck &database);
QString endFlagsQuestion(const DatabaseCheck &database);

std::pair<QString, MessageBox::Icon> recomputeReport(const DatabaseCheck &database, const repair::RecomputeRun &run);
// A walk that fails keeps the flags it wrote before, each committed as it went: the box says how
// many, and where their journal is.
std::pair<QString, MessageBox::Icon> endFlagsReport(const DatabaseCheck &database, const repair::EndFlagRun &run);

}  // namespace RepairBoxes
