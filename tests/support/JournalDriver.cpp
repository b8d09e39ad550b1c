#include "JournalDriver.h"

#include "ProcessRun.h"

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

QStringList kindsLeftAlone(const ProcessRun &undo)
{
    QStringList kinds;
    for (const QJsonValue &left : undo.json()["left_alone"].toArray())
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

} // namespace JournalDriver
