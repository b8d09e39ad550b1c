#pragma once

#include "JournalFolderWatch.h"

#include <QList>
#include <QString>
#include <QWidget>

class JournalRowsModel;
class QLabel;
class QPushButton;
class QTableView;
class RepairListModel;

namespace repair {
struct RepairRecord;
}

// The repair journal in a window of its own: every repair of the engine in use, newest first;
// the rows the selected one changed, with what the database holds now; and a button that undoes
// it as n3fix --undo does. The list follows other processes' repairs (JournalFolderWatch), and F5
// reads it again.
class JournalWindow : public QWidget {
    Q_OBJECT
public:
    explicit JournalWindow(QWidget *parent = nullptr);

    // Controls, top of the window to the bottom.
    QLabel *repairListLabel;
    QTableView *repairList;
    QLabel *rowListLabel;
    QTableView *rowList;
    QLabel *rowSummary;  // how many rows the selected repair changed, or why they can't be read
    QPushButton *undoButton;
    QPushButton *refreshButton;

    // Reads the journal directory and the selected repair's rows again (F5), keeping the selected
    // repair selected.
    void refresh();
    // Asks, then undoes the selected repair and reports what was put back.
    void undoSelected();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void setupUi();
    void wireEvents();
    void showRepairs(const QList<repair::RepairRecord> &repairs);
    void showSelectedRepair();
    void updateControls();
    // The selected repair, or null.
    const repair::RepairRecord *selectedRepair() const;

    JournalFolderWatch m_folder;  // reads the list again whenever a repair begins or ends
    QString m_directory;          // the journal directory of the engine in use
    RepairListModel *m_repairs;
    JournalRowsModel *m_rows;
    QString m_shownRepair;  // the repair whose rows are shown, with the state they were read in
};
