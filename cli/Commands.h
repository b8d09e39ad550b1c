#pragma once

#include <QString>
#include <QStringList>

// The command-line front end: the same repairs, check, journal and undo as the window, for
// scripts and for support staff who look after many account sets. Every command writes in
// Chinese, or with --json prints one UTF-8 JSON document with English field names; the exit
// status is the same either way. The engine (ODBC::setEngine) is chosen before a command runs.
namespace cli {

enum class Command { Check, RepairEndFlags, Journal, Undo, CheckBalances, ResetBalance, RecomputeBalances };

struct Request {
    Command command = Command::Check;
    QString accountSet;   // --account-set: one account set, by its exact number
    QString year;         // --year: one fiscal year
    QString journal;      // --journal ID, --undo ID
    QString code;         // --code: the account whose balances --reset-balance clears
    QString fromPeriod;   // --from-period: the first period it clears
    QStringList amounts;  // --amounts: the amount columns --check-balances and --recompute-balances
                          // hold to the sum of sub-accounts; empty for mb, md, mc
    bool dryRun = false;  // --dry-run: list the rows --repair-end-flags, --reset-balance or --recompute-balances
                          // would change, change nothing
    QString report;       // --report FILE: the findings or the repair also saved as a report (.pdf, .csv)
    bool verbose = false;
    bool json = false;
};

// Runs the command; returns the program's exit status.
int run(const Request &request);

// The commands, each in a file of its own.
int check(const Request &request);              // 0 no flag wrong, 1 some wrong, 2 a database unreadable
int repairEndFlags(const Request &request);     // 0 every walk completed, 1 completed where triggers may
                                                // have changed rows outside the journal, 2 some failed
int previewEndFlags(const Request &request);    // --repair-end-flags --dry-run: 0 no flag to write, 1 some
                                                // to write, 2 a database unreadable
int journal(const Request &request);            // 0, or 2 when the journal can't be read
int undo(const Request &request);               // 0 all restored, 1 some left alone, or triggers may have
                                                // changed rows outside the journal, 2 error
int checkBalances(const Request &request);      // 0 ledgers agree, 1 something found, 2 a database unreadable
int resetBalance(const Request &request);       // 0 rows cleared (or listed), 1 no row matched, or triggers
                                                // may have changed rows outside the journal, 2 error
int recomputeBalances(const Request &request);  // 0 parents agree afterwards, 1 rows left it can't mend, 2 error

}  // namespace cli
