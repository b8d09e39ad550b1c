#pragma once

#include "Commands.h"
#include "Output.h"

#include "db/DbError.h"

#include <QJsonObject>
#include <QList>
#include <QString>

#include <optional>

namespace cli {

struct SelectedDatabase {
    QString accountSet;
    QString year;
    QString database;  // LQDATA_<account set>_<year>
};

// The database as a line of output names it: 帐套 001，2007 年度（LQDATA_001_2007）; and as JSON
// fields: account_set, year, database.
QString placeOf(const SelectedDatabase &selected);
QJsonObject placeJson(const SelectedDatabase &selected);

// A failure as a command says it: where the default data directory holds no data yet, with the
// ways to get some.
QString described(const db::DbError &error);
// The ways to get data on a first start, with no data yet in the default data directory: the demo
// data, n3demo, a folder of databases, SQL Server.
QString waysToData();

// The account-set databases a command works on: every account set the system database lists,
// in the order it returns them, with each of its live fiscal years as the window's year list
// finds them; --account-set and --year narrow it to one set or year. Raises db::DbError when
// the system database can't be read, or when the selection is empty.
QList<SelectedDatabase> selectDatabases(const Request &request);

// The same, for a command: when there is nothing to work on, says why (on standard error, and
// with --json as {"error": ...}) and gives nothing.
std::optional<QList<SelectedDatabase>> selectDatabasesOrSay(const Request &request, const Output &out);

}  // namespace cli
