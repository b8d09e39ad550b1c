#include "JournalText.h"

#include "Output.h"

#include "db/ODBC.h"
#include "db/StoredValue.h"
#include "repair/RepairPlace.h"
#include "repair/RepairText.h"

#include <QStringList>

namespace cli {

QString outcomeOf(const repair::RepairRecord &record)
{
    if (record.outcome == repair::Outcome::Unrecorded)
        return record.running ? QStringLiteral("running") : QStringLiteral("stopped");
    return repair::storedName(record.outcome);
}

namespace {

QJsonValue count(qint64 n)
{
    return n < 0 ? QJsonValue(QJsonValue::Null) : QJsonValue(n);
}

// A name the journal records, null where it does not (a journal of an earlier version).
QJsonValue name(const QString &text)
{
    return text.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(text);
}

}  // namespace

QJsonObject repairJson(const repair::RepairRecord &record)
{
    QJsonObject inputs{{QStringLiteral("account_set"), record.accountSet}, {QStringLiteral("year"), record.year}};
    if (record.repair == repair::RepairKind::BalanceReset) {
        inputs.insert(QStringLiteral("code"), record.code);
        inputs.insert(QStringLiteral("period"), record.period);
    }
    if (!record.undoes.isEmpty())
        inputs.insert(QStringLiteral("undoes"), record.undoes);
    QJsonObject json{
        {QStringLiteral("id"), record.id},
        {QStringLiteral("time"), record.time.toString(Qt::ISODateWithMs)},
        {QStringLiteral("database"), record.database},
        {QStringLiteral("engine"), repair::RepairPlace::madeOverOdbc(record.engine) ? QStringLiteral("odbc") : record.engine},
        {QStringLiteral("server"), name(repair::RepairPlace::server(record.engine))},
        {QStringLiteral("repair"), repair::storedName(record.repair)},
        {QStringLiteral("inputs"), inputs},
        {QStringLiteral("rows_done"), count(record.rowsDone)},
        {QStringLiteral("rows_changed"), count(record.rowsChanged)},
        {QStringLiteral("rows_visited"), count(record.rowsVisited)},
        {QStringLiteral("outcome"), outcomeOf(record)},
        {QStringLiteral("running"), record.running},
        {QStringLiteral("undone_by"), record.undoneBy.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(record.undoneBy)}};
    json.insert(QStringLiteral("user"), name(record.user));
    json.insert(QStringLiteral("host"), name(record.host));
    if (!record.message.isEmpty())
        json.insert(QStringLiteral("message"), record.message);
    return json;
}

QString repairLine(const repair::RepairRecord &record)
{
    namespace Text = repair::RepairText;
    QStringList given{Text::accountSetAndYear(record.accountSet, record.year)};
    if (!Text::inputs(record).isEmpty())
        given << Text::inputs(record);
    return QStringLiteral("%1  %2  %3  %4（%5）  %6  改动 %7 行  %8%9")
        .arg(record.id, Text::time(record), record.database, Text::name(record, Text::Form::Long), given.join(QStringLiteral("，")),
             Text::userAndHost(record), Text::rowsChanged(record), Text::outcome(record, Text::Form::Long),
             record.undoneBy.isEmpty() ? QString() : QStringLiteral("  已由 %1 撤销").arg(record.undoneBy));
}

QJsonObject keyJson(const repair::RepairRecord &record, const repair::JournalRow &row)
{
    // In the balance table every column but the code, the period and the rowid is an amount, also
    // one a repair finds its rows by without writing it: in exact digits, as amountJson() gives it.
    const bool amounts = record.table.compare(QLatin1String("GL_accsum"), Qt::CaseInsensitive) == 0;
    const auto isAmount = [&](const QString &column) {
        return amounts && column.compare(QLatin1String("ccode"), Qt::CaseInsensitive) != 0
               && column.compare(QLatin1String("iperiod"), Qt::CaseInsensitive) != 0
               && column.compare(record.rowidName, Qt::CaseInsensitive) != 0;
    };
    QJsonObject key;
    if (!row.rowid.isNull())
        key.insert(record.rowidName, db::jsonValue(row.rowid));
    for (int i = 0; i < record.keyColumns.size(); ++i) {
        const QString &column = record.keyColumns.at(i);
        key.insert(column, isAmount(column) ? amountJson(row.key.value(i)) : db::jsonValue(row.key.value(i)));
    }
    return key;
}

QString keyText(const repair::RepairRecord &record, const repair::JournalRow &row)
{
    QStringList parts;
    if (!row.rowid.isNull())
        parts << record.rowidName + QLatin1Char('=') + db::shownValue(row.rowid);
    for (int i = 0; i < record.keyColumns.size(); ++i)
        parts << record.keyColumns.at(i) + QLatin1Char('=') + db::shownValue(row.key.value(i));
    return parts.join(QLatin1Char(' '));
}

QJsonObject valuesJson(const repair::RepairRecord &record, const QVariantList &values)
{
    // Every column a repair of the balance table writes is an amount, whichever the repair was given.
    const bool amounts = record.table.compare(QLatin1String("GL_accsum"), Qt::CaseInsensitive) == 0;
    QJsonObject json;
    for (int i = 0; i < record.changedColumns.size(); ++i)
        json.insert(record.changedColumns.at(i), amounts ? amountJson(values.value(i)) : db::jsonValue(values.value(i)));
    return json;
}

QString valuesText(const repair::RepairRecord &record, const QVariantList &values)
{
    QStringList parts;
    for (int i = 0; i < record.changedColumns.size(); ++i)
        parts << record.changedColumns.at(i) + QLatin1Char('=') + db::shownValue(values.value(i));
    return parts.join(QLatin1Char(' '));
}

}  // namespace cli
