#pragma once

#include <QString>

namespace db {

// Rewrites the T-SQL functions left(x,n) and len(x) into SQLite's built-in expressions with
// the same meaning, so that statements written for the server run unchanged on SQLite:
//   left(x,n) -> substr(x,1,n)
//   len(x)    -> length(rtrim(x,' '))   (trailing blanks do not count; NULL stays NULL)
// Function names are matched without regard to case. Text inside string literals ('...'),
// quoted names ("...", [...], `...`) and comments is left exactly as it was, and so is
// everything else in the statement. Arguments are rewritten too, so calls may nest.
QString rewriteTsqlForSqlite(const QString &sql);

} // namespace db
