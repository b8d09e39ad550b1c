#pragma once

#include "DatabaseCheck.h"
#include "MessageBox.h"

#include <QFuture>
#include <QFutureWatcher>
#include <QWidget>

#include <atomic>
#include <functional>
#include <memory>
#include <utility>

class CheckListModel;
class DisagreementsModel;
class QLabel;
class QProgressBar;
class QPushButton;
class QTableView;
class RecheckQueue;
class WrongFlagsModel;

// The checks and their repairs in a window of their own, for a bookkeeper without a terminal:
// every account set's live year with what the end-flag check, the balance check and the
// recompute's plan find in its database; the selected database's wrong flags and ledger
// disagreements; and the recompute and the end-flag repair on it, each asked for first and
// journaled as from the command line. Checks and repairs run in worker threads (CheckWork) while
// the window keeps answering; one piece of work runs at a time. A repair or an undo that ends
// anywhere else has its database checked again by itself (RecheckQueue).
class CheckWindow : public QWidget {
    Q_OBJECT
public:
    explicit CheckWindow(QWidget *parent = nullptr);
    ~CheckWindow() override;

    // Controls, top of the window to the bottom.
    QLabel *databaseListLabel;
    QTableView *databaseList;
    QLabel *wrongFlagsLabel;
    QTableView *wrongFlagsList;
    QLabel *disagreementsLabel;
    QTableView *disagreementsList;
    QLabel *status;  // what the window is doing, or what the last piece of work found
    QProgressBar *progress;
    QPushButton *recomputeButton;
    QPushButton *endFlagsButton;
    QPushButton *journalButton;
    QPushButton *checkButton;

    // Checks every account set's years again (F5, 重新检查).
    void checkAll();
    // Checks the selected database again, asks, then recomputes its parent accounts' balances.
    void recomputeSelected();
    // Checks the selected database again, asks, then rebuilds its end-level flags.
    void rebuildEndFlagsSelected();
    // Opens the journal window on the same data, or brings it to the front.
    void openJournal();
    // Whether a check or a repair is under way.
    bool busy() const { return m_work != Work::None; }

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    enum class Work { None, Checking, Rechecking, Asking, Repairing };

    void setupUi();
    void wireEvents();
    void begin(Work work, const QString &what, const QFuture<void> &future = QFuture<void>());
    bool end(const QString &result);
    void listed(const QString &failure, const QList<DatabaseCheck> &databases);
    void roundFinished();
    // Checks `database` again and shows it; then hands the new findings to `next`, if any.
    void recheck(const DatabaseCheck &database, const std::function<void(const DatabaseCheck &)> &next);
    bool confirmed(const DatabaseCheck &database, const QString &failure, bool somethingToDo, const QString &nothingToDo,
                   const QString &question, const QString &confirm);
    template <typename Run>
    void runRepair(const DatabaseCheck &database, const QString &what, QFuture<Run> future,
                   std::pair<QString, MessageBox::Icon> (*report)(const DatabaseCheck &, const Run &));
    void askAndRecompute(const DatabaseCheck &database);
    void askAndRebuildEndFlags(const DatabaseCheck &database);
    // After a repair: the database is checked again while the box reports what was done.
    void repaired(const DatabaseCheck &database, const QString &report, MessageBox::Icon icon);
    void showSelected();
    void updateControls();
    const DatabaseCheck *selectedDatabase() const;

    CheckListModel *m_databases;
    WrongFlagsModel *m_wrongFlags;
    DisagreementsModel *m_disagreements;
    Work m_work = Work::None;
    QFuture<void> m_running;                // the work in a worker thread, waited for when the window goes
    QFutureWatcher<void> m_progress;        // of whatever runs
    QFutureWatcher<DatabaseCheck> m_round;  // a check of every database, a result each
    std::shared_ptr<std::atomic<bool>> m_stopWalk = std::make_shared<std::atomic<bool>>(false);
    bool m_closeRequested = false;
    QString m_selected;        // the database selected, kept across a new list
    RecheckQueue *m_rechecks;  // databases whose repair or undo ended elsewhere, to check again
    QString m_reportName;      // the file name proposed for the report last built
};
