#include "FindingsReport.h"

#include "repair/RepairText.h"

#include <QStringList>

namespace repair::report {

namespace {

QString accountSetShown(const DatabaseFindings &found)
{
    return found.accountSetName.isEmpty() ? found.accountSet : QStringLiteral("%1(%2)").arg(found.accountSet, found.accountSetName);
}

// The facts each table of a database carries: where, and what kind of finding.
QList<Fact> context(const DatabaseFindings &found, const QString &kind)
{
    return {{QStringLiteral("account_set"), QStringLiteral("帐套"), Cell::words(accountSetShown(found))},
            {QStringLiteral("year"), QStringLiteral("年度"), Cell::words(found.year)},
            {QStringLiteral("database"), QStringLiteral("数据库"), Cell::words(found.database)},
            {QStringLiteral("kind"), QStringLiteral("类别"), Cell::words(kind)}};
}

Table table(const DatabaseFindings &found, const QString &kind, const QList<Column> &columns)
{
    Table t;
    t.heading = QStringLiteral("%1：%2").arg(RepairText::accountSetAndYear(found.accountSet, found.year, found.database), kind);
    t.context = context(found, kind);
    t.columns = columns;
    return t;
}

const Column CodeColumn{QStringLiteral("code"), QStringLiteral("科目编码"), Kind::Code};
const Column PeriodColumn{QStringLiteral("period"), QStringLiteral("月份"), Kind::Value};
const Column AmountColumn{QStringLiteral("column"), QStringLiteral("金额栏"), Kind::Text};
const Column NoteColumn{QStringLiteral("note"), QStringLiteral("说明"), Kind::Text};

Table unreadableDatabase(const DatabaseFindings &found, const QString &failure)
{
    Table t = table(found, QStringLiteral("无法读取"), {NoteColumn});
    t.rows.append({Cell::words(failure)});
    return t;
}

// The wrong flags a check found; for a dry run of the end-flag repair every flag it would write,
// those it writes only to store them as integers with a note saying so.
Table wrongFlags(const DatabaseFindings &found, const EndFlagCheck &check, bool dryRun)
{
    QList<Column> columns{CodeColumn,
                          {QStringLiteral("flag"), QStringLiteral("现在的末级标志"), Kind::Flag},
                          {QStringLiteral("right"), dryRun ? QStringLiteral("修复后") : QStringLiteral("应为"), Kind::Flag}};
    if (dryRun)
        columns << NoteColumn;
    Table t = table(found, dryRun ? QStringLiteral("重建末级标志将改动") : QStringLiteral("末级标志错误"), columns);
    for (const WrongFlag &wrong : check.wrong) {
        QList<Cell> row{Cell::code(wrong.code), Cell::flag(wrong.flag), Cell::flag(QVariant(qlonglong(wrong.right)))};
        if (dryRun)
            row << Cell::words(wrong.formOnly ? RepairText::flagFormOnly() : QString());
        t.rows.append(row);
    }
    t.empty = dryRun ? QStringLiteral("末级标志都正确，不需要改动。") : QStringLiteral("末级标志都正确。");
    return t;
}

QList<Table> balanceTables(const DatabaseFindings &found, const BalanceCheck &check)
{
    Table disagreements = table(found, QStringLiteral("总账和明细账不符"),
                                {CodeColumn,
                                 PeriodColumn,
                                 AmountColumn,
                                 {QStringLiteral("amount"), QStringLiteral("本科目金额"), Kind::Money},
                                 {QStringLiteral("sub_accounts_sum"), QStringLiteral("下级科目合计"), Kind::Money},
                                 {QStringLiteral("difference"), QStringLiteral("差额"), Kind::Money},
                                 NoteColumn});
    for (const BalanceDisagreement &d : check.disagreements) {
        Cell difference = Cell::words(QStringLiteral("超出范围"));
        try {
            difference = Cell::amount(d.amount.value_or(Money()) - d.subAccountsSum);
        } catch (const MoneyOutOfRange &) {
        }
        disagreements.rows.append({Cell::code(d.code), Cell::value(d.period), Cell::words(d.column),
                                   d.amount ? Cell::amount(*d.amount) : Cell::words(QString()), Cell::amount(d.subAccountsSum),
                                   difference, Cell::words(d.amount ? QString() : RepairText::noBalanceRow())});
    }
    Table unreadable =
        table(found, QStringLiteral("金额无法识别"),
              {CodeColumn, PeriodColumn, AmountColumn, {QStringLiteral("stored"), QStringLiteral("存储的值"), Kind::Text}});
    for (const UnreadableAmount &amount : check.unreadable)
        unreadable.rows.append({Cell::code(amount.code), Cell::value(amount.period), Cell::words(amount.column),
                                Cell::words(storedAmountText(amount.stored))});
    Table orphans = table(found, QStringLiteral("科目表中没有的余额行"), {CodeColumn, PeriodColumn});
    for (const BalanceOrphan &orphan : check.orphans)
        orphans.rows.append({Cell::code(orphan.code), Cell::value(orphan.period)});
    QList<Table> tables{disagreements};
    if (!unreadable.rows.isEmpty())
        tables << unreadable;
    if (!orphans.rows.isEmpty())
        tables << orphans;
    return tables;
}

// The recompute's plan: for a dry run every amount it would write; otherwise only the balance
// rows it would need and can't add.
QList<Table> recomputeTables(const DatabaseFindings &found, const RecomputePlan &plan, bool dryRun)
{
    QList<Table> tables;
    if (dryRun) {
        Table rows = table(found, QStringLiteral("按下级科目重算将改动"),
                           {CodeColumn,
                            PeriodColumn,
                            AmountColumn,
                            {QStringLiteral("amount"), QStringLiteral("现有金额"), Kind::Amount},
                            {QStringLiteral("new_amount"), QStringLiteral("重算后"), Kind::Money}});
        for (const RecomputedRow &row : plan.rows)
            for (std::size_t c = 0; c < row.changes.size(); ++c)
                if (row.changes[c])
                    rows.rows.append({Cell::code(row.code), Cell::value(row.period), Cell::words(row.columns.value(qsizetype(c))),
                                      Cell::storedAmount(row.stored[c]), Cell::amount(row.sums[c])});
        rows.empty = QStringLiteral("上级科目的余额都与下级科目合计相符，不需要重算。");
        tables << rows;
    }
    Table missing = table(
        found, QStringLiteral("缺少余额行"),
        {CodeColumn, PeriodColumn, AmountColumn, {QStringLiteral("sub_accounts_sum"), QStringLiteral("下级科目合计"), Kind::Money}});
    for (const MissingBalanceRow &row : plan.missingRows)
        for (std::size_t c = 0; c < row.sums.size(); ++c)
            if (!row.sums[c].isZero())  // a column whose sum is 0 needs no row
                missing.rows.append({Cell::code(row.code), Cell::value(row.period), Cell::words(plan.columns.value(qsizetype(c))),
                                     Cell::amount(row.sums[c])});
    if (!missing.rows.isEmpty())
        tables << missing;
    return tables;
}

Table resetRows(const DatabaseFindings &found, const BalanceResetRun &run)
{
    Table t = table(found, QStringLiteral("余额清零将改动（科目 %1，%2 月起）").arg(found.resetCode, found.resetFrom),
                    {CodeColumn,
                     PeriodColumn,
                     {QStringLiteral("mb"), QStringLiteral("mb"), Kind::Amount},
                     {QStringLiteral("md"), QStringLiteral("md"), Kind::Amount},
                     {QStringLiteral("mc"), QStringLiteral("mc"), Kind::Amount}});
    for (const BalanceRow &row : run.rows)
        t.rows.append({Cell::code(found.resetCode), Cell::value(row.period), Cell::storedAmount(row.mb),
                       Cell::storedAmount(row.md), Cell::storedAmount(row.mc)});
    t.empty = QStringLiteral("没有匹配的余额行。");
    return t;
}

// The summary row of one database: a count per check, "—" where the check could not read it, and
// "" where it was not made.
QList<Cell> summaryRow(const DatabaseFindings &found)
{
    const auto count = [](bool made, bool failed, qint64 n) {
        return !made ? Cell::words(QString()) : failed ? Cell::words(QStringLiteral("—")) : Cell::count(n);
    };
    const EndFlagCheck *flags = found.endFlags ? &*found.endFlags : nullptr;
    const BalanceCheck *balances = found.balances ? &*found.balances : nullptr;
    const RecomputePlan *plan = found.recompute ? &*found.recompute : nullptr;
    QStringList notes;
    if (!found.note.isEmpty())
        notes << found.note;
    if (!found.failure.isEmpty())
        notes << QStringLiteral("无法读取：") + found.failure;
    return {Cell::words(accountSetShown(found)),
            Cell::words(found.year),
            Cell::words(found.database),
            count(flags, flags && !flags->failure.isEmpty(), flags ? qint64(flagsChanged(*flags)) : 0),
            count(balances, balances && !balances->failure.isEmpty(), balances ? qint64(balances->disagreements.size()) : 0),
            count(plan, plan && !plan->failure.isEmpty(), plan ? qint64(plan->missingRows.size()) : 0),
            count(balances, balances && !balances->failure.isEmpty(), balances ? qint64(balances->orphans.size()) : 0),
            Cell::words(notes.join(QStringLiteral("；")))};
}

Table summary(const QList<DatabaseFindings> &databases)
{
    Table t;
    t.heading = QStringLiteral("概况");
    t.inCsv = false;
    t.columns = {{QStringLiteral("account_set"), QStringLiteral("帐套"), Kind::Text},
                 {QStringLiteral("year"), QStringLiteral("年度"), Kind::Text},
                 {QStringLiteral("database"), QStringLiteral("数据库"), Kind::Text},
                 {QStringLiteral("wrong_flags"), QStringLiteral("末级标志错误"), Kind::Count},
                 {QStringLiteral("disagreements"), QStringLiteral("总账和明细账不符"), Kind::Count},
                 {QStringLiteral("missing_rows"), QStringLiteral("缺少余额行"), Kind::Count},
                 {QStringLiteral("orphans"), QStringLiteral("无科目的余额行"), Kind::Count},
                 NoteColumn};
    for (const DatabaseFindings &found : databases)
        t.rows.append(summaryRow(found));
    t.empty = QStringLiteral("没有要检查的帐套年度。");
    return t;
}

// Why one of the checks could not read the database, unless the database as a whole could not be.
void addFailure(QStringList &failures, const QString &failure)
{
    if (!failure.isEmpty() && !failures.contains(failure))
        failures << failure;
}

}  // namespace

Report findingsReport(const QList<DatabaseFindings> &databases, const FindingsScope &scope)
{
    Report report;
    report.title = QStringLiteral("检查报告");
    if (databases.size() == 1) {
        const DatabaseFindings &only = databases.first();
        report.facts = {{QStringLiteral("account_set"), QStringLiteral("帐套"), Cell::words(accountSetShown(only))},
                        {QStringLiteral("year"), QStringLiteral("年度"), Cell::words(only.year)},
                        {QStringLiteral("database"), QStringLiteral("数据库"), Cell::words(only.database)}};
    } else {
        report.facts = {{QStringLiteral("databases"), QStringLiteral("帐套和年度"),
                         Cell::words(QStringLiteral("%1 个数据库，见概况").arg(databases.size()))}};
    }
    report.facts.append({QStringLiteral("place"), QStringLiteral("数据位置"), Cell::words(scope.dataPlace)});
    if (scope.dryRun)
        report.facts.append({QStringLiteral("dry_run"), QStringLiteral("内容"),
                             Cell::words(QStringLiteral("预览：列出修复将改动的行，未改动任何数据"))});
    report.facts << madeFacts();

    report.tables << summary(databases);
    for (const DatabaseFindings &found : databases) {
        QStringList failures;
        addFailure(failures, found.failure);
        if (found.endFlags)
            addFailure(failures, found.endFlags->failure);
        if (found.balances)
            addFailure(failures, found.balances->failure);
        if (found.recompute)
            addFailure(failures, found.recompute->failure);
        if (found.reset && found.reset->result == RunResult::Failed)
            addFailure(failures, found.reset->failure);
        if (!failures.isEmpty())
            report.tables << unreadableDatabase(found, failures.join(QStringLiteral("；")));
        if (found.endFlags && found.endFlags->failure.isEmpty())
            report.tables << wrongFlags(found, *found.endFlags, scope.dryRun);
        if (found.balances && found.balances->failure.isEmpty()) {
            QList<Table> tables = balanceTables(found, *found.balances);
            tables.first().empty = QStringLiteral("总账和明细账相符。");
            report.tables << tables;
        }
        if (found.recompute && found.recompute->failure.isEmpty())
            report.tables << recomputeTables(found, *found.recompute, scope.dryRun);
        if (found.reset && found.reset->result != RunResult::Failed)
            report.tables << resetRows(found, *found.reset);
    }
    return report;
}

}  // namespace repair::report
