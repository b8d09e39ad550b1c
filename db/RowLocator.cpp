#include "RowLocator.h"

#include <QSqlQuery>
#include <QVariant>

namespace db {

QStringList sqliteRowLocator(const QSqlDatabase &database, const QString &table)
{
    QSqlQuery kind(database);
    kind.prepare(QStringLiteral("select type from sqlite_master where name=? collate nocase"));
    kind.addBindValue(table);
    if (kind.exec() && kind.next() && kind.value(0).toString() == QLatin1String("view"))
        return {};
    QSqlQuery columns(database);
    columns.prepare(QStringLiteral("select lower(name), pk from pragma_table_info(?) order by pk"));
    columns.addBindValue(table);
    QStringList own, primaryKey;
    if (columns.exec()) {
        while (columns.next()) {
            own << columns.value(0).toString();
            if (columns.value(1).toInt() > 0)
                primaryKey << columns.value(0).toString();
        }
    }
    for (const QString &name : {QStringLiteral("rowid"), QStringLiteral("_rowid_"), QStringLiteral("oid")}) {
        if (own.contains(name))
            continue;
        QSqlQuery probe(database);
        if (probe.prepare(QStringLiteral("select %1 from %2 limit 0").arg(name, table)))
            return {name};
        break;
    }
    return primaryKey;
}

}  // namespace db
