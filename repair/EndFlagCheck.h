#pragma once

#include <QString>
#include <QVariant>

#include <vector>

namespace repair {

// A stored end-level flag that the end-flag repair would change.
struct WrongFlag {
    QString code;   // as the engine's text functions see it; null for a NULL code
    QVariant flag;  // as stored
    int right = 0;
    // Right in value but stored in another form ('1 ', 1.0), which the walk writes as the integer
    // all the same: only a dry run's list holds such flags (previewEndFlagWalk).
    bool formOnly = false;
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

// The same read for the walk's dry run: every row the walk would write, in code order, as the
// walk decides it (the flags of checkEndFlags(), and among them those it rewrites only in form,
// marked formOnly). The walk's journal holds the same rows. Changes nothing in any file.
EndFlagCheck previewEndFlagWalk(const QString &database);

// Of the rows `check` lists, those whose flag changes in value: the walk's count of flags changed.
int flagsChanged(const EndFlagCheck &check);

}  // namespace repair
