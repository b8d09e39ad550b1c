#include "ConnectionString.h"

#include <QStringList>

namespace db {

QString buildConnectionString(const QString &dbName)
{
    return QStringLiteral("DRIVER=SQL Server;SERVER=(local);APP=Microsoft(R) Windows (R) 2000 Operating System;WSID=")
        + QLatin1String(WorkstationName) + QStringLiteral(";DATABASE=") + dbName
        + QStringLiteral(";Trusted_Connection=Yes");
}

QString connectionAttribute(const QString &connectionString, const QString &key)
{
    const QStringList parts = connectionString.split(QLatin1Char(';'));
    for (const QString &part : parts) {
        const qsizetype eq = part.indexOf(QLatin1Char('='));
        if (eq < 0)
            continue;
        if (part.left(eq).trimmed().compare(key, Qt::CaseInsensitive) == 0)
            return part.mid(eq + 1);
    }
    return QString();
}

} // namespace db
