#pragma once

#include <QString>
#include <QStringList>

#include <memory>

namespace db {

class Connection;

// What may write a table besides the statements sent to it: the triggers that fire on its changes,
// and whether it is a view, whose rows only triggers write. A repair journals the rows it writes
// itself; a trigger may write others that no journal holds, and may make an engine's count of the
// rows a statement changed say nothing of them. Read from the engine's own catalogue:
// sqlite_master on SQLite, sys.triggers on the server.
struct TableTriggers {
    bool isView = false;
    QStringList names;  // in the order of their names
    QString failure;    // why the catalogue could not be read; the table may have triggers then

    // Whether anything but the statements may write the table, as far as is known.
    bool any() const { return isView || !names.isEmpty() || !failure.isEmpty(); }
};

TableTriggers tableTriggers(const std::shared_ptr<Connection> &connection, const QString &table);

}  // namespace db
