#include "EndFlagCheck.h"

#include "EndFlagChart.h"
#include "EndFlagPlan.h"

#include "db/Connection.h"
#include "db/DbError.h"
#include "db/ODBC.h"

namespace repair {

EndFlagCheck checkEndFlags(const QString &database)
{
    EndFlagCheck check;
    check.database = database;
    try {
        const std::shared_ptr<db::Connection> connection = ODBC::openConnection(database, true);
        const EndFlagChart chart = EndFlagChart::read(connection, false);
        check.codes = int(chart.size());
        const std::vector<std::int8_t> right = rightEndFlags(connection, chart);
        for (std::size_t i = 0; i < chart.size(); ++i)
            if (!flagIsRight(chart.flag(i), right[i]))
                check.wrong.push_back({chart.codeText(i), chart.flag(i), right[i]});
    } catch (const db::DbError &error) {
        check.failure = error.description();
    }
    return check;
}

} // namespace repair
