#pragma once

#include "repair/BalanceCheck.h"

#include <QAbstractTableModel>

#include <vector>

// Where one database's general ledger and detail ledgers disagree, as a table: the account code,
// the period, the amount column (mb, md, mc or another one checked), the account's own amount,
// the sum of its direct sub-accounts' amounts, and the difference between the two; after them the
// amounts that can't be read, each with what is stored.
class DisagreementsModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Code, Period, AmountColumn, Amount, SubAccountsSum, Difference, ColumnCount };

    using QAbstractTableModel::QAbstractTableModel;

    void setDisagreements(const std::vector<repair::BalanceDisagreement> &disagreements,
                          const std::vector<repair::UnreadableAmount> &unreadable = {});

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    static QVariant unreadableData(const repair::UnreadableAmount &amount, int column);

    std::vector<repair::BalanceDisagreement> m_disagreements;
    std::vector<repair::UnreadableAmount> m_unreadable;
};
