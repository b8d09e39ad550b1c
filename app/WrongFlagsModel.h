#pragma once

#include "repair/EndFlagCheck.h"

#include <QAbstractTableModel>

#include <vector>

// The end-level flags of one database that the end-flag repair would change, as a table: the
// account code, the flag it holds now, and the flag it should hold.
class WrongFlagsModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Code, Now, Right, ColumnCount };

    using QAbstractTableModel::QAbstractTableModel;

    void setFlags(const std::vector<repair::WrongFlag> &flags);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    std::vector<repair::WrongFlag> m_flags;
};
