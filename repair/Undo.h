#pragma once

#include "Journal.h"  // undo is addressed by a journal of journalDirectory()
#include "RepairRecord.h"
#include "RepairRun.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantList>

namespace repair {

// Why undo left a changed row as it is.
enum class LeftAloneReason {
    Gone,          // no row is the one the repair changed
    Changed,       // the row holds neither value: something changed it since
    Ambiguous,     // rows alike that can't be told apart had different old values
    WrittenLater,  // the repair's end is unknown, and a later repair wrote the row too
};

// A changed row that undo did not put back, and why (RepairText words it).
struct LeftAlone {
    JournalRow row;    // as the undone repair journaled it
    QVariantList now;  // its values now (empty when the row is gone)
    LeftAloneReason reason = LeftAloneReason::Gone;
    bool soughtByRowid = false;  // looked for by its rowid, then by its old contents
    QStringList alteredColumns;  // Changed: the columns changed since, where they are known
    QString laterRepair;         // WrittenLater: the id of the repair that wrote it too
};

// Why a repair can't be undone now (RepairText words it).
enum class UndoRefusal {
    None,            // it can
    Running,         // its process is still at work
    AlreadyUndone,   // a completed undo put its rows back (record.undoneBy)
    RolledBack,      // it failed in one transaction and wrote nothing
    NothingWritten,  // it stopped or failed before its first row
    MadeOverOdbc,    // it was made through ODBC, and this run uses the embedded engine or another server
    MadeEmbedded,    // it was made on the embedded engine, and this run uses ODBC
};

// An undo's result: Completed, or Failed (refused too) with nothing changed; its journal is the
// undo's own.
struct UndoRun : RepairRun {
    UndoRun() : RepairRun(RepairKind::Undo) {}

    QString undoes;       // the repair undone
    RepairRecord repair;  // its journal record, once read
    // Every row the repair journaled is one of these four, so they add up to `journaled`: the rows
    // put back (rowsChanged), and
    qint64 journaled = 0;  // rows in the repair's journal
    int alreadyOld = 0;    // rows holding their old value already, or whose value the repair kept
    int notWritten = 0;    // rows beyond where a walk stopped or failed: it never wrote them
    QList<LeftAlone> leftAlone;
    QString undoneBy;  // when refused because a completed undo already put the rows back: its id
};

// Why repair `record` (as listRepairs() gives it) can't be undone now; None when it can. A repair
// still running, one already undone, one that wrote nothing (rolled back, or stopped before its
// first row) and one made through the other engine or on another server are refused. The one
// rule for every front end; RepairText::whyNotUndoable() says it to the user.
UndoRefusal undoRefusal(const RepairRecord &record);

// Puts back the old values of the rows repair `id` wrote. Only rows the repair really wrote are
// considered: all it journaled once it completed, those up to where a walk stopped or failed. A
// row is restored only when it is still the very row the repair changed (found by RowLookup) and
// holds the value the repair wrote, as the engine compares values. A row that holds its old value
// already needs nothing. Rows gone, changed since, or not to be told apart from an identical row
// with other old values are left alone and listed; so is, where the repair's end was never
// recorded, a row that a later repair wrote too. All of it happens in one transaction, journaled
// first like any repair (the rows it restores and nothing else), so an undo can itself be undone.
// While it runs it holds the undo lock of the repair (JournalLock), so a second undo of the same
// repair is refused. A repair undoRefusal() refuses, or one another undo is at, is refused:
// nothing changes and no journal is written.
UndoRun undoRepair(const QString &id);

}  // namespace repair
