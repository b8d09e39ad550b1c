// n3fix --check-balances: where the general ledger and the detail ledgers disagree, in every
// selected database, read-only.
#include "Commands.h"
#include "DatabaseSelection.h"
#include "Output.h"
#include "ReportFile.h"

#include "db/StoredValue.h"
#include "repair/BalanceCheck.h"
#include "repair/RepairText.h"

#include <QJsonArray>
#include <QJsonObject>

namespace cli {

namespace {

// One disagreement as --json gives it.
QJsonObject disagreementJson(const repair::BalanceDisagreement &found)
{
    return {{QStringLiteral("code"), db::jsonValue(db::codeValue(found.code))},
            {QStringLiteral("period"), db::jsonValue(found.period)},
            {QStringLiteral("column"), found.column},
            {QStringLiteral("amount"), found.amount ? moneyJson(*found.amount) : QJsonValue(QJsonValue::Null)},
            {QStringLiteral("sub_accounts_sum"), moneyJson(found.subAccountsSum)}};
}

// One disagreement as --verbose says it: "  1002 第 9 期：mb 本科目 1200.00，下级科目合计 1000.00".
QString disagreementLine(const repair::BalanceDisagreement &found)
{
    return QStringLiteral("  %1 第 %2 期：%3 本科目 %4，下级科目合计 %5")
        .arg(db::shownCode(found.code), db::shownValue(found.period), found.column,
             found.amount ? repair::RepairText::moneyText(*found.amount) : repair::RepairText::noBalanceRow(),
             repair::RepairText::moneyText(found.subAccountsSum));
}

}  // namespace

int checkBalances(const Request &request)
{
    const Output out(request.json);
    const std::optional<QList<SelectedDatabase>> selection = selectDatabasesOrSay(request, out);
    if (!selection)
        return 2;
    const QList<SelectedDatabase> &databases = *selection;
    int status = 0, withFindings = 0, unreadable = 0;
    QJsonArray results;
    ReportFile report(request);
    for (const SelectedDatabase &selected : std::as_const(databases)) {
        const repair::BalanceCheck check = repair::checkBalances(selected.database, request.amounts);
        report.add({selected.accountSet, {}, selected.year, selected.database, {}, {}, {}, check, {}, {}, {}, {}});
        QJsonObject result = placeJson(selected);
        if (!check.failure.isEmpty()) {
            status = 2;
            ++unreadable;
            result.insert(QStringLiteral("accounts"), QJsonValue::Null);
            result.insert(QStringLiteral("periods"), QJsonValue::Null);
            result.insert(QStringLiteral("disagreements"), QJsonArray());
            result.insert(QStringLiteral("orphans"), QJsonArray());
            result.insert(QStringLiteral("unreadable"), QJsonArray());
            result.insert(QStringLiteral("error"), check.failure);
            Output::error(QStringLiteral("%1：无法读取：%2").arg(placeOf(selected), check.failure));
            results.append(result);
            continue;
        }
        if (check.findsSomething()) {
            status = std::max(status, 1);
            ++withFindings;
        }
        out.line(QStringLiteral("%1：科目 %2 个，与下级科目合计不符的科目 %3 个（%4 个期间），科目表中没有的余额行 %5 行")
                     .arg(placeOf(selected))
                     .arg(check.codes)
                     .arg(check.accounts)
                     .arg(check.periods)
                     .arg(check.orphans.size()));
        QJsonArray disagreements, orphans;
        for (const repair::BalanceDisagreement &found : check.disagreements) {
            disagreements.append(disagreementJson(found));
            if (request.verbose)
                out.line(disagreementLine(found));
        }
        for (const repair::BalanceOrphan &orphan : check.orphans) {
            orphans.append(QJsonObject{{QStringLiteral("code"), db::jsonValue(db::codeValue(orphan.code))},
                                       {QStringLiteral("period"), db::jsonValue(orphan.period)}});
            if (request.verbose)
                out.line(QStringLiteral("  %1 第 %2 期：科目表中没有这个科目")
                             .arg(db::shownCode(orphan.code), db::shownValue(orphan.period)));
        }
        QJsonArray unreadableAmounts;
        for (const repair::UnreadableAmount &amount : check.unreadable) {
            unreadableAmounts.append(unreadableAmountJson(amount));
            out.line(QStringLiteral("  ") + repair::RepairText::unreadableAmountText(amount));
        }
        result.insert(QStringLiteral("unreadable"), unreadableAmounts);
        result.insert(QStringLiteral("accounts"), check.accounts);
        result.insert(QStringLiteral("periods"), check.periods);
        result.insert(QStringLiteral("disagreements"), disagreements);
        result.insert(QStringLiteral("orphans"), orphans);
        results.append(result);
    }
    out.line(QStringLiteral("共检查 %1 个数据库：%2 个总账与明细账不符，%3 个无法读取。")
                 .arg(databases.size())
                 .arg(withFindings)
                 .arg(unreadable));
    out.document(results);
    return report.saveFindings(status);
}

}  // namespace cli
