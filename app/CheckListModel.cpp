#include "CheckListModel.h"

#include "repair/RepairText.h"

#include <QStringList>

namespace {

// A count of a check that could not read its tables is not zero: it is unknown.
const QString Unknown = QStringLiteral("—");

}  // namespace

void CheckListModel::setDatabases(const QList<DatabaseCheck> &databases)
{
    beginResetModel();
    m_databases = databases;
    endResetModel();
}

void CheckListModel::setChecked(const DatabaseCheck &database)
{
    const int row = rowOf(database.database);
    if (row < 0)
        return;
    m_databases[row] = database;
    emit dataChanged(index(row, 0), index(row, ColumnCount - 1));
}

int CheckListModel::rowOf(const QString &database) const
{
    for (int row = 0; row < m_databases.size(); ++row)
        if (m_databases.at(row).database == database)
            return row;
    return -1;
}

CheckListModel::Tally CheckListModel::tally() const
{
    Tally tally;
    for (const DatabaseCheck &database : m_databases) {
        if (!database.failure().isEmpty())
            ++tally.unreadable;
        else if (!database.endFlags.wrong.empty() || database.balances.findsSomething() || !database.recompute.missingRows.empty())
            ++tally.withFindings;
    }
    return tally;
}

int CheckListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_databases.size());
}

int CheckListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QString CheckListModel::note(const DatabaseCheck &database)
{
    if (!database.checked)
        return QStringLiteral("正在检查…");
    QStringList parts;
    if (database.runningRepair)
        parts << QStringLiteral("另一个程序正在修复这个数据库（%1，修复日志 %2）")
                     .arg(repair::RepairText::name(*database.runningRepair, repair::RepairText::Form::Short),
                          database.runningRepair->id);
    if (const QString failure = database.failure(); !failure.isEmpty())
        parts << QStringLiteral("无法读取：") + failure;
    if (const std::size_t unreadable = database.balances.unreadable.size(); unreadable > 0)
        parts << QStringLiteral("%1 处金额无法识别").arg(unreadable);
    if (const std::size_t duplicates = database.recompute.duplicateRows.size(); duplicates > 0)
        parts << QStringLiteral("%1 个期间有多条余额行，无法重算").arg(duplicates);
    QStringList repairs;  // the window's buttons that mend something here
    if (database.endFlags.failure.isEmpty() && !database.endFlags.wrong.empty())
        repairs << QStringLiteral("重建末级标志");
    if (database.recompute.failure.isEmpty() && !database.recompute.rows.empty())
        repairs << QStringLiteral("按下级科目重算");
    if (!repairs.isEmpty())
        parts << QStringLiteral("可以%1").arg(repairs.join(QStringLiteral("、")));
    if (parts.isEmpty() && !database.balances.findsSomething() && database.recompute.missingRows.empty())
        parts << QStringLiteral("没有发现问题");
    return parts.join(QStringLiteral("；"));
}

QString CheckListModel::cell(const DatabaseCheck &database, int column) const
{
    switch (column) {
    case AccountSet:
        return QStringLiteral("%1(%2)").arg(database.accountSet, database.accountSetName);
    case Year:
        return QStringLiteral("%1（%2）").arg(database.year, database.database);
    case Note:
        return note(database);
    default:
        break;
    }
    if (!database.checked)
        return QString();
    const repair::BalanceCheck &balances = database.balances;
    switch (column) {
    case WrongFlags:
        return database.endFlags.failure.isEmpty() ? QString::number(database.endFlags.wrong.size()) : Unknown;
    case Disagreements:
        if (!balances.failure.isEmpty())
            return Unknown;
        return balances.accounts == 0 ? QStringLiteral("0")
                                      : QStringLiteral("%1 个科目，%2 个期间").arg(balances.accounts).arg(balances.periods);
    case MissingRows:
        return database.recompute.failure.isEmpty() ? QString::number(database.recompute.missingRows.size()) : Unknown;
    case Orphans:
        return balances.failure.isEmpty() ? QString::number(balances.orphans.size()) : Unknown;
    default:
        return QString();
    }
}

QVariant CheckListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_databases.size())
        return QVariant();
    const DatabaseCheck &database = m_databases.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return cell(database, index.column());
    case Qt::ToolTipRole:
        return index.column() == Note ? note(database) : QVariant();
    case Qt::TextAlignmentRole:
        if (index.column() >= WrongFlags && index.column() <= Orphans)
            return QVariant(Qt::AlignRight | Qt::AlignVCenter);
        return QVariant();
    default:
        return QVariant();
    }
}

QVariant CheckListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    static const QString titles[ColumnCount] = {QStringLiteral("帐套"),         QStringLiteral("年度（数据库）"),
                                                QStringLiteral("末级标志错误"), QStringLiteral("总账和明细账不符"),
                                                QStringLiteral("缺少余额行"),   QStringLiteral("无科目的余额行"),
                                                QStringLiteral("说明")};
    return section >= 0 && section < ColumnCount ? titles[section] : QVariant();
}
