#pragma once

#include "Report.h"

#include "repair/BalanceCheck.h"
#include "repair/BalanceRecompute.h"
#include "repair/BalanceReset.h"
#include "repair/EndFlagCheck.h"

#include <QList>
#include <QString>

#include <optional>

namespace repair::report {

// What was found in one account set's year, as far as it was looked for: each check that ran, or
// the rows a dry run of a repair would change.
struct DatabaseFindings {
    QString accountSet;
    QString accountSetName;  // empty where the caller does not have it
    QString year;
    QString database;
    QString failure;                       // why the database could not be read at all
    QString note;                          // what the caller says of it besides (a repair running on it)
    std::optional<EndFlagCheck> endFlags;  // for a dry run: every flag the end-flag walk would write
    std::optional<BalanceCheck> balances;
    std::optional<RecomputePlan> recompute;  // its rows are listed only for a dry run
    std::optional<BalanceResetRun> reset;    // a reset's dry run: the rows it would clear
    QString resetCode, resetFrom;            // what that reset was given
};

// What a findings report covers, for its facts: the data place, and whether it holds the rows of
// a dry run (which changed nothing) rather than a check's findings.
struct FindingsScope {
    QString dataPlace;  // where the data is, as the user knows it
    bool dryRun = false;
};

// A report of checks, "检查报告": the account sets and years with a summary of each (print only),
// then for each its findings: wrong end-level flags, ledger disagreements, amounts that can't be
// read, balance rows of codes the chart lacks, balance rows a recompute would need, and for a dry
// run the rows (or flags) it would change. A database that could not be read is a finding too.
Report findingsReport(const QList<DatabaseFindings> &databases, const FindingsScope &scope);

}  // namespace repair::report
