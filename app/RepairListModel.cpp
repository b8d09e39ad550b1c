#include "RepairListModel.h"

#include "repair/RepairText.h"

namespace Text = repair::RepairText;

void RepairListModel::setRepairs(const QList<repair::RepairRecord> &repairs)
{
    beginResetModel();
    m_repairs = repairs;
    endResetModel();
}

int RepairListModel::rowOf(const QString &id) const
{
    for (int row = 0; row < m_repairs.size(); ++row)
        if (m_repairs.at(row).id == id)
            return row;
    return -1;
}

int RepairListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_repairs.size());
}

int RepairListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

// A cell's text; a repair that was undone says by which undo beside its name, and the whole row
// carries its journal id as a tooltip.
QVariant RepairListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_repairs.size())
        return QVariant();
    const repair::RepairRecord &record = m_repairs.at(index.row());
    if (role == Qt::ToolTipRole)
        return QStringLiteral("修复日志编号 %1").arg(record.id);
    if (role == Qt::TextAlignmentRole && index.column() == RowsChanged)
        return QVariant(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole)
        return QVariant();
    switch (index.column()) {
    case Time:
        return repair::RepairText::time(record);
    case AccountSet:
        return repair::RepairText::accountSetAndYear(record);
    case User:
        return Text::user(record);
    case Host:
        return Text::host(record);
    case Repair:
        return record.undoneBy.isEmpty()
                   ? Text::name(record, Text::Form::Short)
                   : QStringLiteral("%1（已由 %2 撤销）").arg(Text::name(record, Text::Form::Short), record.undoneBy);
    case Inputs:
        return repair::RepairText::inputs(record);
    case RowsChanged:
        return repair::RepairText::rowsChanged(record);
    case Outcome:
        return repair::RepairText::outcome(record, Text::Form::Short);
    default:
        return QVariant();
    }
}

QVariant RepairListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    static const QString titles[ColumnCount] = {
        QStringLiteral("时间"), QStringLiteral("帐套、年度"), QStringLiteral("操作人"),   QStringLiteral("计算机"),
        QStringLiteral("修复"), QStringLiteral("输入"),       QStringLiteral("改动行数"), QStringLiteral("结果")};
    return section >= 0 && section < ColumnCount ? titles[section] : QVariant();
}
