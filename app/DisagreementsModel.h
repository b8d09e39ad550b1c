#pragma once

#include "repair/BalanceCheck.h"

#include <QAbstractTableModel>

#include <vector>

// Where one database's general ledger and detail ledgers disagree, as a table: the account code,
// the period, the amount column (mb, md or mc), the account's own amount, the sum of its direct
// sub-accounts' amounts, and the difference between the two.
class DisagreementsModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Code, Period, AmountColumn, Amount, SubAccountsSum, Difference, ColumnCount };

    using QAbstractTableModel::QAbstractTableModel;

    void setDisagreements(const std::vector<repair::BalanceDisagreement> &disagreements);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    std::vector<repair::BalanceDisagreement> m_disagreements;
};
