#include "JournalWindow.h"

#include "JournalRowsModel.h"
#include "MessageBox.h"
#include "RepairListModel.h"
#include "ReportActions.h"
#include "ShownData.h"
#include "TableViews.h"
#include "WindowMenus.h"

#include "db/DbError.h"
#include "repair/JournalReader.h"
#include "repair/RepairText.h"
#include "repair/Undo.h"
#include "repair/report/RepairReport.h"

#include <QApplication>
#include <QDir>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QTableView>
#include <QVBoxLayout>

namespace {

// Rows a result box lists one by one; the rest are counted.
constexpr int LeftAloneListed = 20;

// What of a repair decides the rows shown for it: when any of it changes, they are read again.
QString shownState(const repair::RepairRecord &record)
{
    return QStringLiteral("%1|%2|%3|%4|%5")
        .arg(record.id, repair::storedName(record.outcome), record.undoneBy)
        .arg(record.running)
        .arg(record.rowsChanged);
}

}  // namespace

// Opens on the newest repair, with the keyboard in the list.
JournalWindow::JournalWindow(QWidget *parent) : QWidget(parent), m_directory(m_folder.directory())
{
    setupUi();
    wireEvents();
    m_folder.look();
    if (m_repairs->rowCount() > 0)
        repairList->selectRow(0);
    repairList->setFocus();
}

// The controls, laid out top to bottom under the menu bar: the list, the rows, and a line with the
// row count and the buttons. Tab follows that order.
void JournalWindow::setupUi()
{
    setWindowTitle(QStringLiteral("修复日志 — %1").arg(shownData()));
    resize(1000, 640);

    m_repairs = new RepairListModel(this);
    m_rows = new JournalRowsModel(this);
    repairList = TableViews::create(this, QStringLiteral("修复记录"), m_repairs);
    repairListLabel = TableViews::label(this, QStringLiteral("修复记录(&L)："), repairList);
    rowList = TableViews::create(this, QStringLiteral("改动的记录"), m_rows, TableViews::Selection::Several);
    rowListLabel = TableViews::label(this, QStringLiteral("选中的修复改动的记录(&D)："), rowList);
    rowSummary = new QLabel(this);
    rowSummary->setTextFormat(Qt::PlainText);
    rowSummary->setWordWrap(true);
    undoButton = new QPushButton(QStringLiteral("撤销(&U)"), this);
    undoButton->setToolTip(QStringLiteral("撤销选中的修复（Enter 或 Alt+U）"));
    refreshButton = new QPushButton(QStringLiteral("刷新 (F5)"), this);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(rowSummary, 1);
    buttons->addWidget(undoButton);
    buttons->addWidget(refreshButton);
    // The selected repair's record, read from its journal when asked for.
    auto *reports = new ReportActions(this, {[this]() -> std::optional<repair::report::Report> {
                                                 const repair::RepairRecord *record = selectedRepair();
                                                 if (!record) {
                                                     MessageBox::show(QStringLiteral("请先在列表中选中一次修复。"));
                                                     return std::nullopt;
                                                 }
                                                 try {
                                                     return repair::report::repairReport(m_directory, *record);
                                                 } catch (const db::DbError &error) {
                                                     MessageBox::show(error.description(), MessageBox::Icon::Critical);
                                                     return std::nullopt;
                                                 }
                                             },
                                             [this] {
                                                 const repair::RepairRecord *record = selectedRepair();
                                                 return QStringLiteral("修复记录-") + (record ? record->id : QString());
                                             }});
    repairList->addAction(reports->save);
    rowList->addAction(reports->save);
    auto *layout = new QVBoxLayout(this);
    WindowMenus::add(this, layout, {reports->save, reports->print});
    layout->addWidget(repairListLabel);
    layout->addWidget(repairList, 3);
    layout->addWidget(rowListLabel);
    layout->addWidget(rowList, 2);
    layout->addLayout(buttons);

    setTabOrder(repairList, rowList);
    setTabOrder(rowList, undoButton);
    setTabOrder(undoButton, refreshButton);
}

// Selection, keys, buttons and the journal folder, each to its handler.
void JournalWindow::wireEvents()
{
    connect(repairList->selectionModel(), &QItemSelectionModel::currentRowChanged, this, &JournalWindow::showSelectedRepair);
    repairList->installEventFilter(this);  // Enter in the list undoes the repair it stands on
    connect(undoButton, &QPushButton::clicked, this, &JournalWindow::undoSelected);
    connect(refreshButton, &QPushButton::clicked, this, &JournalWindow::refresh);
    connect(new QShortcut(QKeySequence::Refresh, this), &QShortcut::activated, this, &JournalWindow::refresh);
    connect(m_rows, &QAbstractItemModel::rowsInserted, this, &JournalWindow::updateControls);

    connect(&m_folder, &JournalFolderWatch::listed, this, &JournalWindow::showRepairs);
}

