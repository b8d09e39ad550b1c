#include "DatabaseSelection.h"

#include "db/DbError.h"
#include "db/ODBC.h"
#include "db/SystemDatabase.h"

#include <QJsonObject>

namespace cli {

QString placeOf(const SelectedDatabase &selected)
{
    return QStringLiteral("帐套 %1 %2 年度（%3）").arg(selected.accountSet, selected.year, selected.database);
}

QList<SelectedDatabase> selectDatabases(const Request &request)
{
    const std::shared_ptr<db::Connection> system = ODBC::openConnection(ODBC::SystemDatabase, true);
    QList<SelectedDatabase> selected;
    bool setFound = request.accountSet.isEmpty();
    for (const db::AccountSet &set : db::accountSets(system)) {
        if (!request.accountSet.isEmpty() && set.number != request.accountSet)
            continue;
        setFound = true;
        for (const QString &year : db::liveYears(system, set.number))
            if (request.year.isEmpty() || year == request.year)
                selected.append({set.number, year, ODBC::accountSetDatabaseName(set.number, year)});
    }
    if (!setFound)
        throw db::DbError(QStringLiteral("系统库中没有编号为“%1”的帐套。").arg(request.accountSet));
    if (selected.isEmpty())
        throw db::DbError(request.year.isEmpty() ? QStringLiteral("没有可处理的帐套年度。")
                                                : QStringLiteral("没有帐套有 %1 会计年度。").arg(request.year));
    return selected;
}

std::optional<QList<SelectedDatabase>> selectDatabasesOrSay(const Request &request, const Output &out)
{
    try {
        return selectDatabases(request);
    } catch (const db::DbError &error) {
        Output::error(error.description());
        out.document(QJsonObject{{QStringLiteral("error"), error.description()}});
        return std::nullopt;
    }
}

} // namespace cli
