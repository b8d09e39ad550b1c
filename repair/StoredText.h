#pragma once

#include <QString>
#include <QVariant>

namespace db {
class Connection;
}

namespace repair {

// A text value of one row as a journal must keep it to find the row again. A text stored in bytes
// that are not valid UTF-8 (imported in another encoding) is read decoded, with its invalid bytes
// replaced, and no longer equals what is stored: on SQLite its stored bytes are read again, by
// the row's rowid, and kept instead. Every other value is kept as read.
QVariant storedText(db::Connection &connection, const QString &table, const QString &rowidName, const QVariant &rowid,
                    const QString &column, const QVariant &read);

}  // namespace repair
