#include "RepairPlace.h"

#include "db/Engine.h"
#include "db/ODBC.h"

#include <QDir>
#include <QRegularExpression>

namespace repair::RepairPlace {

bool madeOverOdbc(const QString &engine)
{
    return engine == QLatin1String("odbc") || !server(engine).isEmpty();
}

QString server(const QString &engine)
{
    return ODBC::serverOf(engine);
}

QString madeOn(const QString &engine)
{
    if (const QString name = server(engine); !name.isEmpty())
        return QStringLiteral("在 SQL Server 服务器 %1 上").arg(name);
    return madeOverOdbc(engine) ? QStringLiteral("通过 ODBC 在本机的 SQL Server 上") : QStringLiteral("在内置数据库上");
}

QString serverOption(const QString &server)
{
    if (server.isEmpty())
        return QStringLiteral("--odbc");
    // a backslash (host\instance) or a comma is kept whole in double quotes, in a POSIX shell and in cmd
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9._:()-]+$"));
    return QStringLiteral("--server ") + (plain.match(server).hasMatch() ? server : QLatin1Char('"') + server + QLatin1Char('"'));
}

QString option(const QString &engine)
{
    if (madeOverOdbc(engine))
        return serverOption(server(engine));
    return QStringLiteral("--data-dir ") + QDir::toNativeSeparators(db::defaultDataDirectory());
}

}  // namespace repair::RepairPlace