// Enter in the list undoes the selected repair, as the 撤销 button does.
bool JournalWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == repairList && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            undoSelected();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void JournalWindow::refresh()
{
    m_shownRepair.clear();  // what the database holds now is read again too
    m_folder.look();
}

// The list as read again; the selected repair's rows are read again only when it changed.
void JournalWindow::showRepairs(const QList<repair::RepairRecord> &repairs)
{
    const repair::RepairRecord *selected = selectedRepair();
    const QString selectedId = selected ? selected->id : QString();
    m_repairs->setRepairs(repairs);
    const int row = m_repairs->rowOf(selectedId);
    if (row >= 0) {
        repairList->selectionModel()->setCurrentIndex(m_repairs->index(row, 0),
                                                      QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
    showSelectedRepair();
}

// Shows the rows of the selected repair, read again only when the repair changed since.
void JournalWindow::showSelectedRepair()
{
    const repair::RepairRecord *record = selectedRepair();
    const QString state = record ? shownState(*record) : QString();
    if (state != m_shownRepair) {
        m_shownRepair = state;
        if (record)
            m_rows->setRepair(m_directory, *record);
        else
            m_rows->clear();
    }
    updateControls();
}

// The undo button follows the selected repair; the line beside it says how many of its rows are
// shown, or why they can't be read.
void JournalWindow::updateControls()
{
    const repair::RepairRecord *record = selectedRepair();
    undoButton->setEnabled(record && repair::undoRefusal(*record) == repair::UndoRefusal::None);
    if (!record)
        rowSummary->setText(m_repairs->rowCount() == 0
                                ? QStringLiteral("日志目录 %1 中没有修复记录。").arg(QDir::toNativeSeparators(m_directory))
                                : QString());
    else if (!m_rows->failure().isEmpty())
        rowSummary->setText(QStringLiteral("无法读取这次修复改动的记录：") + m_rows->failure());
    else
        rowSummary->setText(QStringLiteral("修复 %1 的日志记有 %2 行，已显示 %3 行。")
                                .arg(record->id)
                                .arg(m_rows->journaledRows())
                                .arg(m_rows->rowCount()));
}

const repair::RepairRecord *JournalWindow::selectedRepair() const
{
    // The current row, which the selection follows: it is set first when the selection moves.
    const QModelIndex current = repairList->selectionModel()->currentIndex();
    return current.isValid() ? &m_repairs->repairAt(current.row()) : nullptr;
}

// The confirmation box names the repair and its journaled rows; the undo itself is the command
// line's, and its result or failure is reported in a box once the list shows the new undo.
void JournalWindow::undoSelected()
{
    const repair::RepairRecord *selected = selectedRepair();
    if (!selected)
        return;
    const repair::RepairRecord record = *selected;
    if (const QString why = repair::RepairText::whyNotUndoable(record); !why.isEmpty()) {
        MessageBox::show(why, MessageBox::Icon::None);
        return;
    }
    qint64 rows = 0;
    try {
        rows = repair::checkJournal(m_directory, record.id);
    } catch (const db::DbError &error) {
        MessageBox::show(QStringLiteral("无法读取修复 %1 的日志：\n%2").arg(record.id, error.description()),
                         MessageBox::Icon::Critical);
        return;
    }
    const QString question = QStringLiteral("撤销修复 %1吗？\n\n日志记有 %2 行。只恢复仍是这次修复写入的值的记录；"
                                            "之后被改动过的记录保持不变，并在结果中列出。")
                                 .arg(repair::RepairText::summary(record))
                                 .arg(rows);
    // The second button, 取消, takes Enter and Esc: only 撤销 or Alt+U undoes.
    if (MessageBox::ask(question, {QStringLiteral("撤销(&U)"), QStringLiteral("取消")}, 1, 1) != 0)
        return;

    QApplication::setOverrideCursor(Qt::WaitCursor);
    const repair::UndoRun run = repair::undoRepair(record.id);
    QApplication::restoreOverrideCursor();
    refresh();  // the undo is listed, and the rows' values now changed
    if (run.result != repair::RunResult::Completed)
        MessageBox::show(repair::RepairText::undoFailedBox(run), MessageBox::Icon::Critical);
    else
        MessageBox::show(repair::RepairText::undoDoneBox(run, LeftAloneListed),
                         run.unrecorded.isEmpty() ? MessageBox::Icon::None : MessageBox::Icon::Critical);
}
