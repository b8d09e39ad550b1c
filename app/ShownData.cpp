#include "ShownData.h"

#include "db/DataLocation.h"
#include "db/ODBC.h"

#include <QDir>

QString shownData()
{
    switch (db::DataLocation::of(ODBC::engine()).kind()) {
    case db::DataLocation::SqlServer:
        return QStringLiteral("ODBC（SQL Server）");
    case db::DataLocation::Demo:
        return QStringLiteral("演示数据");
    case db::DataLocation::Folder:
        break;
    }
    return QDir::toNativeSeparators(ODBC::engine().dataDirectory);
}
