#pragma once

#include <QString>

namespace db {

// How the user of the front end in use does what an explanation of a fault advises. This layer
// explains a fault and what to do about it; the way to do it (a window's menu, an option of the
// command line) is the front end's, which sets its words once at its start, before any connection
// is made. An explanation leaves out a way while its words are empty.
struct AdviceWays {
    QString setupGuide;        // where to read how to set up the connection to SQL Server
    QString serverChoice;      // how to name the server to connect to
    QString sqlLogin;          // how to log on with a SQL Server login instead
    QString unfinishedRepair;  // how to find a repair that never recorded its end, and undo it
};

void setAdviceWays(const AdviceWays &ways);
const AdviceWays &adviceWays();

// The words of a way, to follow advice: "（" + `way` + "）", or nothing for no way.
QString inParentheses(const QString &way);

}  // namespace db
