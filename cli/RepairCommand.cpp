// n3fix --repair-end-flags: the end-flag repair, with its journal, on every selected database.
#include "Commands.h"
#include "DatabaseSelection.h"
#include "Output.h"
#include "ProgressBar.h"
#include "RunEnd.h"

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
            run.result = repair::RunResult::Failed;
            connectionFailure = described(error);
        }
        QJsonObject result = placeJson(selected);
        result.insert(QStringLiteral("codes"), run.codes);
        result.insert(QStringLiteral("changed"), run.rowsChanged);
        result.insert(QStringLiteral("journal"), run.journal.isEmpty() ? QJsonValue::Null : QJsonValue(run.journal));
        result.insert(QStringLiteral("outcome_recorded"), run.unrecorded.isEmpty());
        const QString where = placeOf(selected) + QStringLiteral("：");
        if (run.result == repair::RunResult::Completed) {
            out.line(where + repair::RepairText::endFlagsDoneLine(run));
            status = std::max(status, sayRunEnd(run, where, result));
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
                Output::error(where + chartNotice);
            } else if (!chartNotice.isEmpty()) {
                out.line(where + chartNotice);
            }
            if (!run.finalCheckFailure.isEmpty()) {
                status = std::max(status, 1);
                result.insert(QStringLiteral("final_check_error"), run.finalCheckFailure);
                Output::error(where + repair::RepairText::finalChartCheckNotMade(run.finalCheckFailure));
            }
        } else if (!connectionFailure.isEmpty()) {
            status = 2;
            result.insert(QStringLiteral("error"), connectionFailure);
            result.insert(QStringLiteral("written"), 0);
            Output::error(where + repair::RepairText::endFlagsNotBegunLine(connectionFailure));
        } else {
            status = 2;
            result.insert(QStringLiteral("error"), run.failure);
            result.insert(QStringLiteral("written"), run.rowsWritten);
            Output::error(where + repair::RepairText::endFlagsFailedLine(run));
            sayRunEnd(run, where, result);
        }
        results.append(result);
    }
    out.document(results);
    return status;
}

}  // namespace cli
