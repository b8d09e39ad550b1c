// The words of undo, in both front ends: why a row was left alone, the tally of an undo, why a
// repair can't be undone, and a journal that can't be followed.
#include "RepairText.h"

#include "RepairPlace.h"
#include "Undo.h"

#include "db/ODBC.h"

#include <QStringList>

namespace repair::RepairText {

namespace {

// Columns changed since, in the books' words: "科目名称、末级标志".
QString alteredColumns(const QStringList &columns)
{
    QStringList words;
    for (const QString &column : columns)
        words << columnWords(column);
    return words.join(QStringLiteral("、"));
}

}  // namespace

QString leftAloneReason(const LeftAlone &left)
{
    switch (left.reason) {
    case LeftAloneReason::Gone:
        return left.soughtByRowid ? QStringLiteral("按行号和原有内容都找不到这条记录") : QStringLiteral("记录已不存在");
    case LeftAloneReason::Changed:
        return left.alteredColumns.isEmpty()
                   ? QStringLiteral("修复之后已被改动")
                   : QStringLiteral("修复之后这条记录的字段 %1 已被改动").arg(alteredColumns(left.alteredColumns));
    case LeftAloneReason::Ambiguous:
        return left.soughtByRowid ? QStringLiteral("按行号找不到这条记录，按原有内容找到多条相同的记录，无法分辨")
                                  : QStringLiteral("有多条相同的记录，原值各不相同，无法分辨");
    case LeftAloneReason::WrittenLater:
        return QStringLiteral("这次修复没有记下写到了哪一行，而之后的修复 %1 也写过这条记录，现在的值可能是那次写的")
            .arg(left.laterRepair);
    }
    return QString();
}

QString leftAloneLine(const RepairRecord &record, const LeftAlone &left, Wording wording)
{
    return QStringLiteral("%1：%2（修复前 %3，修复写入 %4%5）")
        .arg(rowPlace(record, left.row), leftAloneReason(left), rowValues(record, left.row.oldValues, wording),
             rowValues(record, left.row.newValues, wording),
             left.now.isEmpty() ? QString() : QStringLiteral("，现为 ") + rowValues(record, left.now, wording));
}

QString undoTally(const UndoRun &run)
{
    QString text = QStringLiteral("恢复 %1 行").arg(run.rowsChanged);
    if (run.alreadyOld > 0)
        text += QStringLiteral("，%1 行已是修复前的值").arg(run.alreadyOld);
    if (run.notWritten > 0)
        text += QStringLiteral("，%1 行修复时没有写到").arg(run.notWritten);
    return text;
}

QString leftAloneKind(LeftAloneReason reason)
{
    switch (reason) {
    case LeftAloneReason::Gone:
        return QStringLiteral("gone");
    case LeftAloneReason::Changed:
        return QStringLiteral("changed");
    case LeftAloneReason::Ambiguous:
        return QStringLiteral("ambiguous");
    case LeftAloneReason::WrittenLater:
        break;
    }
    return QStringLiteral("written_later");
}

QString whyNotUndoable(const RepairRecord &record, UndoRefusal refusal)
{
    switch (refusal) {
    case UndoRefusal::None:
        return QString();
    case UndoRefusal::Running:
        return QStringLiteral("修复 %1 仍在进行中，不能撤销。请等它结束后再撤销。").arg(record.id);
    case UndoRefusal::AlreadyUndone:
        return QStringLiteral("修复 %1 已由 %2 撤销过，不再重复撤销。").arg(record.id, record.undoneBy);
    case UndoRefusal::RolledBack:
        return QStringLiteral("修复 %1 失败，已整体回滚，没有改动任何记录，无需撤销。").arg(record.id);
    case UndoRefusal::NothingWritten:
        return QStringLiteral("修复 %1 在写入第一行之前就已结束，没有改动任何记录，无需撤销。").arg(record.id);
    case UndoRefusal::MadeOverOdbc:
        if (!RepairPlace::server(record.engine).isEmpty())
            return QStringLiteral("修复 %1 是%2做的，撤销时也要连接这台服务器：加 %3。")
                .arg(record.id, RepairPlace::madeOn(record.engine), RepairPlace::option(record.engine));
        return QStringLiteral("修复 %1 是通过 ODBC 连接数据库做的，撤销时也要加 --odbc。").arg(record.id)
               + (RepairPlace::server(ODBC::engineName()).isEmpty() ? QString() : QStringLiteral("不要加 --server。"));
    case UndoRefusal::MadeEmbedded:
        return QStringLiteral("修复 %1 是在内置数据库上做的，撤销时不能加 --odbc、--server 或 --sql-login：加 %2。")
            .arg(record.id, RepairPlace::option(record.engine));
    }
    return QString();
}

QString whyNotUndoable(const RepairRecord &record)
{
    return whyNotUndoable(record, undoRefusal(record));
}

QString journalAltered(const QString &path)
{
    return QStringLiteral("修复日志 %1 与修复时写下的不一致（其中的值、行或结果被改动过），不能据此撤销。").arg(path);
}

QString journalUnsealed(const QString &path)
{
    return QStringLiteral("修复日志 %1 没有校验记录（由旧版本写下，或校验记录被去掉），无法确认它未被改动，不能据此撤销。").arg(path);
}

}  // namespace repair::RepairText
