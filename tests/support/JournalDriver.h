#pragma once

#include "repair/EndFlagRepair.h"

#include <QString>
#include <QStringList>

class QTableView;
struct ProcessRun;

// What the tests of the journal window and the check-and-repair window share: a walk that can be
// stopped, the tables read as the user reads them, and what an undo on the command line left alone.
namespace JournalDriver {

// Lets the end-flag walk run to its end, or stops it after `stopAfter` rows.
class Walk : public repair::EndFlagProgress {
public:
    explicit Walk(int stopAfter = -1) : m_left(stopAfter) {}
    void rowStarted(const QString &) override {}
    bool rowDone() override { return m_left < 0 || --m_left > 0; }

private:
    int m_left;
};

// A cell of a table view as shown.
QString cell(const QTableView *view, int row, int column);
// The cell of `row` in the column headed `header`, so a test holds whatever columns come before.
QString cellUnder(const QTableView *view, int row, const QString &header);
// The column headed `header`, or -1.
int columnOf(const QTableView *view, const QString &header);
// One row of a view, its cells joined by " | ".
QString rowText(const QTableView *view, int row);
// The column headers a screen reader reads with the cells, joined by " | ".
QString headers(const QTableView *view);
// Whether the cell's text fits the width its column has on the screen, so none of it is cut off.
bool shownWhole(const QTableView *view, int row, int column);

// Writes into `directory` the journal an earlier version wrote of an end-flag walk on account set
// 001, year 2007, sealed but without who ran it or where: the walk gave code 1001 (rowid 1) the
// flag 0 and 100101 (rowid 2) the flag 1. Returns its id.
QString writeJournalOfAnEarlierVersion(const QString &directory);

// The kinds of the rows an undo (n3fix --undo --json) left alone, in its order.
QStringList kindsLeftAlone(const ProcessRun &undo);

}  // namespace JournalDriver
