// n3fix --repair-end-flags: the end-flag repair, with its journal, on every selected database.
#include "Commands.h"
#include "DatabaseSelection.h"
#include "Output.h"
#include "ProgressBar.h"

#include "db/DbError.h"
#include "db/StoredValue.h"
#include "repair/RepairText.h"

#include <QJsonArray>
#include <QJsonObject>

namespace cli {

int repairEndFlags(const Request &request)
{
    const Output out(request.json);
    const std::optional<QList<SelectedDatabase>> selection = selectDatabasesOrSay(request, out);
    if (!selection)
        return 2;
    const QList<SelectedDatabase> &databases = *selection;
    int status = 0;
    QJsonArray results;
    for (const SelectedDatabase &selected : std::as_const(databases)) {
        repair::EndFlagRun run;
        QString connectionFailure;  // why the database could not be opened: the walk did not begin
        try {
            ProgressBar bar(selected.database);
            run = repair::repairEndFlags(selected.accountSet, selected.year, bar);
        } catch (const db::DbError &error) {
            run.result = repair::EndFlagResult::Failed;
            connectionFailure = described(error);
        }
        QJsonObject result = placeJson(selected);
        result.insert(QStringLiteral("codes"), run.codes);
        result.insert(QStringLiteral("changed"), run.rowsChanged);
        result.insert(QStringLiteral("journal"), run.journal.isEmpty() ? QJsonValue::Null : QJsonValue(run.journal));
        result.insert(QStringLiteral("outcome_recorded"), run.unrecorded.isEmpty());
        if (run.result == repair::EndFlagResult::Completed) {
            out.line(QStringLiteral("%1：修复科目 %2 个，改动末级标志 %3 个，修复日志 %4")
                         .arg(placeOf(selected))
                         .arg(run.codes)
                         .arg(run.rowsChanged)
                         .arg(run.journal));
            if (!run.unrecorded.isEmpty()) {
                // every flag is written; only the journal's record of the end is missing
                status = 2;
                result.insert(QStringLiteral("error"), run.unrecorded);
                Output::error(QStringLiteral("%1：末级标志已全部写入，但修复日志未能记下修复的结果：%2")
                                  .arg(placeOf(selected), run.unrecorded));
            }
            if (!run.triggerNotice.isEmpty()) {
                status = std::max(status, 1);
                result.insert(QStringLiteral("trigger_notice"), run.triggerNotice);
                Output::error(QStringLiteral("%1：%2").arg(placeOf(selected), run.triggerNotice));
            }
            // another program changed the chart during the walk: flags decided anew are said; flags
            // wrong for the chart as the walk ended are no success
            result.insert(QStringLiteral("redecided"), run.rowsRedecided);
            QJsonArray wrongAtEnd;
            for (const QString &code : run.wrongAtEnd)
                wrongAtEnd.append(db::jsonValue(db::codeValue(code)));
            result.insert(QStringLiteral("wrong_at_end"), wrongAtEnd);
            const QString chartNotice = repair::RepairText::chartChangedDuringWalk(run.rowsRedecided, run.wrongAtEnd);
            if (!run.wrongAtEnd.isEmpty()) {
                status = std::max(status, 1);
                Output::error(QStringLiteral("%1：%2").arg(placeOf(selected), chartNotice));
            } else if (!chartNotice.isEmpty()) {
                out.line(QStringLiteral("%1：%2").arg(placeOf(selected), chartNotice));
            }
            if (!run.finalCheckFailure.isEmpty()) {
                status = std::max(status, 1);
                result.insert(QStringLiteral("final_check_error"), run.finalCheckFailure);
                Output::error(QStringLiteral("%1：%2").arg(placeOf(selected),
                                                           repair::RepairText::finalChartCheckNotMade(run.finalCheckFailure)));
            }
        } else if (!connectionFailure.isEmpty()) {
            status = 2;
            result.insert(QStringLiteral("error"), connectionFailure);
            result.insert(QStringLiteral("written"), 0);
            Output::error(
                QStringLiteral("%1：修复失败，无法连接数据库，未做任何改动：%2").arg(placeOf(selected), connectionFailure));
        } else {
            status = 2;
            result.insert(QStringLiteral("error"), run.failure);
            result.insert(QStringLiteral("written"), run.rowsWritten);
            Output::error(QStringLiteral("%1：修复失败（已写入 %2 行%3）：%4")
                              .arg(placeOf(selected))
                              .arg(run.rowsWritten)
                              .arg(run.journal.isEmpty() ? QString() : QStringLiteral("，修复日志 ") + run.journal, run.failure));
            if (!run.triggerNotice.isEmpty()) {
                result.insert(QStringLiteral("trigger_notice"), run.triggerNotice);
                Output::error(QStringLiteral("%1：%2").arg(placeOf(selected), run.triggerNotice));
            }
        }
        results.append(result);
    }
    out.document(results);
    return status;
}

}  // namespace cli
