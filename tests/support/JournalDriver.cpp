#include "JournalDriver.h"

#include "ProcessRun.h"
#include "SqliteFixture.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonObject>
#include <QStringList>
#include <QStyle>
#include <QTableView>

namespace JournalDriver {

QString cell(const QTableView *view, int row, int column)
{
    return view->model()->index(row, column).data().toString();
}

int columnOf(const QTableView *view, const QString &header)
{
    for (int column = 0; column < view->model()->columnCount(); ++column)
        if (view->model()->headerData(column, Qt::Horizontal).toString() == header)
            return column;
    return -1;
}

QString cellUnder(const QTableView *view, int row, const QString &header)
{
    const int column = columnOf(view, header);
    return column < 0 ? "no column " + header : cell(view, row, column);
}

QString writeJournalOfAnEarlierVersion(const QString &directory)
{
    // As that version wrote it, seal and all, byte for byte in every value the seal covers.
    QString id = "20261210-052834-788";
    QDir().mkpath(directory);
    SqliteFixture::run(
        QDir(directory).filePath(id + ".journal"),
        "CREATE TABLE repair(id, time, database, engine, repair, account_set, year, code, period, undoes, table_name,"
        " rowid_name, changed_columns, key_columns, outcome, rows_done, rows_changed, message, journal_mode,"
        " settings_pending, rows_visited, rows_sealed, rows_digest, seal);"
        "INSERT INTO repair VALUES('20261210-052834-788','2026-12-10T05:28:34.788+08:00','LQDATA_001_2007','embedded',"
        "'end-flags','001','2007','','','','code','rowid','[\"bend\"]','[\"ccode\"]','completed',2,2,NULL,'delete',0,2,2,"
        "'110ac73999baa176a3123b3572273c8245de0cf42c9a032a78f55c04c797b644',"
        "'97e9ba324a1546bc7abae8991dcbb55d212c6c957cbb7444747ae6ab2f2288be');"
        "CREATE TABLE row(seq integer primary key,row_id,old0,new0,key0,\"row\");"
        "INSERT INTO \"row\" VALUES(1,1,1,0,'1001',1);"
        "INSERT INTO \"row\" VALUES(2,2,0,1,'100101',2);");
    return id;
}

QStringList kindsLeftAlone(const ProcessRun &undo)
{
    QStringList kinds;
    for (const QJsonValue left : undo.json()["left_alone"].toArray())
        kinds << left["kind"].toString();
    return kinds;
}

QString rowText(const QTableView *view, int row)
{
    QStringList cells;
    for (int column = 0; column < view->model()->columnCount(); ++column)
        cells << cell(view, row, column);
    return cells.join(" | ");
}

QString headers(const QTableView *view)
{
    QStringList names;
    for (int column = 0; column < view->model()->columnCount(); ++column)
        names << view->model()->headerData(column, Qt::Horizontal).toString();
    return names.join(" | ");
}

bool shownWhole(const QTableView *view, int row, int column)
{
    const QModelIndex index = view->model()->index(row, column);
    const int margins = 2 * (view->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) + 1);
    return view->fontMetrics().horizontalAdvance(index.data().toString()) + margins <= view->visualRect(index).width();
}

}  // namespace JournalDriver
