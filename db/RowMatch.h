#pragma once

#include <QString>
#include <QStringList>
#include <QVariantList>

namespace db {

// A condition for a statement's where clause, with the values bound to its placeholders in their
// order.
struct Condition {
    QString sql;
    QVariantList bound;
};

// Every one of `columns` holds its value of `values`: "column=?" with the value bound, or
// "column is null" for a null; joined by "and", and "1=1" for no columns. With `bytesAsText`
// (on SQLite only) a value given as bytes stands for a text that is not valid UTF-8, as the
// journal keeps it, and is compared with the column's bytes, as is a text beginning with U+FEFF;
// without it, bytes match a blob.
Condition allEqual(const QStringList &columns, const QVariantList &values, bool bytesAsText = false);

}  // namespace db
