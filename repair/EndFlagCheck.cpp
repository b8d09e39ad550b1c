#include "EndFlagCheck.h"

#include "EndFlagChart.h"
#include "EndFlagJournal.h"
#include "EndFlagPlan.h"

#include "db/Connection.h"
#include "db/DbError.h"
#include "db/ODBC.h"

#include <algorithm>

namespace repair {

namespace {

// Reads the chart of `database` read-only and lists the rows whose flag is wrong, and with
// `forms` also those the walk writes only to store their right flag as an integer.
EndFlagCheck look(const QString &database, bool forms)
{
    EndFlagCheck check;
    check.database = database;
    try {
        const std::shared_ptr<db::Connection> connection = ODBC::openConnection(database, true);
        const EndFlagChart chart = EndFlagChart::read(connection, false);
        check.codes = int(chart.size());
        const std::vector<std::int8_t> right = rightEndFlags(connection, chart);
        for (std::size_t i = 0; i < chart.size(); ++i) {
            const bool wrong = !flagIsRight(chart.flag(i), right[i]);
            if (wrong || (forms && walkWrites(chart, i, right[i])))
                check.wrong.push_back({chart.codeText(i), chart.flag(i), right[i], !wrong});
        }
    } catch (const db::DbError &error) {
        check.failure = error.description();
    }
    return check;
}

}  // namespace

EndFlagCheck checkEndFlags(const QString &database)
{
    return look(database, false);
}

EndFlagCheck previewEndFlagWalk(const QString &database)
{
    return look(database, true);
}

int flagsChanged(const EndFlagCheck &check)
{
    return int(std::count_if(check.wrong.begin(), check.wrong.end(), [](const WrongFlag &flag) { return !flag.formOnly; }));
}

}  // namespace repair
