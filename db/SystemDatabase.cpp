#include "SystemDatabase.h"

#include "DbError.h"
#include "Recordset.h"

namespace db {

const QString AccountSetsQuery = QStringLiteral("select * from KS_Account ");

const QString LiveYearsQuery = QStringLiteral(
    "SELECT iyear FROM KS_period WHERE cacc_id=? AND (bisdelete=0 or bisdelete is null) GROUP BY iyear ORDER BY iyear");

bool isListedYear(const QVariant &year)
{
    bool numeric = false;
    const qlonglong value = year.toLongLong(&numeric);
    return !year.isNull() && !(numeric && value == 9999);
}

AccountSet accountSetAt(const Recordset &row)
{
    const QVariant number = row.field(QStringLiteral("cAcc_Id"));
    const QVariant name = row.field(QStringLiteral("cAcc_Name"));
    if (number.isNull())
        throw DbError(QStringLiteral("KS_Account 中有帐套编号（cAcc_Id）为空的记录。"));
    return {number.toString(), name.toString()};
}

QList<AccountSet> accountSets(const std::shared_ptr<Connection> &connection)
{
    QList<AccountSet> sets;
    Recordset rows;
    rows.open(AccountSetsQuery, connection, CursorType::Keyset, LockType::ReadOnly);
    for (; !rows.eof(); rows.moveNext())
        sets.append(accountSetAt(rows));
    return sets;
}

QStringList liveYears(const std::shared_ptr<Connection> &connection, const QString &number)
{
    QStringList years;
    Recordset rows;
    rows.open(LiveYearsQuery, connection, CursorType::Keyset, LockType::ReadOnly, {number.left(3)});
    for (; !rows.eof(); rows.moveNext())
        if (isListedYear(rows.field(QStringLiteral("iyear"))))
            years << rows.field(QStringLiteral("iyear")).toString();
    return years;
}

}  // namespace db
