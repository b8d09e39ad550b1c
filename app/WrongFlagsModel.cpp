#include "WrongFlagsModel.h"

#include "db/StoredValue.h"
#include "repair/RepairText.h"

void WrongFlagsModel::setFlags(const std::vector<repair::WrongFlag> &flags)
{
    beginResetModel();
    m_flags = flags;
    endResetModel();
}

int WrongFlagsModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_flags.size());
}

int WrongFlagsModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

// Flags in words with the value stored beside them ("否（0）"), as a bookkeeper reads them.
QVariant WrongFlagsModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || std::size_t(index.row()) >= m_flags.size() || role != Qt::DisplayRole)
        return QVariant();
    const repair::WrongFlag &flag = m_flags[std::size_t(index.row())];
    switch (index.column()) {
    case Code:
        return db::shownCode(flag.code);
    case Now:
        return repair::RepairText::flagShown(flag.flag);
    case Right:
        return repair::RepairText::flagShown(flag.right);
    default:
        return QVariant();
    }
}

QVariant WrongFlagsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    static const QString titles[ColumnCount] = {QStringLiteral("科目编码"), QStringLiteral("现在的末级标志"),
                                                QStringLiteral("应为")};
    return section >= 0 && section < ColumnCount ? titles[section] : QVariant();
}
