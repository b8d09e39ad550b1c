#pragma once

#include "ChartOfAccounts.h"

#include <QString>
#include <QVector>

// An account set (one company's books) as the system database lists it: the fiscal years in
// use and those deleted earlier.
struct DemoAccountSet {
    QString id;
    QString name;
    QVector<int> liveYears;
    QVector<int> deletedYears;
};

// Writes a new account-set database: table `code` from `chart`, with about `wrongFlagShare` of
// the end-level flags (bend) deliberately wrong, and table GL_accsum with twelve periods of
// balances for a sample of the end-level accounts and, as their sums, for every account above
// them. Same arguments, same content.
// Throws std::runtime_error if the file exists or SQLite fails; a failed file is removed.
void writeAccountSetDatabase(const QString &filePath, const QVector<ChartAccount> &chart, double wrongFlagShare, quint32 seed);

// Plants, in the account-set database at `filePath`, disagreements between the general ledger and
// the detail ledgers for practising their repair: the end-level account with balances of the
// longest code gets 1000.00 more debit and credit in period 6 (its closing balance stays), so that
// every account above it disagrees with its sub-accounts in that period; and the first top-level
// account outside that line has 100.00 more debit in period 9 than its sub-accounts add up to.
// Throws std::runtime_error if SQLite fails.
void plantBalanceDisagreements(const QString &filePath);

// Writes a new system database listing `sets` (KS_Account) and their periods (KS_period),
// including deleted years and one stray year 9999 for the first set.
// Throws std::runtime_error if the file exists or SQLite fails; a failed file is removed.
void writeSystemDatabase(const QString &filePath, const QVector<DemoAccountSet> &sets);

// The four demonstration account sets.
QVector<DemoAccountSet> demoAccountSets();

// Whether `dir` holds any *.db file.
bool directoryHoldsDatabase(const QString &dir);

// The file name of the database of account set `id` for fiscal year `year`.
QString accountSetFileName(const QString &id, int year);

// The most codes a demo chart may be asked to hold.
constexpr int MaxDemoChartCodes = 500000;

// Fills `dir` (created if needed) with LQsystem.db and one database per live year of each demo
// account set, each with its planted balance disagreements. Each chart holds `codesPerChart` accounts, or, with 0, 60 to 150 of
// its own. Never overwrites: throws std::runtime_error with a message for the user when the directory already holds a database,
// cannot be created, or SQLite fails (files written so far are then removed).
void createDemoDataDirectory(const QString &dir, int codesPerChart = 0);

// Fills `dir` with demo data unless it already holds a database, so a demo folder is made on
// first use and afterwards used as the user left it. Gives what went wrong, in the user's words,
// or nothing.
QString prepareDemoData(const QString &dir);
