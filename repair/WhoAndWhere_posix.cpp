#include "WhoAndWhere.h"

#include <QSysInfo>

#include <pwd.h>
#include <unistd.h>

namespace repair {

// By the user id the process runs as, which a changed USER or LOGNAME does not alter.
QString loginName()
{
    if (const passwd *entry = getpwuid(geteuid()); entry && entry->pw_name)
        return QString::fromLocal8Bit(entry->pw_name);
    return qEnvironmentVariable("USER");
}

QString computerName()
{
    return QSysInfo::machineHostName();
}

}  // namespace repair
