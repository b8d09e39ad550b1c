#pragma once

#include <QJsonValue>
#include <QString>
#include <QVariant>

// A value read from a database as it is shown, the same in every front end.
namespace db {

// As JSON: numbers stay numbers, NULL is null, a blob is its bytes in hex as an SQL literal.
QJsonValue jsonValue(const QVariant &value);
// As the user reads it in a line of text or a cell: NULL as NULL, the rest as jsonValue() gives it.
QString shownValue(const QVariant &value);
// A code as read from a database, for jsonValue() and shownValue(): a NULL code (a null text)
// stays null.
QVariant codeValue(const QString &code);

} // namespace db
