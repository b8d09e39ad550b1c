// n3fix --undo ID: puts back what one repair changed, where nobody has changed it since.
#include "Commands.h"
#include "JournalText.h"
#include "Output.h"
#include "RepairElsewhere.h"
#include "RunEnd.h"

#include "repair/RepairText.h"
#include "repair/Undo.h"

#include <QJsonArray>

#include <algorithm>

namespace cli {

int undo(const Request &request)
{
    const Output out(request.json);
    const repair::UndoRun run = repair::undoRepair(request.journal);
    QJsonObject json{{QStringLiteral("journal"), run.journal.isEmpty() ? QJsonValue::Null : QJsonValue(run.journal)},
                     {QStringLiteral("undoes"), run.undoes},
                     {QStringLiteral("journaled"), run.journaled},
                     {QStringLiteral("restored"), run.rowsChanged},
                     {QStringLiteral("already_old"), run.alreadyOld},
                     {QStringLiteral("not_written"), run.notWritten}};
    if (run.result != repair::RunResult::Completed) {
        // A repair made on other data is named with the option that reaches it.
        const QString elsewhere = repairElsewhere(request.journal, QStringLiteral("--undo"));
        const QString failure = elsewhere.isEmpty() ? run.failure : run.failure + QStringLiteral("。") + elsewhere;
        Output::error(repair::RepairText::undoFailedLine(run, failure));
        json.insert(QStringLiteral("left_alone"), QJsonArray());
        json.insert(QStringLiteral("error"), failure);
        sayRunEnd(run, QString(), json);
        if (!run.undoneBy.isEmpty())
            json.insert(QStringLiteral("undone_by"), run.undoneBy);
        out.document(json);
        return 2;
    }
    const repair::RepairRecord &record = run.repair;
    QJsonArray leftAlone;
    out.line(repair::RepairText::undoDoneLine(run));
    for (const repair::LeftAlone &left : run.leftAlone) {
        leftAlone.append(QJsonObject{
            {QStringLiteral("key"), keyJson(record, left.row)},
            {QStringLiteral("old"), valuesJson(record, left.row.oldValues)},
            {QStringLiteral("new"), valuesJson(record, left.row.newValues)},
            {QStringLiteral("now"), left.now.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(valuesJson(record, left.now))},
            {QStringLiteral("kind"), repair::RepairText::leftAloneKind(left.reason)},
            {QStringLiteral("reason"), repair::RepairText::leftAloneReason(left)}});
        out.line(QStringLiteral("  ") + repair::RepairText::notRestoredLine(record, left));
    }
    json.insert(QStringLiteral("left_alone"), leftAlone);
    json.insert(QStringLiteral("outcome_recorded"), run.unrecorded.isEmpty());
    // the rows are back even where the listing will show this undo as never ended
    const int end = sayRunEnd(run, QString(), json);
    out.document(json);
    return std::max(run.leftAlone.isEmpty() ? 0 : 1, end);
}

}  // namespace cli
