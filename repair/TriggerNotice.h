#pragma once

#include "db/TableTriggers.h"

#include <QString>

namespace repair {

// What a repair or an undo tells the user once it has written a table that something besides its
// own statements may write (db::TableTriggers): rows outside its journal may have changed, and
// undo can't give those back. Empty when nothing else may write the table.
QString triggerNotice(const QString &table, const db::TableTriggers &triggers);

}  // namespace repair
