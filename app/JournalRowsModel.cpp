#include "JournalRowsModel.h"

#include "db/DbError.h"
#include "repair/JournalReader.h"
#include "repair/RepairText.h"

#include <QStringList>

namespace {

constexpr auto Shown = repair::RepairText::Wording::Shown;

}  // namespace

JournalRowsModel::~JournalRowsModel() = default;

void JournalRowsModel::setRepair(const QString &directory, const repair::RepairRecord &record)
{
    beginResetModel();
    m_directory = directory;
    m_record = record;
    m_hasPeriod = record.keyColumns.contains(QStringLiteral("iperiod"), Qt::CaseInsensitive);
    m_rows.clear();
    m_failure.clear();
    m_current = std::make_unique<repair::CurrentValues>(record);
    try {
        m_journaled = repair::countRows(directory, record.id);
    } catch (const db::DbError &error) {
        m_journaled = 0;
        m_failure = error.description();
    }
    endResetModel();
}

void JournalRowsModel::clear()
{
    beginResetModel();
    m_record = {};
    m_rows.clear();
    m_journaled = 0;
    m_failure.clear();
    m_current.reset();
    endResetModel();
}

int JournalRowsModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int JournalRowsModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : (m_hasPeriod ? 5 : 4);
}

// Columns as shown: the period column only for rows of the balances.
JournalRowsModel::Column JournalRowsModel::columnAt(int section) const
{
    return Column(!m_hasPeriod && section >= Period ? section + 1 : section);
}

// Values as a bookkeeper reads them: amounts with their thousands separated, set to the right,
// and end-level flags in words with the value stored beside them.
QVariant JournalRowsModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return QVariant();
    const Column column = columnAt(index.column());
    if (role == Qt::TextAlignmentRole && column >= Before && repair::RepairText::changesAmounts(m_record))
        return QVariant(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole)
        return QVariant();
    const Row &row = m_rows.at(index.row());
    switch (column) {
    case Code:
        return repair::RepairText::keyValue(m_record, row.journaled, QStringLiteral("ccode"));
    case Period:
        return repair::RepairText::keyValue(m_record, row.journaled, QStringLiteral("iperiod"));
    case Before:
        return repair::RepairText::rowValues(m_record, row.journaled.oldValues, Shown);
    case Written:
        return repair::RepairText::rowValues(m_record, row.journaled.newValues, Shown);
    case Now:
        return row.now;
    }
    return QVariant();
}

QVariant JournalRowsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (columnAt(section)) {
    case Code:
        return QStringLiteral("科目编码");
    case Period:
        return QStringLiteral("月份");
    case Before:
        return QStringLiteral("修复前");
    case Written:
        return QStringLiteral("修复写入");
    case Now:
        return QStringLiteral("现在");
    }
    return QVariant();
}

bool JournalRowsModel::canFetchMore(const QModelIndex &parent) const
{
    return !parent.isValid() && m_failure.isEmpty() && m_rows.size() < m_journaled;
}

// Reads the next page of the journal and what the database holds now in those rows.
void JournalRowsModel::fetchMore(const QModelIndex &parent)
{
    if (!canFetchMore(parent))
        return;
    QList<repair::JournalRow> page;
    try {
        page = repair::readRows(m_directory, m_record.id, m_rows.size(), PageSize);
    } catch (const db::DbError &error) {
        m_failure = error.description();
        return;
    }
    if (page.isEmpty()) {  // the journal holds fewer rows than it did when counted
        m_journaled = m_rows.size();
        return;
    }
    beginInsertRows(QModelIndex(), int(m_rows.size()), int(m_rows.size() + page.size() - 1));
    QString unreadable;
    for (const repair::JournalRow &row : std::as_const(page))
        m_rows.append({row, nowText(row, unreadable)});
    endInsertRows();
}

// The current value of one journaled row as the user reads it. Once the database could not be
// read (`unreadable` says why), the rest of the page says so without waiting on it again.
QString JournalRowsModel::nowText(const repair::JournalRow &row, QString &unreadable)
{
    if (!unreadable.isEmpty())
        return unreadable;
    try {
        const QList<QVariantList> found = m_current->of(row);
        if (found.isEmpty())
            return QStringLiteral("记录已不存在");
        QStringList shown;
        for (const QVariantList &values : found)
            if (const QString text = repair::RepairText::rowValues(m_record, values, Shown); !shown.contains(text))
                shown << text;
        return shown.join(QStringLiteral("；"));
    } catch (const db::DbError &error) {
        unreadable = QStringLiteral("无法读取：") + error.description().simplified();
        return unreadable;
    }
}
