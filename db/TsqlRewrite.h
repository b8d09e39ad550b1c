#pragma once

#include <QString>

namespace db {

// Rewrites the T-SQL functions left(x,n) and len(x) into SQLite's built-in expressions with
// the same meaning, so that statements written for the server run unchanged on SQLite:
//   left(x,n) -> substr(T(x),1,n)
//   len(x)    -> length(rtrim(T(x),' '))   (trailing blanks do not count; NULL stays NULL)
// where T(x) is x as the server turns it into text: a whole REAL such as 1001.0 becomes the
// integer 1001 (text "1001", not SQLite's "1001.0"); any other value stays as it is. T(x) is a
// subquery that evaluates x once.
// Function names are matched without regard to case. Text inside string literals ('...'),
// quoted names ("...", [...], `...`) and comments is left exactly as it was, and so is
// everything else in the statement. Arguments are rewritten too, so calls may nest.
QString rewriteTsqlForSqlite(const QString &sql);

}  // namespace db
