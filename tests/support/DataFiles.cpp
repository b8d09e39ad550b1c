#include "DataFiles.h"

QString systemDatabase(const QString &dir)
{
    return dir + QStringLiteral("/LQsystem.db");
}

QString yearDatabase(const QString &dir, const QString &accountSet, const QString &year)
{
    return dir + QStringLiteral("/LQDATA_") + accountSet + QLatin1Char('_') + year + QStringLiteral(".db");
}
