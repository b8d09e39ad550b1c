#include "RepairText.h"

#include "BalanceRecompute.h"
#include "Money.h"

#include "db/StoredValue.h"

#include <QStringList>

namespace repair::RepairText {

namespace {

// One entry of the table: a short and a long form.
struct Words {
    const char *shortForm;
    const char *longForm;
    QString in(Form form) const { return QString::fromUtf8(form == Form::Short ? shortForm : longForm); }
};

// An undo names the repair it undoes after these words.
Words kindWords(RepairKind kind)
{
    switch (kind) {
    case RepairKind::BalanceReset:
        return {"修正科目错误", "余额清零（修正科目错误）"};
    case RepairKind::RecomputeBalances:
        return {"按下级科目重算", "按下级科目重算"};
    case RepairKind::EndFlags:
        return {"彻底根除", "重建末级标志（彻底根除）"};
    case RepairKind::Undo:
        break;
    }
    return {"撤销 ", "撤销 "};
}

// %1 is a row number, %2 the message. A walk writes rows in their order, so the rows it wrote
// say where it ended.
Words outcomeWords(Outcome outcome)
{
    switch (outcome) {
    case Outcome::Unrecorded:
        return {"未记录结束", "未记录结束（程序在修复中途被终止，或未能写下结果）"};
    case Outcome::Completed:
        return {"完成", "完成"};
    case Outcome::Stopped:
        return {"写入 %1 行后停止", "写入 %1 行后停止"};
    case Outcome::Failed:
        return {"在第 %1 行失败：%2", "在第 %1 行失败：%2"};
    case Outcome::RolledBack:
        break;
    }
    return {"失败，未改动任何记录：%2", "失败，未改动任何记录：%2"};
}

}  // namespace

QString name(const RepairRecord &record, Form form)
{
    const QString words = kindWords(record.repair).in(form);
    return record.repair == RepairKind::Undo ? words + record.undoes : words;
}

QString outcome(const RepairRecord &record, Form form)
{
    if (record.outcome == Outcome::Unrecorded && record.running)
        return QStringLiteral("正在进行");
    const qint64 written = qMax<qint64>(record.rowsDone, 0);
    const qint64 row = record.outcome == Outcome::Failed ? written + 1 : written;
    QString text = outcomeWords(record.outcome).in(form);
    if (text.contains(QLatin1String("%1")))
        text = text.arg(row);
    return text.contains(QLatin1String("%2")) ? text.arg(record.message) : text;
}

QString rowsChanged(const RepairRecord &record)
{
    return record.rowsChanged < 0 ? QStringLiteral("—") : QString::number(record.rowsChanged);
}

QString time(const RepairRecord &record)
{
    return record.time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

namespace {

QString orDash(const QString &text)
{
    return text.isEmpty() ? QStringLiteral("—") : text;
}

}  // namespace

QString user(const RepairRecord &record)
{
    return orDash(record.user);
}

QString host(const RepairRecord &record)
{
    return orDash(record.host);
}

QString userAndHost(const RepairRecord &record)
{
    return QStringLiteral("操作人 %1（计算机 %2）").arg(user(record), host(record));
}

QString accountSetAndYear(const QString &accountSet, const QString &year)
{
    return QStringLiteral("帐套 %1，%2 年度").arg(accountSet, year);
}

QString accountSetAndYear(const QString &accountSet, const QString &year, const QString &database)
{
    return QStringLiteral("%1（%2）").arg(accountSetAndYear(accountSet, year), database);
}

QString accountSetAndYear(const RepairRecord &record)
{
    return accountSetAndYear(record.accountSet, record.year, record.database);
}

QString inputs(const RepairRecord &record)
{
    if (record.repair != RepairKind::BalanceReset)
        return QString();
    return QStringLiteral("科目 %1，%2 月起").arg(record.code, record.period);
}

QString summary(const RepairRecord &record)
{
    QStringList parts{name(record, Form::Short), accountSetAndYear(record)};
    if (!inputs(record).isEmpty())
        parts << inputs(record);
    return QStringLiteral("%1（%2）").arg(record.id, parts.join(QStringLiteral("，")));
}

QString columnWords(const QString &column)
{
    static const char *const words[][2] = {
        {"ccode", "科目编码"}, {"ccode_name", "科目名称"}, {"bend", "末级标志"}, {"iperiod", "期间"}};
    for (const auto &word : words)
        if (column.compare(QLatin1String(word[0]), Qt::CaseInsensitive) == 0)
            return QString::fromUtf8(word[1]);
    return column;
}

QString keyValue(const RepairRecord &record, const JournalRow &row, const QString &name)
{
    for (int i = 0; i < record.keyColumns.size(); ++i)
        if (record.keyColumns.at(i).compare(name, Qt::CaseInsensitive) == 0)
            return db::shownValue(row.key.value(i));
    return QString();
}

QString rowPlace(const RepairRecord &record, const JournalRow &row)
{
    const QString code = keyValue(record, row, QStringLiteral("ccode"));
    const QString period = keyValue(record, row, QStringLiteral("iperiod"));
    if (!code.isEmpty() || record.keyColumns.isEmpty())
        return period.isEmpty() ? code : QStringLiteral("%1，%2 月").arg(code, period);
    QStringList named;
    for (int i = 0; i < record.keyColumns.size(); ++i)
        named << columnWords(record.keyColumns.at(i)) + QLatin1Char('=') + db::shownValue(row.key.value(i));
    return named.join(QLatin1Char(' '));
}

bool changesAmounts(const RepairRecord &record)
{
    return record.table.compare(QLatin1String("GL_accsum"), Qt::CaseInsensitive) == 0;
}

bool isEndFlag(const QString &column)
{
    return column.compare(QLatin1String("bend"), Qt::CaseInsensitive) == 0;
}

namespace {

// One value of a changed column. Shown, every column a repair changes in the balances is an
// amount, and the chart's bend is the end-level flag; anything else reads as stored.
QString changedValue(const RepairRecord &record, const QString &column, const QVariant &value, Wording wording)
{
    if (wording == Wording::Shown) {
        if (changesAmounts(record))
            return amountShown(value);
        if (isEndFlag(column))
            return flagShown(value);
    }
    return db::shownValue(value);
}

}  // namespace

QString rowValues(const RepairRecord &record, const QVariantList &values, Wording wording)
{
    if (record.changedColumns.size() == 1)
        return changedValue(record, record.changedColumns.at(0), values.value(0), wording);
    QStringList named;
    for (int i = 0; i < record.changedColumns.size(); ++i)
        named << columnWords(record.changedColumns.at(i)) + QLatin1Char('=')
                     + changedValue(record, record.changedColumns.at(i), values.value(i), wording);
    return named.join(QLatin1Char(' '));
}

QString moneyText(const Money &amount)
{
    return amount.toString(2);
}

QString amountText(const QVariant &stored)
{
    try {
        if (const std::optional<Money> amount = Money::fromStored(stored))
            return moneyText(*amount);
    } catch (const MoneyOutOfRange &) {
    }
    return db::shownValue(stored);
}

QString moneyExact(const Money &amount)
{
    const QString exact = amount.toString();
    const qsizetype point = exact.indexOf(QLatin1Char('.'));
    const qsizetype decimals = point < 0 ? 0 : exact.size() - point - 1;
    return decimals >= 2 ? exact : amount.toString(2);
}

QString moneyShown(const Money &amount)
{
    QString digits = moneyExact(amount);
    const qsizetype start = digits.startsWith(QLatin1Char('-')) ? 1 : 0;
    for (qsizetype at = digits.indexOf(QLatin1Char('.')) - 3; at > start; at -= 3)
        digits.insert(at, QLatin1Char(','));
    return digits;
}

QString amountShown(const QVariant &stored)
{
    try {
        if (const std::optional<Money> amount = Money::fromStored(stored))
            return moneyShown(*amount);
    } catch (const MoneyOutOfRange &) {
    }
    return db::shownValue(stored);
}

QString noBalanceRow()
{
    return QStringLiteral("无余额行");
}

QString flagShown(const QVariant &stored)
{
    if (db::storedAsInteger(stored, 1))
        return QStringLiteral("是（1）");
    if (db::storedAsInteger(stored, 0))
        return QStringLiteral("否（0）");
    if (db::storageClass(stored) == db::StorageClass::Text)
        return QStringLiteral("“%1”").arg(stored.toString());
    return db::shownValue(stored);
}

QString flagFormOnly()
{
    return QStringLiteral("值不变，只改为以整数存放");
}

QString recomputedRowText(const RecomputedRow &row, Wording wording)
{
    const bool shown = wording == Wording::Shown;
    QStringList changes;
    for (std::size_t c = 0; c < row.changes.size(); ++c)
        if (row.changes[c])
            changes << QStringLiteral("%1 %2 → %3")
                           .arg(row.columns[qsizetype(c)], shown ? amountShown(row.stored[c]) : amountText(row.stored[c]),
                                shown ? moneyShown(row.sums[c]) : moneyText(row.sums[c]));
    return QStringLiteral("%1 第 %2 期：%3")
        .arg(db::shownCode(row.code), db::shownValue(row.period), changes.join(QStringLiteral("，")));
}

QString chartChangedDuringWalk(int rowsRedecided, const QStringList &wrongAtEnd)
{
    QString text;
    if (rowsRedecided > 0)
        text = QStringLiteral("修复期间其他程序改动了科目表：%1 个科目的末级标志已按改动后的科目表确定。").arg(rowsRedecided);
    if (!wrongAtEnd.isEmpty()) {
        constexpr qsizetype Shown = 10;
        QStringList shown;
        for (const QString &code : wrongAtEnd.mid(0, Shown))
            shown << db::shownCode(code);
        QString codes = shown.join(QStringLiteral("，"));
        if (wrongAtEnd.size() > Shown)
            codes += QStringLiteral(" 等");
        text += QStringLiteral(
                    "修复期间其他程序改动了科目表，修复结束时有 %1 个科目的末级标志与现在的科目表不符：%2。请再重建一次末级标志。")
                    .arg(wrongAtEnd.size())
                    .arg(codes);
    }
    return text;
}

QString finalChartCheckNotMade(const QString &failure)
{
    return QStringLiteral("末级标志已全部写入，但修复结束时未能再核对一次科目表（%1），无法确定修复期间其他程序的改动"
                          "是否使某些末级标志与现在的科目表不符。请再检查一次末级标志。")
        .arg(failure);
}

QString unreadableAmountText(const UnreadableAmount &amount)
{
    return QStringLiteral("科目 %1 第 %2 期 %3 的金额“%4”无法识别")
        .arg(db::shownCode(amount.code), db::shownValue(amount.period), amount.column, storedAmountText(amount.stored));
}

QString unworkableSumsText(const UnworkableSums &sums)
{
    return QStringLiteral("科目 %1 第 %2 期 %3：本科目或下级科目中有无法识别的金额，未重算")
        .arg(db::shownCode(sums.code), db::shownValue(sums.period), sums.columns.join(QStringLiteral("、")));
}

QString inexactSumText(const InexactSum &sum, Wording wording)
{
    return QStringLiteral("科目 %1 第 %2 期 %3：合计 %4，数据库只能存为 %5，无法存下准确的合计")
        .arg(db::shownCode(sum.code), db::shownValue(sum.period), sum.column,
             wording == Wording::Shown ? moneyShown(sum.sum) : sum.sum.toString(), storedAmountText(sum.stored));
}

}  // namespace repair::RepairText
