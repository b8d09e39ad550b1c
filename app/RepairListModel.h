#pragma once

#include "repair/RepairRecord.h"

#include <QAbstractTableModel>
#include <QList>

// The journaled repairs as a table, one row each, newest first: time, account set and year, who
// ran it and on which computer, repair, inputs, rows changed and outcome. It holds records read elsewhere and knows nothing of
// the window's buttons.
class RepairListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Time, AccountSet, User, Host, Repair, Inputs, RowsChanged, Outcome, ColumnCount };

    using QAbstractTableModel::QAbstractTableModel;

    void setRepairs(const QList<repair::RepairRecord> &repairs);
    const repair::RepairRecord &repairAt(int row) const { return m_repairs.at(row); }
    // The row of repair `id`, or -1.
    int rowOf(const QString &id) const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    QList<repair::RepairRecord> m_repairs;
};
