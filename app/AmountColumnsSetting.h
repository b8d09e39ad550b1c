#pragma once

#include "repair/BalanceLedger.h"

#include <QString>
#include <QStringList>

// The amount columns the check-and-repair window checks and recomputes, kept in the user's
// settings ([checkWindow] amounts=mb,md,mc,me) so that every later window uses them too; mb, md
// and mc when none are kept.
namespace AmountColumnsSetting {

// The columns kept, or what is wrong with them.
repair::AmountColumnList remembered();
// Keeps `text` (a list such as "mb,md,mc,me") once it names columns; gives what is wrong, or nothing.
QString remember(const QString &text);

}  // namespace AmountColumnsSetting
