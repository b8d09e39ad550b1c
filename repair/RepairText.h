#pragma once

#include "RepairRecord.h"
#include "Undo.h"

#include <QString>
#include <QVariant>
#include <QVariantList>

namespace repair {
class Money;
struct BalanceResetRun;
struct BalanceRow;
struct EndFlagRun;
struct RecomputeRun;
struct RecomputedRow;
struct UnreadableAmount;
struct UnworkableSums;
struct InexactSum;
}  // namespace repair

// How journaled repairs read to the user, the same for every front end. Each kind and
// outcome has a short form, for a cell of a list that sits beside the main window's buttons,
// and a long form, for a line of text that has to stand alone; where one wording serves both,
// the two forms are the same.
namespace repair::RepairText {

enum class Form { Short, Long };
// How amounts and end-level flags are written: Plain as scripts and the terminal read them, the
// digits as stored ("142183.50", a flag 1); Shown as accountants read them in the windows, amounts
// with their thousands separated ("142,183.50") and flags in words ("是（1）").
enum class Wording { Plain, Shown };

// The repair: "修正科目错误" or "余额清零（修正科目错误）", "彻底根除" or "重建末级标志（彻底根除）",
// "按下级科目重算", "撤销 <id>".
QString name(const RepairRecord &record, Form form);
// How it ended: "完成", "写入 N 行后停止", "在第 N 行失败：…", "失败，未改动任何记录：…",
// "正在进行", and "未记录结束" (with why that happens in the long form).
QString outcome(const RepairRecord &record, Form form);
// Rows it changed, or "—" when it never recorded them.
QString rowsChanged(const RepairRecord &record);
// When it started, on this machine's clock: a listing of repairs made in different time zones
// then reads in the order they happened.
QString time(const RepairRecord &record);

// Who ran the repair (their login name) and on which computer, "—" where the journal does not
// say (journals of earlier versions); both together: "操作人 zhang（计算机 ACCT-PC）".
QString user(const RepairRecord &record);
QString host(const RepairRecord &record);
QString userAndHost(const RepairRecord &record);

// "帐套 001，2007 年度", and with the database's name "帐套 001，2007 年度（LQDATA_001_2007）".
QString accountSetAndYear(const QString &accountSet, const QString &year);
QString accountSetAndYear(const QString &accountSet, const QString &year, const QString &database);
QString accountSetAndYear(const RepairRecord &record);  // with its database
// What the user gave a balance reset: "科目 1011，3 月起"; empty for the others.
QString inputs(const RepairRecord &record);
// The repair in one line, as a box names it: "<id>（<name>，<account set and year>，<inputs>）".
QString summary(const RepairRecord &record);

// A column as the books name it: "科目编码", "科目名称", "末级标志", "期间"; other columns (the
// amounts mb, md, mc among them) by their own names.
QString columnWords(const QString &column);
// The value a journaled row has in its key column `name` (as the engine compares names, without
// regard to case), as the user reads it; empty when the repair has no such column.
QString keyValue(const RepairRecord &record, const JournalRow &row, const QString &name);
// Where a journaled row is: its account code, with the period for a row of the balances
// ("1011，3 月"); its key columns in the books' words where it has no account code.
QString rowPlace(const RepairRecord &record, const JournalRow &row);
// Whether the values `record` changes are amounts: those of a repair of the balances (GL_accsum).
bool changesAmounts(const RepairRecord &record);
// Whether a changed column is the chart's end-level flag (bend).
bool isEndFlag(const QString &column);
// Values of the changed columns: the bare value when there is one column ("1"), else each with
// its column's name ("mb=12.5 mc=0 md=0"). Shown, the amounts of the balances read as
// amountShown() and the end-level flag as flagShown() ("mb=12.50", "是（1）").
QString rowValues(const RepairRecord &record, const QVariantList &values, Wording wording = Wording::Plain);

// Why undo left `left` as it is, in a sentence.
QString leftAloneReason(const LeftAlone &left);
// A row undo left alone, in a line: "1011，3 月：<reason>（修复前 …，修复写入 …，现为 …）".
QString leftAloneLine(const RepairRecord &record, const LeftAlone &left, Wording wording = Wording::Plain);
// What undo did with the rows it put back and those that needed nothing: "恢复 3 行", and where
// there are any, "，1 行已是修复前的值" and "，6 行修复时没有写到". With the rows left alone
// these account for every row the repair journaled.
QString undoTally(const UndoRun &run);
// The same for machines: "gone", "changed", "ambiguous" or "written_later".
QString leftAloneKind(LeftAloneReason reason);
// Why `record` can't be undone, with the next step where there is one; empty for None.
QString whyNotUndoable(const RepairRecord &record, UndoRefusal refusal);
QString whyNotUndoable(const RepairRecord &record);  // for undoRefusal(record)
// Why the journal file at `path` can't be trusted to undo its repair: changed since it was
// written, or without the seal that would show it was not.
QString journalAltered(const QString &path);
QString journalUnsealed(const QString &path);

// Money always with two decimals ("142183.50"); a stored amount the same when it reads as a
// number, else as db::shownValue() shows it.
QString moneyText(const Money &amount);
QString amountText(const QVariant &stored);
// Money in its exact decimal digits, two decimals or as many more as it has ("1200.00",
// "100.005"): for scripts and spreadsheets (JSON, CSV).
QString moneyExact(const Money &amount);
// Money as accountants write it, for the windows and printed reports: the same digits as
// moneyExact() with the thousands separated ("222,257.59", "-1,000.00", "1,234.567"); a stored
// amount the same when it reads as a number, else as db::shownValue() shows it.
QString moneyShown(const Money &amount);
QString amountShown(const QVariant &stored);
// Where an account has no balance row for an amount to be compared: "无余额行".
QString noBalanceRow();
// A stored end-level flag as a bookkeeper reads it, with the value stored beside: "是（1）" for an
// end-level account, "否（0）" for one with sub-accounts; any other stored value (NULL, a text,
// 2) as db::shownValue() shows it, a text in quotes.
QString flagShown(const QVariant &stored);
// What a dry run of the end-flag repair says of a flag the walk writes only to store it as an
// integer, its value the same ('1 ', 1.0 written as 1).
QString flagFormOnly();
// A row the recompute changes with its amounts before and after: "1002 第 9 期：md 12345.00 → 12245.00",
// Shown "md 12,345.00 → 12,245.00".
QString recomputedRowText(const RecomputedRow &row, Wording wording = Wording::Plain);
// What an end-flag walk says of the chart changing under it: how many rows got another flag than
// the one worked out from the chart as first read (another program added or removed codes), and the codes (the first ten) whose
// flag is wrong for the chart as the walk left it, with the advice to run it again. Empty when neither.
QString chartChangedDuringWalk(int rowsRedecided, const QStringList &wrongAtEnd);
// A completed end-flag walk whose last look at the chart failed (`failure`): every flag is
// written, but whether another program's change made one wrong is not known.
QString finalChartCheckNotMade(const QString &failure);
// An amount that can't be read: "科目 1002 第 9 期 md 的金额“1,234.50”无法识别".
QString unreadableAmountText(const UnreadableAmount &amount);
// Sums the recompute leaves because they need such an amount.
QString unworkableSumsText(const UnworkableSums &sums);
// A sum the engine did not store exactly; what it stored stays in all its digits, Shown too.
QString inexactSumText(const InexactSum &sum, Wording wording = Wording::Plain);

// How repairs and undo end (RunText.cpp), in the words each front end shows them: the main
// window's own, the check and journal windows' boxes (lines broken by "\n"), the command line's
// lines (each after the place it is about). Front ends pick the sentence and where it goes.

// The main window's words, exactly as its users know them: its two buttons without an account
// set or year, the balance reset's success and failure, the end-flag walk's last status line; a
// box of the walk's own trouble ("重建末级科目标志时出错：" and on a new line `what`); and, after
// the words of a reset whose end is unrecorded, that it is listed so and can still be undone.
QString notChosen();
QString resetSucceeded();
QString resetFailed();
QString walkFinished();
QString walkTrouble(const QString &what);
QString listedAsNeverEnded();

// A run whose journal could not record how it ended (run.unrecorded), of every kind alike: a
// completed run has all its rows written ("余额已清零，但修复日志 <id> 未能记下修复的结果：…",
// and so for each kind); one that failed or stopped is listed as never ended. Empty when its end
// is recorded.
QString endUnrecorded(const RepairRun &run);

// The check window's boxes, `place` as accountSetAndYear() names a database with its name, each
// ending in what triggers may have done besides, then an end the journal could not record: a
// recompute that ran or failed (changing nothing); a walk that completed, or failed or stopped
// (nothing changed, or how many flags it changed, where their journal is, and why it ended).
QString recomputeBox(const QString &place, const RecomputeRun &run);
QString endFlagsBox(const QString &place, const EndFlagRun &run);

// The journal window's box of an undo that failed (changing nothing), and of one that ran: rows
// put back, rows that needed nothing, each row left alone with the reason (the first `listed`),
// then what triggers may have done; both then an end its journal could not record.
QString undoFailedBox(const UndoRun &run);
QString undoDoneBox(const UndoRun &run, int listed);

// The command line's lines, each after the place it is about.
QString endFlagsDoneLine(const EndFlagRun &run);
// A walk that failed: the rows it wrote before, its journal, and why (run.failure).
QString endFlagsFailedLine(const EndFlagRun &run);
// A walk that could not begin: its database can't be opened (`failure` says why).
QString endFlagsNotBegunLine(const QString &failure);
QString recomputeFailedLine(const QString &failure);
// A recompute that ran, or with `dryRun` would run: the rows it changes follow.
QString recomputeDoneLine(const RecomputeRun &run, bool dryRun);
// The recompute of `databases` databases: rows changed in all, databases that keep rows it can't
// mend, databases that failed.
QString recomputeTotals(qsizetype databases, bool dryRun, qint64 rows, int leaving, int failed);
QString resetFailedLine(const QString &failure);
// A reset that could not begin: its database can't be opened (`failure` says why).
QString resetNotBegunLine(const QString &failure);
// A reset from period `firstPeriod` that ran, or with `dryRun` would run: the rows it clears follow.
QString resetDoneLine(const BalanceResetRun &run, const QString &firstPeriod, bool dryRun);
// A matched row's amounts before the reset: "第 9 期：mb 1200.00，md 300.00，mc 100.00".
QString balanceRowText(const BalanceRow &row);
QString undoFailedLine(const UndoRun &run, const QString &failure);
QString undoDoneLine(const UndoRun &run);
// A row undo left alone: "未恢复 " and leftAloneLine().
QString notRestoredLine(const RepairRecord &record, const LeftAlone &left);

}  // namespace repair::RepairText
