#pragma once

#include <QStringList>
#include <QVariantList>

#include <memory>
#include <utility>
#include <vector>

namespace db {
class Connection;
class Recordset;
}  // namespace db

namespace repair {

// The values a chart row holds besides its code, its flag and the columns that find it, read
// one row at a time where a row can be found by its rowid or primary key. The walk journals them
// with each row it changes, so that undo knows the row again only by everything it held: a row
// whose rowid moved to another row (VACUUM, a deleted row's rowid reused) is then never taken
// for it.
class ChartRowContents {
public:
    // `locator`: the columns that find one row (the rowid, or a primary key); none where rows are
    // found by their values, and nothing is read then. `known`: the columns the walk reads anyway.
    ChartRowContents(std::shared_ptr<db::Connection> connection, QStringList locator, const QStringList &known);
    ~ChartRowContents();

    // The other columns of the chart, in the order of()'s values come; empty when nothing is read.
    const QStringList &columns() const { return m_columns; }
    // Reads ahead the rows of these rowids (the locator is the rowid) in one statement, in the
    // order given, so that of() asked for them in that order answers without a statement each.
    // Only the rows of the last read ahead are kept: a caller reads a batch at a time.
    void readAhead(const std::vector<qint64> &rowids);
    // The values of columns() of the row the locator's `values` find; NULLs for a row gone.
    QVariantList of(const QVariantList &values);
    // The code of the row of `rowid` as the journal keeps it: as stored where it is a text that
    // is not valid UTF-8 (see storedText), else `code` as read.
    QVariant storedCode(const QVariant &rowid, const QVariant &code);

private:
    QVariantList readOne(const QVariantList &values);

    std::shared_ptr<db::Connection> m_connection;
    QStringList m_locator, m_columns;
    QString m_select;
    std::unique_ptr<db::Recordset> m_row;                      // reused for every row: its statement stays prepared
    std::vector<std::pair<qint64, QVariantList>> m_readAhead;  // by rowid, in the order asked for
    std::size_t m_nextAhead = 0;                               // the first of them of() has not given out
};

}  // namespace repair
