// The words of a repair's or an undo's end, in every front end: the main window's own, the check
// and journal windows' boxes and the command line's lines.
#include "RepairText.h"

#include "BalanceRecompute.h"
#include "BalanceReset.h"
#include "EndFlagRepair.h"
#include "Undo.h"

#include "db/StoredValue.h"

namespace repair::RepairText {

QString notChosen()
{
    return QStringLiteral("未选择帐套或年度！");
}

QString resetSucceeded()
{
    return QStringLiteral("修复成功！");
}

QString resetFailed()
{
    return QStringLiteral("修复失败！");
}

// The last character repeats the first of 修复: the product's own wording, kept as its users
// know it.
QString walkFinished()
{
    return QStringLiteral("修复完毕复");
}

QString walkTrouble(const QString &what)
{
    return QStringLiteral("重建末级科目标志时出错：\r\n") + what;
}

QString listedAsNeverEnded()
{
    return QStringLiteral("这次修复在修复日志中显示为“未记录结束”，仍可撤销。");
}

QString endUnrecorded(const RepairRun &run)
{
    if (run.unrecorded.isEmpty())
        return QString();
    if (run.result != RunResult::Completed)
        return QStringLiteral("修复日志 %1 未能记下%2的结果，在修复日志中显示为“未记录结束”：%3")
            .arg(run.journal, run.kind == RepairKind::Undo ? QStringLiteral("撤销") : QStringLiteral("修复"), run.unrecorded);
    switch (run.kind) {
    case RepairKind::BalanceReset:
        return QStringLiteral("余额已清零，但修复日志 %1 未能记下修复的结果：").arg(run.journal) + run.unrecorded;
    case RepairKind::RecomputeBalances:
        return QStringLiteral("余额已重算，但修复日志未能记下修复的结果：") + run.unrecorded;
    case RepairKind::EndFlags:
        return QStringLiteral("末级标志已全部写入，但修复日志未能记下修复的结果：") + run.unrecorded;
    case RepairKind::Undo:
        break;
    }
    return QStringLiteral("以上行已恢复，但修复日志未能记下撤销的结果：") + run.unrecorded;
}

namespace {

// A box's paragraphs after what the run did: that triggers may have changed rows outside its
// journal, then an end the journal could not record; empty when neither is so.
QString afterwords(const RepairRun &run)
{
    return (run.triggerNotice.isEmpty() ? QString() : QStringLiteral("\n\n") + run.triggerNotice)
           + (run.unrecorded.isEmpty() ? QString() : QStringLiteral("\n\n") + endUnrecorded(run));
}

}  // namespace

QString recomputeBox(const QString &place, const RecomputeRun &run)
{
    if (run.result != RunResult::Completed)
        return QStringLiteral("按下级科目重算%1失败，未做任何改动：\n%2").arg(place, run.failure) + afterwords(run);
    return QStringLiteral("已按下级科目重算%1：改动 %2 行余额，修复日志 %3。").arg(place).arg(run.rowsChanged).arg(run.journal)
           + afterwords(run);
}

QString endFlagsBox(const QString &place, const EndFlagRun &run)
{
    QString text;
    if (run.result == RunResult::Completed)
        text = QStringLiteral("已重建%1的末级标志：处理科目 %2 个，改动末级标志 %3 个，修复日志 %4。")
                   .arg(place)
                   .arg(run.codes)
                   .arg(run.rowsChanged)
                   .arg(run.journal);
    else if (run.rowsChanged == 0)
        text = QStringLiteral("重建%1的末级标志失败，未做任何改动：\n%2").arg(place, run.failure);
    else
        text =
            QStringLiteral("重建%1的末级标志时出错：已改动 %2 个末级标志，其余未改动（修复日志 %3，可以在“修复日志”中撤销）。\n%4")
                .arg(place)
                .arg(run.rowsChanged)
                .arg(run.journal, run.failure);
    return text + afterwords(run);
}

QString undoFailedBox(const UndoRun &run)
{
    return QStringLiteral("撤销修复 %1 失败，未做任何改动：\n%2").arg(run.undoes, run.failure) + afterwords(run);
}

QString undoDoneBox(const UndoRun &run, int listed)
{
    QString text = QStringLiteral("已撤销修复 %1：").arg(run.undoes) + undoTally(run);
    // After the rows: what triggers may have done besides, and that the rows are back even where
    // the undo's own journal could not record its end.
    const QString after = afterwords(run);
    if (run.leftAlone.isEmpty())
        return text + QStringLiteral("。") + after;
    text += QStringLiteral("，以下 %1 行未恢复：").arg(run.leftAlone.size());
    for (int i = 0; i < run.leftAlone.size() && i < listed; ++i)
        text += QLatin1Char('\n') + leftAloneLine(run.repair, run.leftAlone.at(i), Wording::Shown);
    if (run.leftAlone.size() > listed)
        text += QStringLiteral("\n……另有 %1 行未恢复。").arg(run.leftAlone.size() - listed);
    return text + after;
}

QString endFlagsDoneLine(const EndFlagRun &run)
{
    return QStringLiteral("修复科目 %1 个，改动末级标志 %2 个，修复日志 %3").arg(run.codes).arg(run.rowsChanged).arg(run.journal);
}

QString endFlagsFailedLine(const EndFlagRun &run)
{
    return QStringLiteral("修复失败（已写入 %1 行%2）：%3")
        .arg(run.rowsWritten)
        .arg(run.journal.isEmpty() ? QString() : QStringLiteral("，修复日志 ") + run.journal, run.failure);
}

QString endFlagsNotBegunLine(const QString &failure)
{
    return QStringLiteral("修复失败，无法连接数据库，未做任何改动：%1").arg(failure);
}

QString recomputeFailedLine(const QString &failure)
{
    return QStringLiteral("按下级科目重算失败，未做任何改动：%1").arg(failure);
}

QString recomputeDoneLine(const RecomputeRun &run, bool dryRun)
{
    const qsizetype rows = qsizetype(run.plan.rows.size());
    if (rows == 0)
        return QStringLiteral("上级科目的余额都与下级科目合计相符，未做任何改动。");
    if (dryRun)
        return QStringLiteral("按下级科目重算将改动 %1 行余额（预览，未做任何改动）：").arg(rows);
    return QStringLiteral("已按下级科目重算 %1 行余额，修复日志 %2：").arg(rows).arg(run.journal);
}

QString recomputeTotals(qsizetype databases, bool dryRun, qint64 rows, int leaving, int failed)
{
    return QStringLiteral("共 %1 个数据库：%2 %3 行余额；%4 个数据库留有无法重算的余额行，%5 个出错。")
        .arg(databases)
        .arg(dryRun ? QStringLiteral("将改动") : QStringLiteral("改动"))
        .arg(rows)
        .arg(leaving)
        .arg(failed);
}

QString resetFailedLine(const QString &failure)
{
    return QStringLiteral("余额清零失败，未做任何改动：%1").arg(failure);
}

QString resetNotBegunLine(const QString &failure)
{
    return QStringLiteral("余额清零失败，无法连接数据库，未做任何改动：%1").arg(failure);
}

QString resetDoneLine(const BalanceResetRun &run, const QString &firstPeriod, bool dryRun)
{
    if (run.rows.empty())
        return QStringLiteral("从第 %1 期起没有余额行，未做任何改动。").arg(firstPeriod);
    if (dryRun)
        return QStringLiteral("从第 %1 期起的 %2 行余额将被清零（预览，未做任何改动）：").arg(firstPeriod).arg(run.rows.size());
    return QStringLiteral("从第 %1 期起已清零 %2 行余额，修复日志 %3。清零前：").arg(firstPeriod).arg(run.rows.size()).arg(run.journal);
}

QString balanceRowText(const BalanceRow &row)
{
    return QStringLiteral("第 %1 期：mb %2，md %3，mc %4")
        .arg(db::shownValue(row.period), amountText(row.mb), amountText(row.md), amountText(row.mc));
}

QString undoFailedLine(const UndoRun &run, const QString &failure)
{
    return QStringLiteral("撤销 %1 失败，未做任何改动：%2").arg(run.undoes, failure);
}

QString undoDoneLine(const UndoRun &run)
{
    return QStringLiteral("已撤销修复 %1：%2，未恢复 %3 行。撤销本身记在修复日志 %4 中。")
        .arg(run.undoes, undoTally(run))
        .arg(run.leftAlone.size())
        .arg(run.journal);
}

QString notRestoredLine(const RepairRecord &record, const LeftAlone &left)
{
    return QStringLiteral("未恢复 ") + leftAloneLine(record, left);
}

}  // namespace repair::RepairText
