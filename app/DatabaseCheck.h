#pragma once

#include "repair/BalanceCheck.h"
#include "repair/BalanceRecompute.h"
#include "repair/EndFlagCheck.h"
#include "repair/RepairRecord.h"

#include <QList>
#include <QString>

#include <optional>

// One account set's fiscal year as the check-and-repair window checks it: what the end-flag check,
// the balance check and the recompute's plan find in its database, and a repair another program
// is running on it. Everything here reads and never writes, over connections of its own made in
// the calling thread, so a window runs it in a worker thread.
struct DatabaseCheck {
    QString accountSet;
    QString accountSetName;
    QString year;
    QString database;  // LQDATA_<account set>_<year>

    bool checked = false;  // the findings below are filled
    repair::EndFlagCheck endFlags;
    repair::BalanceCheck balances;
    repair::RecomputePlan recompute;
    // A repair of this database whose program still holds its journal's lock: one run by another
    // program, from its window or the command line; empty when there is none.
    std::optional<repair::RepairRecord> runningRepair;

    // Why the database could not be read, as one text: each check's failure once; empty when
    // every check could read it.
    QString failure() const;
};

// Every account set of the system database, in the order it returns them, with each of its live
// fiscal years, unchecked. Raises db::DbError when the system database can't be read.
QList<DatabaseCheck> listAccountSetYears();

// The repairs whose processes are running now, in the journal directory of the engine in use.
QList<repair::RepairRecord> runningRepairs();

// Checks `database` and fills its findings; `running` are the repairs running now.
void checkDatabase(DatabaseCheck &database, const QList<repair::RepairRecord> &running);
