#pragma once

#include "DatabaseCheck.h"

#include "repair/BalanceRecompute.h"
#include "repair/EndFlagRepair.h"

#include <QFuture>
#include <QList>
#include <QString>

#include <atomic>
#include <memory>

// What the check-and-repair window runs in worker threads, so that it keeps answering however
// many databases there are and however long a repair takes. Each piece opens the connections it
// needs in its own thread and closes them there (a Qt SQL connection belongs to the thread that
// made it), and touches no widget: the window reads the futures' results and progress.
namespace CheckWork {

// The account sets' fiscal years, or why the system database could not be read.
struct Listing {
    QList<DatabaseCheck> databases;
    QString failure;
};
QFuture<Listing> listDatabases();

// Checks `databases` one after the other, each a result at its position, with the number checked
// as progress; cancelling stops after the database in hand.
QFuture<DatabaseCheck> checkAll(const QList<DatabaseCheck> &databases);

// Checks one database again.
QFuture<DatabaseCheck> checkOne(const DatabaseCheck &database);

// The recompute of `database`'s parent accounts, held to the plan `confirmed` that the user was
// shown, with the rows written as progress.
QFuture<repair::RecomputeRun> recompute(const DatabaseCheck &database, const repair::RecomputePlan &confirmed);

// The end-flag repair of `database` over a connection of its own, with the rows written as
// progress. Setting `stop` stops the walk after the row in hand, as closing the main window does;
// the walk's run is the result either way.
QFuture<repair::EndFlagRun> rebuildEndFlags(const DatabaseCheck &database, const std::shared_ptr<const std::atomic<bool>> &stop);

}  // namespace CheckWork
