#include "TableTriggers.h"

#include "Connection.h"
#include "DbError.h"
#include "Recordset.h"

namespace db {

namespace {

// On SQLite one read of the schema: the view of that name and the triggers on the table, which
// are named by the table's name as the trigger was created, compared as the table's name is,
// without regard to case (as the server does by default).
TableTriggers sqliteTriggers(const std::shared_ptr<Connection> &connection, const QString &table)
{
    TableTriggers found;
    Recordset rows;
    rows.open(QStringLiteral("select type, name from sqlite_master where (type='view' and name=? collate nocase)"
                             " or (type='trigger' and tbl_name=? collate nocase) order by name"),
              connection, CursorType::Static, LockType::ReadOnly, {table, table});
    for (; !rows.eof(); rows.moveNext()) {
        if (rows.field(0).toString() == QLatin1String("view"))
            found.isView = true;
        else
            found.names << rows.field(1).toString();
    }
    rows.close();
    return found;
}

}  // namespace

TableTriggers tableTriggers(const std::shared_ptr<Connection> &connection, const QString &table)
{
    TableTriggers found;
    try {
        if (connection->dialect() == SqlDialect::Sqlite)
            return sqliteTriggers(connection, table);
        Recordset rows;
        rows.open(QStringLiteral("select count(*) from sys.views where object_id=object_id(?)"), connection, CursorType::Static,
                  LockType::ReadOnly, {table});
        found.isView = !rows.eof() && rows.field(0).toLongLong() > 0;
        rows.close();
        rows.open(QStringLiteral("select name from sys.triggers where parent_id=object_id(?) order by name"), connection,
                  CursorType::Static, LockType::ReadOnly, {table});
        for (; !rows.eof(); rows.moveNext())
            found.names << rows.field(0).toString();
        rows.close();
    } catch (const DbError &error) {
        found.failure = error.description();
    }
    return found;
}

}  // namespace db
