#include "ShownData.h"

#include "db/ODBC.h"

#include <QDir>

QString shownData()
{
    return ODBC::engine().kind == db::EngineKind::Odbc ? QStringLiteral("ODBC（SQL Server）")
                                                       : QDir::toNativeSeparators(ODBC::engine().dataDirectory);
}
