#include "JournalDriver.h"

#include <QStyle>
#include <QTableView>

namespace JournalDriver {

QString cell(const QTableView *view, int row, int column)
{
    return view->model()->index(row, column).data().toString();
}

bool shownWhole(const QTableView *view, int row, int column)
{
    const QModelIndex index = view->model()->index(row, column);
    const int margins = 2 * (view->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) + 1);
    return view->fontMetrics().horizontalAdvance(index.data().toString()) + margins <= view->visualRect(index).width();
}

} // namespace JournalDriver
