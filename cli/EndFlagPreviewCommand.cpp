// n3fix --repair-end-flags --dry-run: the end flags the walk would write in every selected
// database, each with its flag now and the flag it would get, read-only: no journal, no write.
#include "Commands.h"
#include "DatabaseSelection.h"
#include "Output.h"
#include "ReportFile.h"

#include "db/StoredValue.h"
#include "repair/EndFlagCheck.h"
#include "repair/RepairText.h"

#include <QJsonArray>
#include <QJsonObject>

namespace cli {

namespace {

// One flag the walk would write, as a line: "  1001  现为 1，将改为 0".
QString flagLine(const repair::WrongFlag &flag)
{
    QString line =
        QStringLiteral("  %1  现为 %2，将改为 %3").arg(db::shownCode(flag.code), db::shownValue(flag.flag)).arg(flag.right);
    if (flag.formOnly)
        line += QStringLiteral("（%1）").arg(repair::RepairText::flagFormOnly());
    return line;
}

QJsonObject flagJson(const repair::WrongFlag &flag)
{
    return {{QStringLiteral("code"), db::jsonValue(db::codeValue(flag.code))},
            {QStringLiteral("old"), db::jsonValue(flag.flag)},
            {QStringLiteral("new"), flag.right},
            {QStringLiteral("form_only"), flag.formOnly}};
}

}  // namespace

int previewEndFlags(const Request &request)
{
    const Output out(request.json);
    const std::optional<QList<SelectedDatabase>> selection = selectDatabasesOrSay(request, out);
    if (!selection)
        return 2;
    const QList<SelectedDatabase> &databases = *selection;
    int status = 0, withChanges = 0, unreadable = 0;
    qint64 changes = 0;
    QJsonArray results;
    ReportFile report(request);
    for (const SelectedDatabase &selected : std::as_const(databases)) {
        const repair::EndFlagCheck preview = repair::previewEndFlagWalk(selected.database);
        report.add({selected.accountSet, {}, selected.year, selected.database, {}, {}, preview, {}, {}, {}, {}, {}});
        const QString where = placeOf(selected);
        QJsonObject result = placeJson(selected);
        result.insert(QStringLiteral("dry_run"), true);
        result.insert(QStringLiteral("journal"), QJsonValue::Null);
        if (!preview.failure.isEmpty()) {
            status = 2;
            ++unreadable;
            result.insert(QStringLiteral("codes"), QJsonValue::Null);
            result.insert(QStringLiteral("changed"), QJsonValue::Null);
            result.insert(QStringLiteral("rows"), QJsonArray());
            result.insert(QStringLiteral("error"), preview.failure);
            Output::error(QStringLiteral("%1：无法读取，未做任何改动：%2").arg(where, preview.failure));
            results.append(result);
            continue;
        }
        const int changed = repair::flagsChanged(preview);
        const qsizetype written = qsizetype(preview.wrong.size());
        if (written > 0) {
            status = std::max(status, 1);
            out.line(QStringLiteral("%1：重建末级标志将写入以下 %2 个末级标志：").arg(where).arg(written));
        }
        withChanges += int(written > 0);
        changes += changed;
        QJsonArray rows;
        for (const repair::WrongFlag &flag : preview.wrong) {
            rows.append(flagJson(flag));
            out.line(flagLine(flag));
        }
        const QString formOnly =
            written > changed ? QStringLiteral("，另有 %1 个%2").arg(written - changed).arg(repair::RepairText::flagFormOnly())
                              : QString();
        out.line(QStringLiteral("%1：科目 %2 个，将改动末级标志 %3 个%4（预览，未做任何改动）。")
                     .arg(where)
                     .arg(preview.codes)
                     .arg(changed)
                     .arg(formOnly));
        result.insert(QStringLiteral("codes"), preview.codes);
        result.insert(QStringLiteral("changed"), changed);
        result.insert(QStringLiteral("rows"), rows);
        results.append(result);
    }
    out.line(QStringLiteral(
                 "共 %1 个数据库：将改动末级标志共 %2 个，%3 个数据库有要写入的末级标志；无法读取的数据库 %4 个。未做任何改动。")
                 .arg(databases.size())
                 .arg(changes)
                 .arg(withChanges)
                 .arg(unreadable));
    out.document(results);
    return report.saveFindings(status);
}

}  // namespace cli
