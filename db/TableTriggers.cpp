#include "TableTriggers.h"

#include "Connection.h"
#include "DbError.h"
#include "Recordset.h"

namespace db {

TableTriggers tableTriggers(const std::shared_ptr<Connection> &connection, const QString &table)
{
    TableTriggers found;
    const bool sqlite = connection->dialect() == SqlDialect::Sqlite;
    // SQLite compares a table's name without regard to case, as the server does by default.
    const QString view = sqlite
        ? QStringLiteral("select count(*) from sqlite_master where type='view' and name=? collate nocase")
        : QStringLiteral("select count(*) from sys.views where object_id=object_id(?)");
    const QString triggers = sqlite
        ? QStringLiteral("select name from sqlite_master where type='trigger' and tbl_name=? collate nocase order by name")
        : QStringLiteral("select name from sys.triggers where parent_id=object_id(?) order by name");
    try {
        Recordset rows;
        rows.open(view, connection, CursorType::Static, LockType::ReadOnly, {table});
        found.isView = !rows.eof() && rows.field(0).toLongLong() > 0;
        rows.close();
        rows.open(triggers, connection, CursorType::Static, LockType::ReadOnly, {table});
        for (; !rows.eof(); rows.moveNext())
            found.names << rows.field(0).toString();
        rows.close();
    } catch (const DbError &error) {
        found.failure = error.description();
    }
    return found;
}

} // namespace db
