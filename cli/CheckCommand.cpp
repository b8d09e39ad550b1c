// n3fix --check: the end flags the repair would change, in every selected database, read-only.
#include "Commands.h"
#include "DatabaseSelection.h"
#include "Output.h"
#include "ReportFile.h"

#include "db/StoredValue.h"
#include "repair/EndFlagCheck.h"

#include <QJsonArray>
#include <QJsonObject>

namespace cli {

int check(const Request &request)
{
    const Output out(request.json);
    const std::optional<QList<SelectedDatabase>> selection = selectDatabasesOrSay(request, out);
    if (!selection)
        return 2;
    const QList<SelectedDatabase> &databases = *selection;
    int status = 0, withWrongFlags = 0, unreadable = 0;
    qint64 wrongFlags = 0;
    QJsonArray results;
    ReportFile report(request);
    for (const SelectedDatabase &selected : std::as_const(databases)) {
        const repair::EndFlagCheck check = repair::checkEndFlags(selected.database);
        report.add({selected.accountSet, {}, selected.year, selected.database, {}, {}, check, {}, {}, {}, {}, {}});
        QJsonObject result = placeJson(selected);
        const QString where = placeOf(selected);
        if (!check.failure.isEmpty()) {
            status = 2;
            ++unreadable;
            result.insert(QStringLiteral("codes"), QJsonValue::Null);
            result.insert(QStringLiteral("wrong"), QJsonValue::Null);
            result.insert(QStringLiteral("wrong_codes"), QJsonArray());
            result.insert(QStringLiteral("error"), check.failure);
            Output::error(QStringLiteral("%1：无法读取：%2").arg(where, check.failure));
            results.append(result);
            continue;
        }
        if (!check.wrong.empty()) {
            status = std::max(status, 1);
            ++withWrongFlags;
            wrongFlags += qint64(check.wrong.size());
        }
        out.line(QStringLiteral("%1：科目 %2 个，末级标志错误 %3 个").arg(where).arg(check.codes).arg(check.wrong.size()));
        QJsonArray wrongCodes;
        for (const repair::WrongFlag &wrong : check.wrong) {
            const QVariant code = db::codeValue(wrong.code);
            wrongCodes.append(QJsonObject{{QStringLiteral("code"), db::jsonValue(code)},
                                          {QStringLiteral("flag"), db::jsonValue(wrong.flag)},
                                          {QStringLiteral("right"), wrong.right}});
            if (request.verbose)
                out.line(
                    QStringLiteral("  %1  现为 %2，应为 %3").arg(db::shownValue(code), db::shownValue(wrong.flag)).arg(wrong.right));
        }
        result.insert(QStringLiteral("codes"), check.codes);
        result.insert(QStringLiteral("wrong"), int(check.wrong.size()));
        result.insert(QStringLiteral("wrong_codes"), wrongCodes);
        results.append(result);
    }
    // Flags and databases are counted apart, each with its own noun.
    out.line(QStringLiteral("共检查 %1 个数据库：末级标志错误共 %2 个，在 %3 个数据库中；无法读取的数据库 %4 个。")
                 .arg(databases.size())
                 .arg(wrongFlags)
                 .arg(withWrongFlags)
                 .arg(unreadable));
    out.document(results);
    return report.saveFindings(status);
}

}  // namespace cli
