#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QJsonValue>
#include <QString>
#include <QVariant>

namespace db {

// How a value read from a database is stored, whichever type the driver gave it in: SQLite's
// storage classes, which the other engines' column types fall into (a bit and every integer
// width an integer, float and double a real, every character type text, binary a blob); Other
// for what has no such class (a date or time the ODBC driver gives as such, an unsigned integer
// beyond the signed 64 bits).
enum class StorageClass { Null, Integer, Real, Text, Blob, Other };
StorageClass storageClass(const QVariant &value);
// Whether writing the integer `value` leaves the stored value exactly as it is: an integer of that
// value. A value kept in another form ('1 ', 1.0, '0.00') is equal by value but is rewritten as an
// integer, so a repair writes and journals it all the same, and undo can give the old form back.
bool storedAsInteger(const QVariant &stored, qint64 value);

// A value read from a database as it is shown, the same in every front end.

// As JSON: numbers stay numbers, NULL is null, a blob is its bytes in hex as an SQL literal.
QJsonValue jsonValue(const QVariant &value);
// As the user reads it in a line of text or a cell: NULL as NULL, the rest as jsonValue() gives it.
QString shownValue(const QVariant &value);
// A code as read from a database, for jsonValue() and shownValue(): a NULL code (a null text)
// stays null; a code holding bytes that are not valid UTF-8 (see textOfBytes()), or beginning
// with a byte-order mark, is those bytes, so that it is shown as they are stored.
QVariant codeValue(const QString &code);
// A code as the user reads it in a line of text or a cell: shownValue() of codeValue().
QString shownCode(const QString &code);
// On SQLite, an expression giving the stored bytes of the code in `column` where the driver
// would hand it over otherwise than stored: a blob, and a text not all printable ASCII (a text not
// valid UTF-8 comes decoded, its invalid bytes replaced alike); NULL for any other code.
QString codeBytesExpression(const QString &column);

// Stored text bytes as a text that keeps every two different byte strings apart: valid UTF-8 is
// decoded as it is; each byte of a sequence that is not valid UTF-8 (a code imported in another
// encoding, such as GBK) becomes the lone low surrogate U+DC00 + byte, which no decoded text
// holds. A driver that decodes such bytes would replace them all alike, and two codes would read
// as one.
QString textOfBytes(QByteArrayView bytes);
// Whether `text` holds a byte textOfBytes() could not decode.
bool holdsUndecodedBytes(const QString &text);
// The bytes textOfBytes() read `text` from.
QByteArray bytesOfText(const QString &text);

}  // namespace db
