#include "RepairReport.h"

#include "db/StoredValue.h"
#include "repair/JournalReader.h"
#include "repair/RepairPlace.h"
#include "repair/RepairText.h"
#include "repair/Undo.h"

namespace repair::report {

namespace {

constexpr int PageRows = 1000;  // journal rows read at a time

// How a changed column's values are shown: amounts of the balances, flags of the chart, any
// other column as stored.
Kind valueKind(const RepairRecord &record, const QString &column)
{
    if (RepairText::changesAmounts(record))
        return Kind::Amount;
    if (RepairText::isEndFlag(column))
        return Kind::Flag;
    return Kind::Value;
}

Cell valueCell(Kind kind, const QVariant &value)
{
    switch (kind) {
    case Kind::Amount:
        return Cell::storedAmount(value);
    case Kind::Flag:
        return Cell::flag(value);
    default:
        return Cell::value(value);
    }
}

// The key columns a row is shown by: its account code and period where it has them, else every
// key column (a chart without codes is found by what else it holds).
QList<int> placeColumns(const RepairRecord &record)
{
    QList<int> shown;
    for (const char *name : {"ccode", "iperiod"})
        for (int i = 0; i < record.keyColumns.size(); ++i)
            if (record.keyColumns.at(i).compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
                shown << i;
    if (shown.isEmpty())
        for (int i = 0; i < record.keyColumns.size(); ++i)
            shown << i;
    return shown;
}

Table changedRows(const QString &directory, const RepairRecord &record)
{
    Table t;
    t.heading = QStringLiteral("改动的记录");
    t.context = {{QStringLiteral("id"), QStringLiteral("修复日志编号"), Cell::words(record.id)}};
    const QList<int> places = placeColumns(record);
    for (const int i : places) {
        const QString column = record.keyColumns.at(i);
        const bool code = column.compare(QLatin1String("ccode"), Qt::CaseInsensitive) == 0;
        t.columns.append({column.toLower(), RepairText::columnWords(column), code ? Kind::Text : Kind::Value});
    }
    QList<Kind> kinds;
    for (const QString &column : record.changedColumns) {
        kinds << valueKind(record, column);
        t.columns.append({column.toLower() + QStringLiteral("_old"),
                          QStringLiteral("%1 修复前").arg(RepairText::columnWords(column)), kinds.last()});
        t.columns.append({column.toLower() + QStringLiteral("_new"),
                          QStringLiteral("%1 修复写入").arg(RepairText::columnWords(column)), kinds.last()});
    }
    for (qint64 offset = 0;; offset += PageRows) {
        const QList<JournalRow> rows = readRows(directory, record.id, offset, PageRows);
        for (const JournalRow &row : rows) {
            QList<Cell> cells;
            for (const int i : places)
                cells << (t.columns.at(cells.size()).kind == Kind::Text ? Cell::words(db::shownValue(row.key.value(i)))
                                                                        : Cell::value(row.key.value(i)));
            for (int c = 0; c < record.changedColumns.size(); ++c)
                cells << valueCell(kinds.at(c), row.oldValues.value(c)) << valueCell(kinds.at(c), row.newValues.value(c));
            t.rows.append(cells);
        }
        if (rows.size() < PageRows)
            break;
    }
    t.empty = QStringLiteral("日志中没有记下改动的记录。");
    return t;
}

// How to undo the repair, or why it can't be undone.
QString howToUndo(const RepairRecord &record)
{
    if (!record.undoneBy.isEmpty())
        return QStringLiteral("这次修复已由 %1 撤销。").arg(record.undoneBy);
    QString refusal = RepairText::whyNotUndoable(record);
    if (!refusal.isEmpty() && undoRefusal(record) != UndoRefusal::MadeOverOdbc && undoRefusal(record) != UndoRefusal::MadeEmbedded)
        return refusal;
    return QStringLiteral("撤销这次修复：在“修复日志”窗口中选中它，按“撤销”；或在命令行运行 n3fix --undo %1%2。"
                          "撤销只恢复仍是这次修复写入的值的记录，之后被改动过的记录保持不变，并在结果中列出。")
        .arg(record.id,
             RepairPlace::madeOverOdbc(record.engine) ? QLatin1Char(' ') + RepairPlace::option(record.engine) : QString());
}

}  // namespace

Report repairReport(const QString &directory, const RepairRecord &record)
{
    namespace Text = RepairText;
    Report report;
    report.title = QStringLiteral("修复记录");
    const auto fact = [&](const char *key, const QString &label, const QString &value) {
        report.facts.append({QLatin1String(key), label, Cell::words(value)});
    };
    fact("id", QStringLiteral("修复日志编号"), record.id);
    fact("repair", QStringLiteral("修复"), Text::name(record, Text::Form::Long));
    fact("account_set", QStringLiteral("帐套"), record.accountSet);
    fact("year", QStringLiteral("年度"), record.year);
    fact("database", QStringLiteral("数据库"), record.database);
    if (!Text::inputs(record).isEmpty())
        fact("inputs", QStringLiteral("输入"), Text::inputs(record));
    fact("time", QStringLiteral("修复时间"), Text::time(record));
    fact("user", QStringLiteral("操作人"), Text::user(record));
    fact("host", QStringLiteral("操作的计算机"), Text::host(record));
    fact("outcome", QStringLiteral("结果"), Text::outcome(record, Text::Form::Long));
    fact("rows_changed", QStringLiteral("改动行数"), Text::rowsChanged(record));
    report.facts << madeFacts();
    report.tables << changedRows(directory, record);
    report.closing << howToUndo(record);
    return report;
}

}  // namespace repair::report
