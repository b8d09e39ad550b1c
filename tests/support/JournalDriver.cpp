#include "JournalDriver.h"

#include "ProcessRun.h"

#include <QJsonArray>
#include <QJsonObject>
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

} // namespace JournalDriver
