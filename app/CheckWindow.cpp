#include "CheckWindow.h"

#include "CheckListModel.h"
#include "CheckReport.h"
#include "CheckWork.h"
#include "DisagreementsModel.h"
#include "MessageBox.h"
#include "RecheckQueue.h"
#include "RepairBoxes.h"
#include "ReportActions.h"
#include "ShownData.h"
#include "TableViews.h"
#include "WindowHub.h"
#include "WindowMenus.h"
#include "WrongFlagsModel.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QTableView>
#include <QVBoxLayout>

using RepairBoxes::place;

// Opens on the list with the keyboard in it, and checks every database at once.
CheckWindow::CheckWindow(QWidget *parent) : QWidget(parent)
{
    setupUi();
    wireEvents();
    databaseList->setFocus();
    checkAll();
}

// A window that goes while work runs waits for it: a walk stops after the row in hand, a check of
// every database after the database in hand; a recompute is one transaction and ends.
CheckWindow::~CheckWindow()
{
    *m_stopWalk = true;
    m_round.cancel();
    m_running.waitForFinished();
}

// The controls, laid out top to bottom under the menu bar: the databases; the selected one's wrong
// flags and ledger disagreements side by side; the status line with the progress bar; the buttons.
// Tab follows that order.
void CheckWindow::setupUi()
{
    setWindowTitle(QStringLiteral("检查和修复 — %1").arg(shownData()));
    resize(1100, 700);

    m_databases = new CheckListModel(this);
    m_wrongFlags = new WrongFlagsModel(this);
    m_disagreements = new DisagreementsModel(this);
    databaseList = TableViews::create(this, QStringLiteral("帐套和年度"), m_databases);
    databaseListLabel = TableViews::label(this, QStringLiteral("帐套和年度(&L)："), databaseList);
    wrongFlagsList = TableViews::create(this, QStringLiteral("末级标志错误"), m_wrongFlags, TableViews::Selection::Several);
    wrongFlagsLabel = TableViews::label(this, QString(), wrongFlagsList);
    disagreementsList =
        TableViews::create(this, QStringLiteral("总账和明细账不符"), m_disagreements, TableViews::Selection::Several);
    disagreementsLabel = TableViews::label(this, QString(), disagreementsList);
    status = new QLabel(this);
    status->setTextFormat(Qt::PlainText);
    status->setWordWrap(true);
    progress = new QProgressBar(this);
    progress->setFixedWidth(240);
    progress->hide();
    recomputeButton = new QPushButton(QStringLiteral("按下级科目重算(&R)"), this);
    recomputeButton->setToolTip(QStringLiteral("以末级科目为准，把选中数据库中上级科目的余额改为其下级科目的合计"));
    endFlagsButton = new QPushButton(QStringLiteral("重建末级标志(&E)"), this);
    endFlagsButton->setToolTip(QStringLiteral("与“彻底根除”相同：重写选中数据库中每个科目的末级标志"));
    journalButton = new QPushButton(QStringLiteral("修复日志(&J)"), this);
    checkButton = new QPushButton(QStringLiteral("重新检查(&C)"), this);
    checkButton->setToolTip(QStringLiteral("重新检查所有帐套年度（F5）"));

    auto *findings = new QHBoxLayout;
    auto *flagsColumn = new QVBoxLayout;
    flagsColumn->addWidget(wrongFlagsLabel);
    flagsColumn->addWidget(wrongFlagsList);
    auto *disagreementsColumn = new QVBoxLayout;
    disagreementsColumn->addWidget(disagreementsLabel);
    disagreementsColumn->addWidget(disagreementsList);
    findings->addLayout(flagsColumn, 1);
    findings->addLayout(disagreementsColumn, 2);
    auto *statusLine = new QHBoxLayout;
    statusLine->addWidget(status, 1);
    statusLine->addWidget(progress);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(recomputeButton);
    buttons->addWidget(endFlagsButton);
    buttons->addStretch(1);
    buttons->addWidget(journalButton);
    buttons->addWidget(checkButton);
    // The findings are reported once every database listed is checked, as the list shows them.
    auto *reports =
        new ReportActions(this, {[this]() -> std::optional<repair::report::Report> {
                                     if (m_work != Work::None) {
                                         MessageBox::show(QStringLiteral("正在检查或修复，请等它结束后再保存或打印报告。"));
                                         return std::nullopt;
                                     }
                                     const QModelIndex current = databaseList->selectionModel()->currentIndex();
                                     return CheckReport::ask(*m_databases, current.isValid() ? current.row() : -1, m_reportName);
                                 },
                                 [this] { return m_reportName; }});
    for (QTableView *table : {databaseList, wrongFlagsList, disagreementsList})
        table->addAction(reports->save);
    auto *layout = new QVBoxLayout(this);
    WindowMenus::add(this, layout, {reports->save, reports->print});
    layout->addWidget(databaseListLabel);
    layout->addWidget(databaseList, 3);
    layout->addLayout(findings, 2);
    layout->addLayout(statusLine);
    layout->addLayout(buttons);

    setTabOrder(databaseList, wrongFlagsList);
    setTabOrder(wrongFlagsList, disagreementsList);
    setTabOrder(disagreementsList, recomputeButton);
    setTabOrder(recomputeButton, endFlagsButton);
    setTabOrder(endFlagsButton, journalButton);
    setTabOrder(journalButton, checkButton);
    showSelected();
}

