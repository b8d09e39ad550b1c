#pragma once

#include <QString>
#include <QStringList>

namespace db {

// A table or column name as an SQL identifier both engines read as that very name: in double
// quotes, an inner double quote doubled. Any name that comes from a database or a journal goes
// into a statement this way, so a name like "group" or "c name" is never read as SQL.
QString quotedName(const QString &name);

// The names, each quoted, joined by commas: a select list or a column list.
QString quotedNames(const QStringList &names);

}  // namespace db
