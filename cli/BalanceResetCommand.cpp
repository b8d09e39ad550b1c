// n3fix --reset-balance: the window's balance reset (修正科目错误) for one account of one account
// set and year, with its journal; with --dry-run, the rows it would clear and nothing changed.
#include "Commands.h"
#include "DatabaseSelection.h"
#include "Output.h"
#include "ReportFile.h"

#include "db/DbError.h"
#include "db/StoredValue.h"
#include "repair/BalanceReset.h"
#include "repair/RepairText.h"

#include <QJsonArray>
#include <QJsonObject>

namespace cli {

namespace {

// One matched row, its amounts as stored, as --json gives it.
QJsonObject rowJson(const repair::BalanceRow &row)
{
    return {{QStringLiteral("period"), db::jsonValue(row.period)},
            {QStringLiteral("mb"), amountJson(row.mb)},
            {QStringLiteral("md"), amountJson(row.md)},
            {QStringLiteral("mc"), amountJson(row.mc)}};
}

// One matched row as a line of text: "  第 9 期：mb 1200.00，md 300.00，mc 100.00".
QString rowLine(const repair::BalanceRow &row)
{
    return QStringLiteral("  第 %1 期：mb %2，md %3，mc %4")
        .arg(db::shownValue(row.period), repair::RepairText::amountText(row.mb), repair::RepairText::amountText(row.md),
             repair::RepairText::amountText(row.mc));
}

// Says why the reset did not run or failed (`how`, when it could not begin: ，无法连接数据库), and
// that nothing changed; status 2.
int failed(const Output &out, QJsonObject &json, const QString &where, const QString &failure, const QString &how = {})
{
    Output::error(QStringLiteral("%1余额清零失败%2，未做任何改动：%3").arg(where, how, failure));
    json.insert(QStringLiteral("error"), failure);
    out.document(json);
    return 2;
}

}  // namespace

int resetBalance(const Request &request)
{
    const Output out(request.json);
    // The command line took only a month, 1 to 12 (" 5" and "05" too): it is said and journaled as
    // the number.
    const std::optional<int> month = repair::resetMonth(request.fromPeriod);
    const QString fromPeriod = month ? QString::number(*month) : request.fromPeriod;
    QJsonObject json{{QStringLiteral("account_set"), request.accountSet},
                     {QStringLiteral("year"), request.year},
                     {QStringLiteral("database"), QJsonValue::Null},
                     {QStringLiteral("code"), request.code},
                     {QStringLiteral("from_period"), month ? QJsonValue(*month) : QJsonValue(fromPeriod)},
                     {QStringLiteral("dry_run"), request.dryRun},
                     {QStringLiteral("rows"), QJsonArray()},
                     {QStringLiteral("journal"), QJsonValue::Null}};
    // The account set and the year are both given, so the selection is one database or an error.
    QList<SelectedDatabase> selection;
    try {
        selection = selectDatabases(request);
    } catch (const db::DbError &error) {
        return failed(out, json, QString(), described(error));
    }
    const SelectedDatabase &selected = selection.first();
    json.insert(QStringLiteral("database"), selected.database);
    const QString where = QStringLiteral("%1：科目 %2 ").arg(placeOf(selected), request.code);

    repair::BalanceResetRun run;
    try {
        run = repair::resetBalances(selected.accountSet, selected.year, request.code, fromPeriod, request.dryRun);
    } catch (const db::DbError &error) {
        return failed(out, json, where, described(error), QStringLiteral("，无法连接数据库"));
    }
    if (!run.journal.isEmpty())
        json.insert(QStringLiteral("journal"), run.journal);
    if (run.outcome != repair::BalanceResetOutcome::Succeeded)
        return failed(out, json, where, run.failure);

    QJsonArray rows;
    for (const repair::BalanceRow &row : run.rows)
        rows.append(rowJson(row));
    json.insert(QStringLiteral("rows"), rows);
    if (!request.dryRun)
        json.insert(QStringLiteral("outcome_recorded"), run.failure.isEmpty());
    if (!run.failure.isEmpty()) {  // the balances were cleared, but the journal could not record it
        json.insert(QStringLiteral("error"), run.failure);
        Output::error(where + run.failure);
    }
    if (run.rows.empty())
        out.line(where + QStringLiteral("从第 %1 期起没有余额行，未做任何改动。").arg(fromPeriod));
    else if (request.dryRun)
        out.line(where
                 + QStringLiteral("从第 %1 期起的 %2 行余额将被清零（预览，未做任何改动）：").arg(fromPeriod).arg(run.rows.size()));
    else
        out.line(where
                 + QStringLiteral("从第 %1 期起已清零 %2 行余额，修复日志 %3。清零前：")
                       .arg(fromPeriod)
                       .arg(run.rows.size())
                       .arg(run.journal));
    for (const repair::BalanceRow &row : run.rows)
        out.line(rowLine(row));
    if (!run.triggerNotice.isEmpty()) {
        json.insert(QStringLiteral("trigger_notice"), run.triggerNotice);
        Output::error(where + run.triggerNotice);
    }
    out.document(json);
    if (!run.failure.isEmpty())
        return 2;                // done, but listed as a repair that never ended, like any other repair
    ReportFile report(request);  // given only with --dry-run
    report.add({selected.accountSet, {}, selected.year, selected.database, {}, {}, {}, {}, {}, run, request.code, fromPeriod});
    return report.saveFindings(run.rows.empty() || !run.triggerNotice.isEmpty() ? 1 : 0);
}

}  // namespace cli