// Selection, buttons, keys and the workers' progress and results, each to its handler.
void CheckWindow::wireEvents()
{
    connect(databaseList->selectionModel(), &QItemSelectionModel::currentRowChanged, this, &CheckWindow::showSelected);
    connect(m_databases, &QAbstractItemModel::dataChanged, this, [this](const QModelIndex &from, const QModelIndex &to) {
        const int row = databaseList->selectionModel()->currentIndex().row();
        if (row >= from.row() && row <= to.row())
            showSelected();
    });
    connect(recomputeButton, &QPushButton::clicked, this, &CheckWindow::recomputeSelected);
    connect(endFlagsButton, &QPushButton::clicked, this, &CheckWindow::rebuildEndFlagsSelected);
    connect(journalButton, &QPushButton::clicked, this, &CheckWindow::openJournal);
    connect(checkButton, &QPushButton::clicked, this, &CheckWindow::checkAll);
    connect(new QShortcut(QKeySequence::Refresh, this), &QShortcut::activated, this, &CheckWindow::checkAll);

    connect(&m_progress, &QFutureWatcherBase::progressRangeChanged, progress, &QProgressBar::setRange);
    connect(&m_progress, &QFutureWatcherBase::progressValueChanged, progress, &QProgressBar::setValue);
    connect(&m_round, &QFutureWatcherBase::progressValueChanged, this, [this](int checked) {
        status->setText(QStringLiteral("正在检查：已检查 %1 个数据库，共 %2 个。").arg(checked).arg(m_databases->rowCount()));
    });
    connect(&m_round, &QFutureWatcherBase::resultReadyAt, this, [this](int at) { m_databases->setChecked(m_round.resultAt(at)); });
    connect(&m_round, &QFutureWatcherBase::finished, this, &CheckWindow::roundFinished);

    // A repair or an undo that ends elsewhere: its database is checked again once the window is free.
    m_rechecks = new RecheckQueue([this] { return m_work == Work::None && !m_closeRequested; }, this);
    connect(m_rechecks, &RecheckQueue::due, this, [this](const QString &database) {
        if (const int row = m_databases->rowOf(database); row >= 0)
            recheck(m_databases->databaseAt(row), nullptr);
    });
}

// Work starts: the buttons that would start more go grey, and the progress bar shows, moving
// until the work gives it a range.
void CheckWindow::begin(Work work, const QString &what, const QFuture<void> &future)
{
    m_work = work;
    m_running = future;
    progress->setRange(0, 0);
    progress->show();
    m_progress.setFuture(future);
    status->setText(what);
    updateControls();
}

// Work ends with `result` in the status line. A window asked to close meanwhile closes now;
// false then.
bool CheckWindow::end(const QString &result)
{
    m_work = Work::None;
    m_running = QFuture<void>();
    m_progress.setFuture(QFuture<void>());
    progress->hide();
    status->setText(result);
    updateControls();
    if (!m_closeRequested)
        return true;
    close();
    return false;
}

void CheckWindow::closeEvent(QCloseEvent *event)
{
    if (m_work == Work::None) {
        event->accept();
        return;
    }
    event->ignore();
    m_closeRequested = true;
    *m_stopWalk = true;
    m_round.cancel();
    status->setText(QStringLiteral("正在停止，停止后关闭窗口……"));
}

