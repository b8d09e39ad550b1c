#include "TableViews.h"

#include <QAbstractItemModel>
#include <QHeaderView>
#include <QLabel>
#include <QTableView>
#include <QTimer>

namespace TableViews {

QTableView *create(QWidget *parent, const QString &name, QAbstractItemModel *model)
{
    auto *view = new QTableView(parent);
    view->setAccessibleName(name);
    view->setModel(model);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setTabKeyNavigation(false);
    view->setWordWrap(false);
    view->setAlternatingRowColors(true);
    view->verticalHeader()->hide();
    // Columns as wide as what they hold, judged from the rows in sight and a few hundred more,
    // so that a table of a million rows costs no more to lay out than a small one.
    QHeaderView *header = view->horizontalHeader();
    header->setSectionResizeMode(QHeaderView::ResizeToContents);
    header->setResizeContentsPrecision(200);
    header->setStretchLastSection(true);
    // The header measures its columns when they change, not when rows arrive: rows that a model
    // reads after a reset (a page at a time, or from a worker) would otherwise find their columns
    // as wide as the titles alone, and their amounts cut to "mb…". Rows that keep coming (a
    // check of many databases) are measured at most ten times a second.
    auto *measureSoon = new QTimer(header);
    measureSoon->setSingleShot(true);
    measureSoon->setInterval(100);
    // The header's own measure, which leaves the last column stretched to the table's width.
    QObject::connect(measureSoon, &QTimer::timeout, header, [header] { QMetaObject::invokeMethod(header, "resizeSections"); });
    const auto measure = [measureSoon] {
        if (!measureSoon->isActive())
            measureSoon->start();
    };
    QObject::connect(model, &QAbstractItemModel::rowsInserted, measureSoon, measure);
    QObject::connect(model, &QAbstractItemModel::modelReset, measureSoon, measure);
    QObject::connect(model, &QAbstractItemModel::dataChanged, measureSoon, measure);
    return view;
}

QLabel *label(QWidget *parent, const QString &caption, QWidget *buddy)
{
    auto *label = new QLabel(caption, parent);
    label->setBuddy(buddy);
    return label;
}

} // namespace TableViews
