#include "RepairBoxes.h"

#include "db/StoredValue.h"
#include "repair/RepairText.h"

namespace RepairBoxes {

namespace {

// Rows or flags a question box lists one by one; the rest are counted.
constexpr int ListedInBox = 10;

constexpr auto Shown = repair::RepairText::Wording::Shown;

const QString HowToUndo = QStringLiteral("要撤销这次修复，请按“修复日志”，选中它，再按“撤销”。");

// The first lines of `lines` and how many more there are, as a box lists them.
QString firstFew(const QStringList &lines, const QString &more)
{
    QString text = lines.mid(0, ListedInBox).join(QLatin1Char('\n'));
    if (lines.size() > ListedInBox)
        text += QLatin1Char('\n') + more.arg(lines.size() - ListedInBox);
    return text;
}

}  // namespace

QString place(const DatabaseCheck &database)
{
    return repair::RepairText::accountSetAndYear(database.accountSet, database.year, database.database);
}

QString refusal(const DatabaseCheck &database, const QString &failure)
{
    if (database.runningRepair)
        return QStringLiteral("另一个程序正在修复%1（%2，修复日志 %3），请等它结束后再试。未做任何改动。")
            .arg(place(database), repair::RepairText::name(*database.runningRepair, repair::RepairText::Form::Short),
                 database.runningRepair->id);
    if (!failure.isEmpty())
        return QStringLiteral("无法读取%1，未做任何改动：\n%2").arg(place(database), failure);
    return QString();
}

QString recomputeQuestion(const DatabaseCheck &database)
{
    const repair::RecomputePlan &plan = database.recompute;
    QStringList rows;
    for (const repair::RecomputedRow &row : plan.rows)
        rows << repair::RepairText::recomputedRowText(row, Shown);
    QString text =
        QStringLiteral("按下级科目重算%1的余额吗？\n\n以末级科目为准，从最下一级起逐级向上，把上级科目的金额改为其直接下级"
                       "科目的合计，将改动 %2 行余额：\n")
            .arg(place(database))
            .arg(plan.rows.size())
        + firstFew(rows, QStringLiteral("……另有 %1 行。"));
    if (!plan.missingRows.empty() || !plan.duplicateRows.empty())
        text += QStringLiteral("\n\n另有 %1 个期间缺少余额行、%2 个期间有多条余额行，无法重算，不会改动。")
                    .arg(plan.missingRows.size())
                    .arg(plan.duplicateRows.size());
    if (!plan.unworkable.empty())
        text += QStringLiteral("\n\n另有 %1 个期间的合计需要无法识别的金额，不会重算：\n").arg(plan.unworkable.size())
                + firstFew(
                    [&plan] {
                        QStringList unworkable;
                        for (const repair::UnreadableAmount &amount : plan.unreadable)
                            unworkable << repair::RepairText::unreadableAmountText(amount);
                        return unworkable;
                    }(),
                    QStringLiteral("……另有 %1 处。"));
    return text + QStringLiteral("\n\n改动之前先写修复日志，之后可以在“修复日志”中撤销。");
}

QString endFlagsQuestion(const DatabaseCheck &database)
{
    QStringList flags;
    for (const repair::WrongFlag &wrong : database.endFlags.wrong)
        flags << QStringLiteral("%1：现为 %2，应为 %3")
                     .arg(db::shownCode(wrong.code), repair::RepairText::flagShown(wrong.flag),
                          repair::RepairText::flagShown(wrong.right));
    return QStringLiteral("重建%1的末级标志吗？\n\n按科目编码顺序重写科目表中每个科目的末级标志（还有以它的编码开头的更长编码时为 0，"
                          "没有时为 1），将改动 %2 个：\n")
               .arg(place(database))
               .arg(database.endFlags.wrong.size())
           + firstFew(flags, QStringLiteral("……另有 %1 个。"))
           + QStringLiteral("\n\n改动之前先写修复日志，之后可以在“修复日志”中撤销。");
}

// What a recompute did, and its box's icon.
std::pair<QString, MessageBox::Icon> recomputeReport(const DatabaseCheck &database, const repair::RecomputeRun &run)
{
    QString text = repair::RepairText::recomputeBox(place(database), run);
    if (run.result != repair::RunResult::Completed)
        return {text, MessageBox::Icon::Critical};
    QStringList inexact;
    for (const repair::InexactSum &sum : run.plan.inexact)
        inexact << repair::RepairText::inexactSumText(sum, Shown);
    if (!inexact.isEmpty())
        text += QStringLiteral("\n\n") + firstFew(inexact, QStringLiteral("……另有 %1 处。"));
    return {text + QStringLiteral("\n\n") + HowToUndo,
            run.unrecorded.isEmpty() && inexact.isEmpty() ? MessageBox::Icon::None : MessageBox::Icon::Critical};
}

// What an end-flag repair did, and its box's icon. A walk that fails keeps the flags it wrote
// before, each committed as it went: the box says how many, and where their journal is.
std::pair<QString, MessageBox::Icon> endFlagsReport(const DatabaseCheck &database, const repair::EndFlagRun &run)
{
    QString text = repair::RepairText::endFlagsBox(place(database), run);
    if (run.result != repair::RunResult::Completed)
        return {text, MessageBox::Icon::Critical};
    if (const QString changes = repair::RepairText::chartChangedDuringWalk(run.rowsRedecided, run.wrongAtEnd); !changes.isEmpty())
        text += QStringLiteral("\n\n") + changes;
    if (!run.finalCheckFailure.isEmpty())
        text += QStringLiteral("\n\n") + repair::RepairText::finalChartCheckNotMade(run.finalCheckFailure);
    const bool fine = run.unrecorded.isEmpty() && run.wrongAtEnd.isEmpty() && run.finalCheckFailure.isEmpty();
    return {text + QStringLiteral("\n\n") + HowToUndo, fine ? MessageBox::Icon::None : MessageBox::Icon::Critical};
}

}  // namespace RepairBoxes
