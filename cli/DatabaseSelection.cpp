#include "DatabaseSelection.h"

#include "db/DbError.h"
#include "db/ODBC.h"
#include "db/SystemDatabase.h"
#include "repair/RepairText.h"

#include <QJsonObject>

namespace cli {

QString placeOf(const SelectedDatabase &selected)
{
    return repair::RepairText::accountSetAndYear(selected.accountSet, selected.year, selected.database);
}

QString described(const db::DbError &error)
{
    if (error.cause() != db::DbError::Cause::NoDataYet)
        return error.description();
    return error.description() + QStringLiteral("。默认数据目录中还没有数据。") + waysToData();
}

QString waysToData()
{
    return QStringLiteral("可加 --demo 改用演示数据，运行 n3demo 在默认数据目录中生成演示数据，加 --data-dir 目录 "
                          "使用存放数据库的目录，或加 --odbc 连接 SQL Server。");
}

QJsonObject placeJson(const SelectedDatabase &selected)
{
    return {{QStringLiteral("account_set"), selected.accountSet},
            {QStringLiteral("year"), selected.year},
            {QStringLiteral("database"), selected.database}};
}

namespace {

// The numbers of the account sets the system database lists, for a number it doesn't: all of
// them, or the first twenty and how many there are.
QString existingSets(const QStringList &numbers)
{
    constexpr int listed = 20;
    if (numbers.isEmpty())
        return QStringLiteral("系统库中还没有帐套");
    if (numbers.size() <= listed)
        return QStringLiteral("现有帐套：%1").arg(numbers.join(QStringLiteral("、")));
    return QStringLiteral("现有帐套：%1 等，共 %2 个").arg(numbers.mid(0, listed).join(QStringLiteral("、"))).arg(numbers.size());
}

}  // namespace

QList<SelectedDatabase> selectDatabases(const Request &request)
{
    const std::shared_ptr<db::Connection> system = ODBC::openConnection(ODBC::SystemDatabase, true);
    QList<SelectedDatabase> selected;
    bool setFound = request.accountSet.isEmpty();
    QStringList yearsOfTheSet;  // the live years of the one account set asked for
    QStringList numbers;
    for (const db::AccountSet &set : db::accountSets(system)) {
        numbers << set.number;
        if (!request.accountSet.isEmpty() && set.number != request.accountSet)
            continue;
        setFound = true;
        const QStringList years = db::liveYears(system, set.number);
        yearsOfTheSet += years;
        for (const QString &year : years)
            if (request.year.isEmpty() || year == request.year)
                selected.append({set.number, year, ODBC::accountSetDatabaseName(set.number, year)});
    }
    if (!setFound)
        throw db::DbError(QStringLiteral("系统库中没有编号为“%1”的帐套（%2）。").arg(request.accountSet, existingSets(numbers)));
    if (!selected.isEmpty())
        return selected;
    if (request.accountSet.isEmpty())
        throw db::DbError(request.year.isEmpty() ? QStringLiteral("没有可处理的帐套年度。")
                                                 : QStringLiteral("没有帐套有 %1 会计年度。").arg(request.year));
    if (yearsOfTheSet.isEmpty())
        throw db::DbError(QStringLiteral("帐套 %1 没有有效的会计年度。").arg(request.accountSet));
    throw db::DbError(QStringLiteral("帐套 %1 没有 %2 会计年度（它的有效年度：%3）。")
                          .arg(request.accountSet, request.year, yearsOfTheSet.join(QStringLiteral("、"))));
}

std::optional<QList<SelectedDatabase>> selectDatabasesOrSay(const Request &request, const Output &out)
{
    try {
        return selectDatabases(request);
    } catch (const db::DbError &error) {
        const QString said = described(error);
        Output::error(said);
        out.document(QJsonObject{{QStringLiteral("error"), said}});
        return std::nullopt;
    }
}

}  // namespace cli
