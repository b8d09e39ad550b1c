#include "JournalText.h"

#include "Output.h"

#include <QStringList>

namespace cli {

QString outcomeOf(const repair::RepairRecord &record)
{
    if (record.outcome.isEmpty())
        return record.running ? QStringLiteral("running") : QStringLiteral("stopped");
    return record.outcome;
}

namespace {

QJsonValue count(qint64 n)
{
    return n < 0 ? QJsonValue(QJsonValue::Null) : QJsonValue(n);
}

QString repairName(const repair::RepairRecord &record)
{
    if (record.repair == QLatin1String("balance-reset"))
        return QStringLiteral("余额清零（修正科目错误）");
    if (record.repair == QLatin1String("end-flags"))
        return QStringLiteral("重建末级标志（彻底根除）");
    if (record.repair == QLatin1String("recompute-balances"))
        return QStringLiteral("按下级科目重算");
    return QStringLiteral("撤销 %1").arg(record.undoes);
}

QString outcomeText(const repair::RepairRecord &record)
{
    if (record.outcome == QLatin1String("completed"))
        return QStringLiteral("完成");
    if (record.outcome == QLatin1String("failed"))
        return QStringLiteral("在第 %1 行失败：%2").arg(record.rowsDone + 1).arg(record.message);
    if (record.outcome == QLatin1String("stopped"))
        return QStringLiteral("写入 %1 行后停止").arg(record.rowsDone);
    if (record.outcome == QLatin1String("rolled-back"))
        return QStringLiteral("修复失败，未改动任何记录：%1").arg(record.message);
    if (record.running)
        return QStringLiteral("正在进行");
    return QStringLiteral("未记录结束（程序在修复中途被终止，或未能写下结果）");
}

} // namespace

QJsonObject repairJson(const repair::RepairRecord &record)
{
    QJsonObject inputs{{QStringLiteral("account_set"), record.accountSet}, {QStringLiteral("year"), record.year}};
    if (record.repair == QLatin1String("balance-reset")) {
        inputs.insert(QStringLiteral("code"), record.code);
        inputs.insert(QStringLiteral("period"), record.period);
    }
    if (!record.undoes.isEmpty())
        inputs.insert(QStringLiteral("undoes"), record.undoes);
    QJsonObject json{{QStringLiteral("id"), record.id},
                     {QStringLiteral("time"), record.time.toString(Qt::ISODateWithMs)},
                     {QStringLiteral("database"), record.database},
                     {QStringLiteral("engine"), record.engine},
                     {QStringLiteral("repair"), record.repair},
                     {QStringLiteral("inputs"), inputs},
                     {QStringLiteral("rows_done"), count(record.rowsDone)},
                     {QStringLiteral("rows_changed"), count(record.rowsChanged)},
                     {QStringLiteral("rows_visited"), count(record.rowsVisited)},
                     {QStringLiteral("outcome"), outcomeOf(record)},
                     {QStringLiteral("running"), record.running},
                     {QStringLiteral("undone_by"), record.undoneBy.isEmpty() ? QJsonValue(QJsonValue::Null)
                                                                             : QJsonValue(record.undoneBy)}};
    if (!record.message.isEmpty())
        json.insert(QStringLiteral("message"), record.message);
    return json;
}

QString repairLine(const repair::RepairRecord &record)
{
    QStringList inputs{QStringLiteral("帐套 %1").arg(record.accountSet), QStringLiteral("年度 %1").arg(record.year)};
    if (record.repair == QLatin1String("balance-reset"))
        inputs << QStringLiteral("科目 %1").arg(record.code) << QStringLiteral("月份 %1 起").arg(record.period);
    return QStringLiteral("%1  %2  %3  %4（%5）  改动 %6 行  %7%8")
        .arg(record.id, record.time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), record.database, repairName(record),
             inputs.join(QStringLiteral("，")), record.rowsChanged < 0 ? QStringLiteral("?") : QString::number(record.rowsChanged),
             outcomeText(record),
             record.undoneBy.isEmpty() ? QString() : QStringLiteral("  已由 %1 撤销").arg(record.undoneBy));
}

QJsonObject keyJson(const repair::RepairRecord &record, const repair::JournalRow &row)
{
    QJsonObject key;
    if (!row.rowid.isNull())
        key.insert(record.rowidName, jsonValue(row.rowid));
    for (int i = 0; i < record.keyColumns.size(); ++i)
        key.insert(record.keyColumns.at(i), jsonValue(row.key.value(i)));
    return key;
}

QString keyText(const repair::RepairRecord &record, const repair::JournalRow &row)
{
    QStringList parts;
    if (!row.rowid.isNull())
        parts << record.rowidName + QLatin1Char('=') + shownValue(row.rowid);
    for (int i = 0; i < record.keyColumns.size(); ++i)
        parts << record.keyColumns.at(i) + QLatin1Char('=') + shownValue(row.key.value(i));
    return parts.join(QLatin1Char(' '));
}

QJsonObject valuesJson(const repair::RepairRecord &record, const QVariantList &values)
{
    QJsonObject json;
    for (int i = 0; i < record.changedColumns.size(); ++i)
        json.insert(record.changedColumns.at(i), jsonValue(values.value(i)));
    return json;
}

QString valuesText(const repair::RepairRecord &record, const QVariantList &values)
{
    QStringList parts;
    for (int i = 0; i < record.changedColumns.size(); ++i)
        parts << record.changedColumns.at(i) + QLatin1Char('=') + shownValue(values.value(i));
    return parts.join(QLatin1Char(' '));
}

} // namespace cli