void CheckWindow::checkAll()
{
    if (m_work != Work::None)
        return;
    m_rechecks->checking();
    QFuture<CheckWork::Listing> future = CheckWork::listDatabases();
    begin(Work::Checking, QStringLiteral("正在读取帐套列表……"), QFuture<void>(future));
    future.then(this, [this](const CheckWork::Listing &listing) { listed(listing.failure, listing.databases); });
}

// The list is in: its rows show at once, to be filled in as each database is checked.
void CheckWindow::listed(const QString &failure, const QList<DatabaseCheck> &databases)
{
    if (m_closeRequested) {
        end(QString());
        return;
    }
    const QString selected = m_selected;
    m_databases->setDatabases(databases);
    int row = m_databases->rowOf(selected);
    if (row < 0 && !databases.isEmpty())
        row = 0;
    if (row >= 0)
        databaseList->selectionModel()->setCurrentIndex(m_databases->index(row, 0),
                                                        QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    showSelected();
    if (!failure.isEmpty()) {
        end(QStringLiteral(
                "无法读取系统库 LQsystem 中的帐套列表：%1\n请检查数据位置（菜单中的“选择数据位置”，或 n3fix --data-dir 目录），"
                "然后按 F5 重新检查。")
                .arg(failure));
        return;
    }
    if (databases.isEmpty()) {
        end(QStringLiteral("系统库中没有帐套，或帐套都没有有效的会计年度。"));
        return;
    }
    const QFuture<DatabaseCheck> round = CheckWork::checkAll(databases);
    m_round.setFuture(round);
    begin(Work::Checking, QStringLiteral("正在检查：已检查 0 个数据库，共 %1 个。").arg(databases.size()), QFuture<void>(round));
}

void CheckWindow::roundFinished()
{
    // The watcher also reports the empty future it is left with after a round as finished, maybe
    // only once the next check has begun: only a round's own end counts.
    if (m_work != Work::Checking || !m_round.future().isValid())
        return;
    m_round.setFuture(QFuture<DatabaseCheck>());  // the results are in the list now
    const CheckListModel::Tally tally = m_databases->tally();
    end(QStringLiteral("共检查 %1 个数据库：%2 个有问题，%3 个无法读取。")
            .arg(m_databases->rowCount())
            .arg(tally.withFindings)
            .arg(tally.unreadable));
}

void CheckWindow::recheck(const DatabaseCheck &database, const std::function<void(const DatabaseCheck &)> &next)
{
    m_rechecks->checking(database.database);
    QFuture<DatabaseCheck> future = CheckWork::checkOne(database);
    begin(Work::Rechecking, QStringLiteral("正在检查%1……").arg(place(database)), QFuture<void>(future));
    future.then(this, [this, next](const DatabaseCheck &checked) {
        m_databases->setChecked(checked);
        if (end(QStringLiteral("已重新检查%1。").arg(place(checked))) && next)
            next(checked);
    });
}

void CheckWindow::recomputeSelected()
{
    if (const DatabaseCheck *selected = selectedDatabase(); selected && m_work == Work::None)
        recheck(*selected, [this](const DatabaseCheck &database) { askAndRecompute(database); });
}

void CheckWindow::rebuildEndFlagsSelected()
{
    if (const DatabaseCheck *selected = selectedDatabase(); selected && m_work == Work::None)
        recheck(*selected, [this](const DatabaseCheck &database) { askAndRebuildEndFlags(database); });
}

// Whether a repair may run on `database`: nothing stands in its way (else a box says what does), it
// has something to do (else a box says `nothingToDo`), and the user answers `question` with
// `confirm`. The second button, 取消, takes Enter and Esc: only `confirm` or its access key repairs.
bool CheckWindow::confirmed(const DatabaseCheck &database, const QString &failure, bool somethingToDo, const QString &nothingToDo,
                            const QString &question, const QString &confirm)
{
    if (const QString refusal = RepairBoxes::refusal(database, failure); !refusal.isEmpty()) {
        MessageBox::show(refusal, MessageBox::Icon::Critical);
        return false;
    }
    if (!somethingToDo) {
        MessageBox::show(nothingToDo);
        return false;
    }
    m_work = Work::Asking;
    updateControls();
    const int answer = MessageBox::ask(question, {confirm, QStringLiteral("取消")}, 1, 1);
    m_work = Work::None;
    updateControls();
    return answer == 0;
}

// The repair running in `future`, and once it is done, its report.
template <typename Run>
void CheckWindow::runRepair(const DatabaseCheck &database, const QString &what, QFuture<Run> future,
                            std::pair<QString, MessageBox::Icon> (*report)(const DatabaseCheck &, const Run &))
{
    begin(Work::Repairing, what, QFuture<void>(future));
    future.then(this, [this, database, report](const Run &run) {
        m_rechecks->ownRepair(run.journal);  // checked again below
        const auto [text, icon] = report(database, run);
        repaired(database, text, icon);
    });
}

// Asks with the plan just read; the recompute is held to that plan, so a row another program
// changes meanwhile stops it with nothing changed.
void CheckWindow::askAndRecompute(const DatabaseCheck &database)
{
    if (confirmed(database, database.recompute.failure, !database.recompute.rows.empty(),
                  QStringLiteral("%1中上级科目的余额都与下级科目合计相符，不需要重算。").arg(place(database)),
                  RepairBoxes::recomputeQuestion(database), QStringLiteral("重算(&R)")))
        runRepair(database, QStringLiteral("正在按下级科目重算%1……").arg(place(database)),
                  CheckWork::recompute(database, database.recompute), &RepairBoxes::recomputeReport);
}

void CheckWindow::askAndRebuildEndFlags(const DatabaseCheck &database)
{
    if (!confirmed(database, database.endFlags.failure, !database.endFlags.wrong.empty(),
                   QStringLiteral("%1的末级标志都正确，不需要重建。").arg(place(database)),
                   RepairBoxes::endFlagsQuestion(database), QStringLiteral("重建(&E)")))
        return;
    *m_stopWalk = false;
    runRepair(database, QStringLiteral("正在重建%1的末级标志……").arg(place(database)),
              CheckWork::rebuildEndFlags(database, m_stopWalk), &RepairBoxes::endFlagsReport);
}

// The box reports the repair while the database is checked again behind it.
void CheckWindow::repaired(const DatabaseCheck &database, const QString &report, MessageBox::Icon icon)
{
    if (!end(report.section(QLatin1Char('\n'), 0, 0)))
        return;
    recheck(database, nullptr);
    MessageBox::show(report, icon);
}

void CheckWindow::openJournal()
{
    WindowHub::show(WindowHub::Window::Journal);
}

// The findings of the selected database in the two tables below the list, each label with its
// count.
void CheckWindow::showSelected()
{
    const DatabaseCheck *database = selectedDatabase();
    const bool checked = database && database->checked;
    m_selected = database ? database->database : QString();
    m_wrongFlags->setFlags(checked ? database->endFlags.wrong : std::vector<repair::WrongFlag>());
    if (checked)
        m_disagreements->setDisagreements(database->balances.disagreements, database->balances.unreadable);
    else
        m_disagreements->setDisagreements({});
    wrongFlagsLabel->setText(QStringLiteral("末级标志错误(&B)：%1")
                                 .arg(checked ? QStringLiteral("%1 个").arg(database->endFlags.wrong.size()) : QString()));
    disagreementsLabel->setText(QStringLiteral("总账和明细账不符(&D)：%1")
                                    .arg(checked ? QStringLiteral("%1 处").arg(database->balances.disagreements.size()) : QString())
                                + (checked && !database->balances.unreadable.empty()
                                       ? QStringLiteral("，金额无法识别 %1 处").arg(database->balances.unreadable.size())
                                       : QString()));
    updateControls();
}

// Each repair button is enabled only when the selected database has something for it to do and
// no other work runs.
void CheckWindow::updateControls()
{
    const DatabaseCheck *database = selectedDatabase();
    const bool ready = m_work == Work::None && database && database->checked;
    recomputeButton->setEnabled(ready && database->recompute.failure.isEmpty() && !database->recompute.rows.empty());
    endFlagsButton->setEnabled(ready && database->endFlags.failure.isEmpty() && !database->endFlags.wrong.empty());
    checkButton->setEnabled(m_work == Work::None);
}

const DatabaseCheck *CheckWindow::selectedDatabase() const
{
    const QModelIndex current = databaseList->selectionModel()->currentIndex();
    return current.isValid() && current.row() < m_databases->rowCount() ? &m_databases->databaseAt(current.row()) : nullptr;
}
