#pragma once

#include "Commands.h"

#include <QList>
#include <QString>

namespace cli {

struct SelectedDatabase {
    QString accountSet;
    QString year;
    QString database;  // LQDATA_<account set>_<year>
};

// The account-set databases a command works on: every account set the system database lists,
// in the order it returns them, with each of its live fiscal years as the window's year list
// finds them; --account-set and --year narrow it to one set or year. Raises db::DbError when
// the system database can't be read, or when the selection is empty.
QList<SelectedDatabase> selectDatabases(const Request &request);

} // namespace cli
