// n3fix --undo ID: puts back what one repair changed, where nobody has changed it since.
#include "Commands.h"
#include "JournalText.h"
#include "Output.h"
#include "RepairElsewhere.h"

#include "repair/RepairText.h"
#include "repair/Undo.h"

#include <QJsonArray>

namespace cli {

int undo(const Request &request)
{
    const Output out(request.json);
    const repair::UndoRun run = repair::undoRepair(request.journal);
    QJsonObject json{{QStringLiteral("journal"), run.journal.isEmpty() ? QJsonValue::Null : QJsonValue(run.journal)},
                     {QStringLiteral("undoes"), run.undoes},
                     {QStringLiteral("journaled"), run.journaled},
                     {QStringLiteral("restored"), run.restored},
                     {QStringLiteral("already_old"), run.alreadyOld},
                     {QStringLiteral("not_written"), run.notWritten}};
    if (!run.failure.isEmpty()) {
        // A repair made on other data is named with the option that reaches it.
        const QString elsewhere = repairElsewhere(request.journal, QStringLiteral("--undo"));
        const QString failure = elsewhere.isEmpty() ? run.failure : run.failure + QStringLiteral("。") + elsewhere;
        Output::error(QStringLiteral("撤销 %1 失败，未做任何改动：%2").arg(run.undoes, failure));
        json.insert(QStringLiteral("left_alone"), QJsonArray());
        json.insert(QStringLiteral("error"), failure);
        if (!run.undoneBy.isEmpty())
            json.insert(QStringLiteral("undone_by"), run.undoneBy);
        out.document(json);
        return 2;
    }
    const repair::RepairRecord &record = run.repair;
    QJsonArray leftAlone;
    out.line(QStringLiteral("已撤销修复 %1：%2，未恢复 %3 行。撤销本身记在修复日志 %4 中。")
                 .arg(run.undoes, repair::RepairText::undoTally(run))
                 .arg(run.leftAlone.size())
                 .arg(run.journal));
    for (const repair::LeftAlone &left : run.leftAlone) {
        leftAlone.append(QJsonObject{
            {QStringLiteral("key"), keyJson(record, left.row)},
            {QStringLiteral("old"), valuesJson(record, left.row.oldValues)},
            {QStringLiteral("new"), valuesJson(record, left.row.newValues)},
            {QStringLiteral("now"), left.now.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(valuesJson(record, left.now))},
            {QStringLiteral("kind"), repair::RepairText::leftAloneKind(left.reason)},
            {QStringLiteral("reason"), repair::RepairText::leftAloneReason(left)}});
        out.line(QStringLiteral("  未恢复 ") + repair::RepairText::leftAloneLine(record, left));
    }
    json.insert(QStringLiteral("left_alone"), leftAlone);
    json.insert(QStringLiteral("outcome_recorded"), run.unrecorded.isEmpty());
    if (!run.unrecorded.isEmpty()) {
        // the rows are back, but the listing will show this undo as never ended
        Output::error(QStringLiteral("以上行已恢复，但修复日志未能记下撤销的结果：%1").arg(run.unrecorded));
        json.insert(QStringLiteral("error"), run.unrecorded);
        out.document(json);
        return 2;
    }
    if (!run.triggerNotice.isEmpty()) {
        json.insert(QStringLiteral("trigger_notice"), run.triggerNotice);
        Output::error(run.triggerNotice);
    }
    out.document(json);
    return run.leftAlone.isEmpty() && run.triggerNotice.isEmpty() ? 0 : 1;
}

}  // namespace cli
