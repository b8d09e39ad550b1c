#pragma once

#include <QString>
#include <QVariant>

#include <vector>

namespace repair {

// A stored end-level flag that the end-flag repair would change.
struct WrongFlag {
    QString code;  // as the engine's text functions see it; null for a NULL code
    QVariant flag;  // as stored
    int right = 0;
};

struct EndFlagCheck {
    QString database;
    int codes = 0;
    std::vector<WrongFlag> wrong;  // in code order
    QString failure;               // why the database could not be read
};

// Reads the chart of accounts of `database` over a read-only connection of its own and finds
// the flags the end-flag repair would change, with the same verdict the repair writes. Changes
// nothing in any file.
EndFlagCheck checkEndFlags(const QString &database);

} // namespace repair
