#include "JournalDriver.h"

#include <QTableView>

namespace JournalDriver {

QString cell(const QTableView *view, int row, int column)
{
    return view->model()->index(row, column).data().toString();
}

} // namespace JournalDriver
