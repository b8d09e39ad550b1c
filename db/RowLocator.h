#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

namespace db {

// The columns that find one row of `table` on SQLite, or none: the rowid under a name the
// table's own columns leave free, or for a WITHOUT ROWID table its primary key. A view's rows
// have neither and are found by their values.
QStringList sqliteRowLocator(const QSqlDatabase &database, const QString &table);

}  // namespace db
