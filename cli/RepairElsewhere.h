#pragma once

#include <QString>

namespace cli {

// For a repair `id` that the journal of this run's data does not hold: where it was made and how
// to run `command` (--undo, --journal) there, when another place's journal holds it
// (repair::placeOfRepair()): "这次修复记在演示数据（…）的修复日志中，请加 --demo 再运行：
// n3fix --demo --undo ID", with the option that names the place for one run in place of this
// run's own. Empty when no other place holds it, or this one does.
QString repairElsewhere(const QString &id, const QString &command);

}  // namespace cli
