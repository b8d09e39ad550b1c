#include "EndFlagCheck.h"

#include "EndFlagPlan.h"

#include "db/Connection.h"
#include "db/DbError.h"
#include "db/ODBC.h"
#include "db/Recordset.h"

namespace repair {

EndFlagCheck checkEndFlags(const QString &database)
{
    EndFlagCheck check;
    check.database = database;
    try {
        const std::shared_ptr<db::Connection> connection = ODBC::openConnection(database, true);
        std::vector<QVariant> codes, flags;
        db::Recordset chart;
        chart.open(QStringLiteral("select ccode,bend from code order by ccode"), connection, db::CursorType::Keyset,
                   db::LockType::ReadOnly);
        for (; !chart.eof(); chart.moveNext()) {
            codes.push_back(chart.field(0));
            flags.push_back(chart.field(1));
        }
        chart.close();
        check.codes = int(codes.size());
        const std::vector<int> right = rightEndFlags(connection, codes);
        for (std::size_t i = 0; i < codes.size(); ++i)
            if (!flagIsRight(flags[i], right[i]))
                check.wrong.push_back({connection->textOf(codes[i]), flags[i], right[i]});
    } catch (const db::DbError &error) {
        check.failure = error.description();
    }
    return check;
}

} // namespace repair
