#pragma once

#include <QString>

class QAbstractItemModel;
class QLabel;
class QTableView;
class QWidget;

// The tables of the tool's windows, made alike for the keyboard and for screen readers.
namespace TableViews {

// A table over `model` whose rows are selected whole, that Tab leaves instead of moving between
// its cells, and whose column headers are read with its cells; `name` is what a screen reader
// calls it. Its columns are as wide as what they hold, measured again whenever rows come in.
QTableView *create(QWidget *parent, const QString &name, QAbstractItemModel *model);

// The label above a table, whose access key puts the keyboard in it.
QLabel *label(QWidget *parent, const QString &caption, QWidget *buddy);

} // namespace TableViews
