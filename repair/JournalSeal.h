#pragma once

#include <QByteArray>
#include <QString>

struct sqlite3;
struct sqlite3_stmt;

// The seal that tells a journal as its repair wrote it from one changed since by anything else (a
// value edited, a row deleted or added, an outcome rewritten). Each row has a digest over all its
// columns as SQLite stores them, its number among them; the header keeps the number of rows and
// the digests combined, and the seal, a digest over every header column, by its name and value,
// but the seal itself and the memo flag settings_pending (which says nothing of the rows, and
// which a later walk clears in an older journal). So a journal of an earlier version, without the
// columns added since (who ran the repair, on which computer), is sealed over the columns it has
// and still verifies, while a column taken out of a newer journal or added to an older one shows
// as a change. The rows' digests are combined by XOR, so a row corrected after the journal is on
// disk changes the header in one step, without reading the other rows again.
namespace repair::journalseal {

constexpr int DigestSize = 32;  // SHA-256

// The digest of the row `statement` stands on (a row of the table row, every column).
QByteArray rowDigest(sqlite3_stmt *statement);
// Adds `digest` to the combined `digests`, or takes it out again: the same operation.
void combine(QByteArray &digests, const QByteArray &digest);
// The seal of the header `statement` stands on (select * from repair).
QByteArray headerSeal(sqlite3_stmt *statement);

// What a journal's seal says of it.
enum class SealCheck {
    Whole,       // every row and the header as the repair wrote them, the rows numbered 1 to n
    Unsealed,    // no seal: written by an earlier version, or the seal removed
    Altered,     // changed since: a value, a row added or taken away, the header
    Unreadable,  // SQLite could not read it (a torn or truncated file); `error` says why
};
// Checks the journal open on `db`; `rows` gets the number of its rows.
SealCheck check(sqlite3 *db, qint64 &rows, QString &error);

}  // namespace repair::journalseal
