#pragma once

#include <QString>

class QAbstractItemModel;
class QLabel;
class QTableView;
class QWidget;

// The tables of the tool's windows, made alike for the keyboard and for screen readers.
namespace TableViews {

// How many rows a table lets the user select: one in a list whose selection shows what belongs
// to it (a database's findings, a repair's rows), several in a table of details.
enum class Selection { One, Several };

// A table over `model` whose rows are selected whole, that Tab leaves instead of moving between
// its cells, and whose column headers are read with its cells; `name` is what a screen reader
// calls it. Its columns are as wide as what they hold, measured again whenever rows come in.
// Its context menu starts with 复制 (Ctrl+C while it has the keyboard), which puts the selected
// rows on the clipboard as selectedRowsText() has them; a window adds its own items after it.
QTableView *create(QWidget *parent, const QString &name, QAbstractItemModel *model, Selection selection = Selection::One);

// The selected rows of `view` under its column headers, as a spreadsheet pastes them: a line a
// row, the cells as shown, separated by tabs (a tab or line break within a cell becomes a space).
QString selectedRowsText(const QTableView *view);

// The label above a table, whose access key puts the keyboard in it.
QLabel *label(QWidget *parent, const QString &caption, QWidget *buddy);

}  // namespace TableViews
