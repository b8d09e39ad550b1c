#include "RepairDescription.h"

#include "cli/JournalText.h"
#include "cli/Output.h"

#include <QStringList>

namespace RepairDescription {

QString kind(const repair::RepairRecord &record)
{
    if (record.repair == QLatin1String("balance-reset"))
        return QStringLiteral("修正科目错误");
    if (record.repair == QLatin1String("end-flags"))
        return QStringLiteral("彻底根除");
    if (record.repair == QLatin1String("recompute-balances"))
        return QStringLiteral("按下级科目重算");
    return QStringLiteral("撤销 %1").arg(record.undoes);
}

QString accountSetAndYear(const repair::RepairRecord &record)
{
    return accountSetAndYear(record.accountSet, record.year, record.database);
}

QString accountSetAndYear(const QString &accountSet, const QString &year, const QString &database)
{
    return QStringLiteral("帐套 %1，%2 年度（%3）").arg(accountSet, year, database);
}

QString inputs(const repair::RepairRecord &record)
{
    if (record.repair != QLatin1String("balance-reset"))
        return QString();
    return QStringLiteral("科目 %1，%2 月起").arg(record.code, record.period);
}

QString outcome(const repair::RepairRecord &record)
{
    // The walk writes every row in turn, so the rows it wrote say where it ended.
    const qint64 reached = qMax<qint64>(record.rowsDone, 0);
    if (record.outcome == QLatin1String("completed"))
        return QStringLiteral("完成");
    if (record.outcome == QLatin1String("stopped"))
        return QStringLiteral("在第 %1 行停止").arg(reached);
    if (record.outcome == QLatin1String("failed"))
        return QStringLiteral("在第 %1 行失败：%2").arg(reached + 1).arg(record.message);
    if (record.outcome == QLatin1String("rolled-back"))
        return QStringLiteral("失败，未改动任何记录：%1").arg(record.message);
    return record.running ? QStringLiteral("正在进行") : QStringLiteral("未记录结束");
}

QString rowsChanged(const repair::RepairRecord &record)
{
    return record.rowsChanged < 0 ? QStringLiteral("—") : QString::number(record.rowsChanged);
}

QString time(const repair::RepairRecord &record)
{
    return record.time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString summary(const repair::RepairRecord &record)
{
    QStringList parts{kind(record), accountSetAndYear(record)};
    if (!inputs(record).isEmpty())
        parts << inputs(record);
    return QStringLiteral("%1（%2）").arg(record.id, parts.join(QStringLiteral("，")));
}

namespace {

// The key value of the column named `name` (as the engine compares names, without regard to
// case), as the user reads it; empty when the repair has no such column.
QString keyValue(const repair::RepairRecord &record, const repair::JournalRow &row, const QString &name)
{
    for (int i = 0; i < record.keyColumns.size(); ++i)
        if (record.keyColumns.at(i).compare(name, Qt::CaseInsensitive) == 0)
            return cli::shownValue(row.key.value(i));
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
    const QString month = period(record, row);
    return month.isEmpty() ? code(record, row) : QStringLiteral("%1，%2 月").arg(code(record, row), month);
}

QString values(const repair::RepairRecord &record, const QVariantList &values)
{
    if (record.changedColumns.size() == 1)
        return cli::shownValue(values.value(0));
    return cli::valuesText(record, values);
}

} // namespace RepairDescription
