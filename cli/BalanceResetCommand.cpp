// n3fix --reset-balance: the window's balance reset (修正科目错误) for one account of one account
// set and year, with its journal; with --dry-run, the rows it would clear and nothing changed.
#include "Commands.h"
#include "DatabaseSelection.h"
#include "Output.h"
#include "ReportFile.h"
#include "RunEnd.h"

#include "db/DbError.h"
#include "db/StoredValue.h"
#include "repair/BalanceReset.h"
#include "repair/RepairText.h"

#include <QJsonArray>
#include <QJsonObject>

#include <algorithm>

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

// Says why the reset did not run or failed (`couldNotConnect`: it could not begin), and that
// nothing changed; status 2.
int failed(const Output &out, QJsonObject &json, const QString &where, const QString &failure,
           const repair::BalanceResetRun &run = {}, bool couldNotConnect = false)
{
    Output::error(
        where + (couldNotConnect ? repair::RepairText::resetNotBegunLine(failure) : repair::RepairText::resetFailedLine(failure)));
    json.insert(QStringLiteral("error"), failure);
    sayRunEnd(run, where, json);
    out.document(json);
    return 2;
}

}  // namespace

int resetBalance(const Request &request)
{
    const Output out(request.json);
    // The command line took only a month, 1 to 12 (" 5" and "05" too): it is said and journaled as
    // the number.
    const repair::ResetPeriod period = repair::resetMonthPeriod(request.fromPeriod);
    const std::optional<int> month = period.month();
    const QString &fromPeriod = period.text;
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
        run = repair::resetBalances(selected.accountSet, selected.year, request.code, period, request.dryRun);
    } catch (const db::DbError &error) {
        return failed(out, json, where, described(error), run, true);
    }
    if (!run.journal.isEmpty())
        json.insert(QStringLiteral("journal"), run.journal);
    if (run.result != repair::RunResult::Completed)
        return failed(out, json, where, run.failure, run);

    QJsonArray rows;
    for (const repair::BalanceRow &row : run.rows)
        rows.append(rowJson(row));
    json.insert(QStringLiteral("rows"), rows);
    if (!request.dryRun)
        json.insert(QStringLiteral("outcome_recorded"), run.unrecorded.isEmpty());
    out.line(where + repair::RepairText::resetDoneLine(run, fromPeriod, request.dryRun));
    for (const repair::BalanceRow &row : run.rows)
        out.line(QStringLiteral("  ") + repair::RepairText::balanceRowText(row));
    const int end = sayRunEnd(run, where, json);
    out.document(json);
    if (end == 2)
        return end;              // done, but listed as a repair that never ended, like any other repair
    ReportFile report(request);  // given only with --dry-run
    report.add({selected.accountSet, {}, selected.year, selected.database, {}, {}, {}, {}, {}, run, request.code, fromPeriod});
    return report.saveFindings(std::max(run.rows.empty() ? 1 : 0, end));
}

}  // namespace cli
