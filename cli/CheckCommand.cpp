// n3fix --check: the end flags the repair would change, in every selected database, read-only.
#include "Commands.h"
#include "DatabaseSelection.h"
#include "Output.h"

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
    QJsonArray results;
    for (const SelectedDatabase &selected : std::as_const(databases)) {
        const repair::EndFlagCheck check = repair::checkEndFlags(selected.database);
        QJsonObject result{{QStringLiteral("account_set"), selected.accountSet},
                           {QStringLiteral("year"), selected.year},
                           {QStringLiteral("database"), selected.database}};
        const QString where = placeOf(selected);
        if (!check.failure.isEmpty()) {
            status = 2;
            ++unreadable;
            result.insert(QStringLiteral("codes"), QJsonValue::Null);
            result.insert(QStringLiteral("wrong"), QJsonValue::Null);
            result.insert(QStringLiteral("wrong_codes"), QJsonArray());
            result.insert(QStringLiteral("error"), check.failure);
            out.line(QStringLiteral("%1：无法读取：%2").arg(where, check.failure));
            Output::error(QStringLiteral("%1：无法读取：%2").arg(where, check.failure));
            results.append(result);
            continue;
        }
        if (!check.wrong.empty()) {
            status = std::max(status, 1);
            ++withWrongFlags;
        }
        out.line(QStringLiteral("%1：科目 %2 个，末级标志错误 %3 个").arg(where).arg(check.codes).arg(check.wrong.size()));
        QJsonArray wrongCodes;
        for (const repair::WrongFlag &wrong : check.wrong) {
            const QVariant code = wrong.code.isNull() ? QVariant() : QVariant(wrong.code);  // a NULL code stays null
            wrongCodes.append(QJsonObject{{QStringLiteral("code"), jsonValue(code)},
                                          {QStringLiteral("flag"), jsonValue(wrong.flag)},
                                          {QStringLiteral("right"), wrong.right}});
            if (request.verbose)
                out.line(QStringLiteral("  %1  现为 %2，应为 %3").arg(shownValue(code), shownValue(wrong.flag)).arg(wrong.right));
        }
        result.insert(QStringLiteral("codes"), check.codes);
        result.insert(QStringLiteral("wrong"), int(check.wrong.size()));
        result.insert(QStringLiteral("wrong_codes"), wrongCodes);
        results.append(result);
    }
    out.line(QStringLiteral("共检查 %1 个数据库：%2 个有错误的末级标志，%3 个无法读取。")
                 .arg(databases.size()).arg(withWrongFlags).arg(unreadable));
    out.document(results);
    return status;
}

} // namespace cli
