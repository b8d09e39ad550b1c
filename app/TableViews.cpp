#include "TableViews.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QTableView>
#include <QTimer>

#include <algorithm>

namespace TableViews {

namespace {

// A cell's text on one line of its own, without the tab that would end it early.
QString cellText(const QVariant &shown)
{
    QString text = shown.toString();
    for (QChar &c : text)
        if (c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\r'))
            c = QLatin1Char(' ');
    return text;
}

// 复制, first in the table's context menu, and a line under it before the window's own items.
void addCopy(QTableView *view)
{
    auto *copy = new QAction(QStringLiteral("复制"), view);
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetShortcut);
    QObject::connect(copy, &QAction::triggered, view, [view] { QGuiApplication::clipboard()->setText(selectedRowsText(view)); });
    auto *line = new QAction(view);
    line->setSeparator(true);
    view->addActions({copy, line});
    view->setContextMenuPolicy(Qt::ActionsContextMenu);
}

}  // namespace

QTableView *create(QWidget *parent, const QString &name, QAbstractItemModel *model, Selection selection)
{
    auto *view = new QTableView(parent);
    view->setAccessibleName(name);
    view->setModel(model);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(selection == Selection::One ? QAbstractItemView::SingleSelection : QAbstractItemView::ExtendedSelection);
    addCopy(view);
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

QString selectedRowsText(const QTableView *view)
{
    const QAbstractItemModel *model = view->model();
    const QHeaderView *header = view->horizontalHeader();
    QList<int> rows{-1};  // the headers first, then the selected rows in the table's order
    for (const QModelIndex &selected : view->selectionModel()->selectedRows())
        rows << selected.row();
    std::sort(rows.begin() + 1, rows.end());
    QString text;
    for (const int row : std::as_const(rows)) {
        QStringList cells;
        for (int visual = 0; visual < header->count(); ++visual)  // the columns as the user sees them
            if (const int column = header->logicalIndex(visual); !header->isSectionHidden(column))
                cells << cellText(row < 0 ? model->headerData(column, Qt::Horizontal) : model->index(row, column).data());
        text += cells.join(QLatin1Char('\t')) + QLatin1Char('\n');
    }
    return text;
}

QLabel *label(QWidget *parent, const QString &caption, QWidget *buddy)
{
    auto *label = new QLabel(caption, parent);
    label->setBuddy(buddy);
    return label;
}

}  // namespace TableViews
