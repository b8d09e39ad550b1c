#pragma once

#include "RepairRun.h"

#include <QString>
#include <QStringList>

#include <memory>

namespace db {
class Connection;
}

namespace repair {

// Receives the end-flag walk's progress, one row at a time.
class EndFlagProgress {
public:
    virtual ~EndFlagProgress() = default;
    // The walk is about to go through `rows` rows.
    virtual void walkStarting(int rows) { Q_UNUSED(rows); }
    // The walk is about to work on the row with this account code.
    virtual void rowStarted(const QString &code) = 0;
    // The walk is done with the row: its flag is written, or was right already; on a server,
    // where rows are written a few hundred a statement, it may be waiting for its statement,
    // which is sent before the walk goes further than its batch, stops or ends. Returning false
    // stops the walk here.
    virtual bool rowDone() = 0;
};

// A walk's result; its rowsChanged are the rows it wrote whose flag was not already right (not
// only in its form), and its trigger notice stays once it wrote a row, whatever its end.
struct EndFlagRun : RepairRun {
    EndFlagRun() : RepairRun(RepairKind::EndFlags) {}

    QString database;
    int codes = 0;              // rows in the chart
    int rowsReached = 0;        // rows the walk is done with, in code order: written or left as they were
    int rowsWritten = 0;        // of those, rows whose flag was written
    int rowsRedecided = 0;      // rows whose flag the walk decided anew: another program changed the chart
    QStringList wrongAtEnd;     // a completed walk: codes whose flag is wrong for the chart as it ended (as codeText())
    QString finalCheckFailure;  // a completed walk: why the chart as it ended could not be looked at
};

// Rewrites the end-level flag (bend) of every account in the chart (table code) of the chosen
// account set and fiscal year: 1 when no longer code begins with the account's code, else 0.
// The chart is read once and every flag decided from that read (EndFlagPlan). Rows are then
// walked in code order; a row whose stored flag differs from its right one (in value, or only in
// form: '1 ', 1.0) is written, and committed, as the walk passes it (on a server, with the few
// hundred rows of its statement), and a row that holds its right flag already is left as it is,
// so that another program's change to it since the read is never overwritten. A walk that fails
// or is stopped leaves the rows before it with their new flags and the rest untouched (a batch
// that can't be written whole is written row by row). A row is written only while it still holds
// the code and flag the
// walk read: a row another program changed since stops the walk there, its value kept. Before the
// first write the walk's journal holds the rows whose flag the walk changes (code, flag, new
// flag), each with its place in the walk, and the number of rows in the chart; at the end it
// records how far the walk came. On SQLite the walk pauses now and then, so other programs can
// write too. Codes another program adds or removes meanwhile are seen (EndFlagChartWatch): on
// SQLite a row's flag is decided for the chart as it is at the row's commit, its journal row
// corrected or added first; a completed walk lists the flags wrong for the chart as it ended.
// An empty account set or year is NotChosen and opens nothing. The walk runs over a connection of
// its own to the account set's year database; when it can't be opened, its db::DbError is raised
// before anything is read or written (each front end says so in its own words).
EndFlagRun repairEndFlags(const QString &accountSet, const QString &year, EndFlagProgress &progress);

// The same walk over `connection`, opened by the caller on the database of `accountSet` and
// `year` (ODBC::openConnection): for a window that runs it in a thread of its own, which owns
// the connection, and shows its failures itself. A connection that is not open fails the walk
// before its journal is written.
EndFlagRun repairEndFlagsOver(const std::shared_ptr<db::Connection> &connection, const QString &accountSet, const QString &year,
                              EndFlagProgress &progress);

}  // namespace repair
