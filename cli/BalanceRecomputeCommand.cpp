// n3fix --recompute-balances: every parent account's balances set to the sums of its sub-accounts,
// with its journal, on every selected database; with --dry-run, the rows it would change and
// nothing changed.
#include "Commands.h"
#include "DatabaseSelection.h"
#include "Output.h"
#include "ReportFile.h"
#include "RunEnd.h"

#include "db/StoredValue.h"
#include "repair/BalanceRecompute.h"
#include "repair/RepairText.h"

#include <QJsonArray>
#include <QJsonObject>

namespace cli {

namespace {

// A row's amounts as --json gives them: what it holds (null for NULL), and what it is to hold. An
// amount the recompute leaves is given as it is stored, one that can't be read too (never as 0);
// an amount it writes could be read, and is given as read.
QJsonObject oldJson(const repair::RecomputedRow &row)
{
    QJsonObject json;
    for (std::size_t c = 0; c < row.stored.size(); ++c)
        json.insert(row.columns[qsizetype(c)], row.stored[c].isNull() ? QJsonValue(QJsonValue::Null)
                                               : row.changes[c]       ? moneyJson(row.old[c])
                                                                      : amountJson(row.stored[c]));
    return json;
}

QJsonObject newJson(const repair::RecomputedRow &row)
{
    QJsonObject json = oldJson(row);
    for (std::size_t c = 0; c < row.changes.size(); ++c)
        if (row.changes[c])
            json.insert(row.columns[qsizetype(c)], moneyJson(row.sums[c]));
    return json;
}

QJsonObject codeAndPeriod(const QString &code, const QVariant &period)
{
    return {{QStringLiteral("code"), db::jsonValue(db::codeValue(code))}, {QStringLiteral("period"), db::jsonValue(period)}};
}

// The rows of one database the recompute leaves as they are, as lines and into `result`.
void listLeftAlone(const Output &out, const repair::RecomputePlan &plan, QJsonObject &result)
{
    QJsonArray missing, duplicates, orphans;
    for (const repair::MissingBalanceRow &row : plan.missingRows) {
        missing.append(codeAndPeriod(row.code, row.period));
        out.line(QStringLiteral("  科目 %1 第 %2 期没有余额行，无法重算").arg(db::shownCode(row.code), db::shownValue(row.period)));
    }
    for (const repair::DuplicateBalanceRows &rows : plan.duplicateRows) {
        QJsonObject json = codeAndPeriod(rows.code, rows.period);
        json.insert(QStringLiteral("rows"), rows.rows);
        duplicates.append(json);
        out.line(QStringLiteral("  科目 %1 第 %2 期有 %3 条余额行，合计与下级科目不符，无法判断改哪一条，无法重算")
                     .arg(db::shownCode(rows.code), db::shownValue(rows.period))
                     .arg(rows.rows));
    }
    for (const repair::BalanceOrphan &orphan : plan.orphans) {
        orphans.append(codeAndPeriod(orphan.code, orphan.period));
        out.line(QStringLiteral("  %1 第 %2 期：科目表中没有这个科目，未改动")
                     .arg(db::shownCode(orphan.code), db::shownValue(orphan.period)));
    }
    result.insert(QStringLiteral("missing_rows"), missing);
    result.insert(QStringLiteral("duplicate_rows"), duplicates);
    result.insert(QStringLiteral("orphans"), orphans);

    QJsonArray unreadable, unworkable, inexact;
    for (const repair::UnreadableAmount &amount : plan.unreadable) {
        unreadable.append(unreadableAmountJson(amount));
        out.line(QStringLiteral("  ") + repair::RepairText::unreadableAmountText(amount));
    }
    for (const repair::UnworkableSums &sums : plan.unworkable) {
        QJsonObject json = codeAndPeriod(sums.code, sums.period);
        json.insert(QStringLiteral("columns"), QJsonArray::fromStringList(sums.columns));
        unworkable.append(json);
        out.line(QStringLiteral("  ") + repair::RepairText::unworkableSumsText(sums));
    }
    for (const repair::InexactSum &sum : plan.inexact) {
        QJsonObject json = codeAndPeriod(sum.code, sum.period);
        json.insert(QStringLiteral("column"), sum.column);
        json.insert(QStringLiteral("sum"), sum.sum.toString());
        json.insert(QStringLiteral("stored"), repair::storedAmountText(sum.stored));
        inexact.append(json);
        out.line(QStringLiteral("  ") + repair::RepairText::inexactSumText(sum));
    }
    result.insert(QStringLiteral("unreadable"), unreadable);
    result.insert(QStringLiteral("unworkable"), unworkable);
    result.insert(QStringLiteral("inexact"), inexact);
}

}  // namespace

int recomputeBalances(const Request &request)
{
    const Output out(request.json);
    const std::optional<QList<SelectedDatabase>> selection = selectDatabasesOrSay(request, out);
    if (!selection)
        return 2;
    const QList<SelectedDatabase> &databases = *selection;
    int status = 0, leaving = 0, failed = 0;
    qint64 changedRows = 0;
    QJsonArray results;
    ReportFile report(request);  // given only with --dry-run
    for (const SelectedDatabase &selected : std::as_const(databases)) {
        QJsonObject result = placeJson(selected);
        result.insert(QStringLiteral("dry_run"), request.dryRun);
        result.insert(QStringLiteral("journal"), QJsonValue::Null);
        // Without a preview there is no plan to hold the run to: it reads and writes in one transaction.
        repair::RecomputeRun run;
        if (request.dryRun)
            run.plan = repair::planRecompute(selected.database, request.amounts);
        else
            run = repair::runRecompute(selected.accountSet, selected.year, nullptr, {}, request.amounts);
        const repair::RecomputePlan &plan = run.plan;
        report.add({selected.accountSet, {}, selected.year, selected.database, {}, {}, {}, {}, plan, {}, {}, {}});
        const QString where = placeOf(selected) + QStringLiteral("：");
        const QString failure = request.dryRun ? plan.failure : run.failure;
        if (!run.journal.isEmpty())  // a failed run's too: rolled back, or listed as never ended
            result.insert(QStringLiteral("journal"), run.journal);
        if (!failure.isEmpty()) {
            status = 2;
            ++failed;
            result.insert(QStringLiteral("rows"), QJsonArray());
            result.insert(QStringLiteral("error"), failure);
            Output::error(where + repair::RepairText::recomputeFailedLine(failure));
            sayRunEnd(run, where, result);
            results.append(result);
            continue;
        }
        out.line(where + repair::RepairText::recomputeDoneLine(run, request.dryRun));
        changedRows += qint64(plan.rows.size());
        QJsonArray changed;
        for (const repair::RecomputedRow &row : plan.rows) {
            QJsonObject json = codeAndPeriod(row.code, row.period);
            json.insert(QStringLiteral("old"), oldJson(row));
            json.insert(QStringLiteral("new"), newJson(row));
            changed.append(json);
            out.line(QStringLiteral("  ") + repair::RepairText::recomputedRowText(row));
        }
        result.insert(QStringLiteral("rows"), changed);
        listLeftAlone(out, plan, result);
        if (plan.leavesSomething()) {
            status = std::max(status, 1);
            ++leaving;
        }
        status = std::max(status, sayRunEnd(run, where, result));
        results.append(result);
    }
    out.line(repair::RepairText::recomputeTotals(databases.size(), request.dryRun, changedRows, leaving, failed));
    out.document(results);
    return report.saveFindings(status);
}

}  // namespace cli
