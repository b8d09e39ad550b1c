#include "DisagreementsModel.h"

#include "db/StoredValue.h"
#include "repair/RepairText.h"

void DisagreementsModel::setDisagreements(const std::vector<repair::BalanceDisagreement> &disagreements,
                                          const std::vector<repair::UnreadableAmount> &unreadable)
{
    beginResetModel();
    m_disagreements = disagreements;
    m_unreadable = unreadable;
    endResetModel();
}

int DisagreementsModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_disagreements.size() + m_unreadable.size());
}

int DisagreementsModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

// Amounts as a bookkeeper reads them, set to the right with their thousands separated; an account with no balance row in the
// period says so, and differs from its sub-accounts by all they add up to.
QVariant DisagreementsModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return QVariant();
    if (role == Qt::TextAlignmentRole && index.column() >= Amount)
        return QVariant(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole)
        return QVariant();
    if (std::size_t(index.row()) >= m_disagreements.size())
        return unreadableData(m_unreadable[std::size_t(index.row()) - m_disagreements.size()], index.column());
    const repair::BalanceDisagreement &found = m_disagreements[std::size_t(index.row())];
    switch (index.column()) {
    case Code:
        return db::shownCode(found.code);
    case Period:
        return db::shownValue(found.period);
    case AmountColumn:
        return found.column;
    case Amount:
        return found.amount ? repair::RepairText::moneyShown(*found.amount) : repair::RepairText::noBalanceRow();
    case SubAccountsSum:
        return repair::RepairText::moneyShown(found.subAccountsSum);
    case Difference:
        try {
            return repair::RepairText::moneyShown(found.amount.value_or(repair::Money()) - found.subAccountsSum);
        } catch (const repair::MoneyOutOfRange &) {
            return QStringLiteral("超出范围");
        }
    default:
        return QVariant();
    }
}

// An amount that can't be read: what is stored, quoted, and no sum or difference worked out.
QVariant DisagreementsModel::unreadableData(const repair::UnreadableAmount &amount, int column)
{
    switch (column) {
    case Code:
        return db::shownCode(amount.code);
    case Period:
        return db::shownValue(amount.period);
    case AmountColumn:
        return amount.column;
    case Amount:
        return QStringLiteral("“%1”").arg(repair::storedAmountText(amount.stored));
    case Difference:
        return QStringLiteral("金额无法识别");
    default:
        return QVariant();
    }
}

QVariant DisagreementsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    static const QString titles[ColumnCount] = {QStringLiteral("科目编码"),     QStringLiteral("月份"),
                                                QStringLiteral("金额栏"),       QStringLiteral("本科目金额"),
                                                QStringLiteral("下级科目合计"), QStringLiteral("差额")};
    return section >= 0 && section < ColumnCount ? titles[section] : QVariant();
}
