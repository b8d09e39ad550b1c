#include "RepairDescription.h"

#include "db/StoredValue.h"
#include "repair/RepairText.h"

namespace RepairDescription {

namespace {

// The key value of the column named `name` (as the engine compares names, without regard to
// case), as the user reads it; empty when the repair has no such column.
QString keyValue(const repair::RepairRecord &record, const repair::JournalRow &row, const QString &name)
{
    for (int i = 0; i < record.keyColumns.size(); ++i)
        if (record.keyColumns.at(i).compare(name, Qt::CaseInsensitive) == 0)
            return db::shownValue(row.key.value(i));
    return QString();
}

} // namespace

QString code(const repair::RepairRecord &record, const repair::JournalRow &row)
{
    return keyValue(record, row, QStringLiteral("ccode"));
}

QString period(const repair::RepairRecord &record, const repair::JournalRow &row)
{
    return keyValue(record, row, QStringLiteral("iperiod"));
}

QString place(const repair::RepairRecord &record, const repair::JournalRow &row)
{
    return repair::RepairText::rowPlace(record, row);
}

QString values(const repair::RepairRecord &record, const QVariantList &values)
{
    return repair::RepairText::rowValues(record, values);
}

} // namespace RepairDescription
