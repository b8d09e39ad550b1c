#include "WhoAndWhere.h"

#include <windows.h>

namespace repair {

QString loginName()
{
    wchar_t name[256 + 1];
    DWORD size = sizeof name / sizeof name[0];
    if (GetUserNameW(name, &size) && size > 0)
        return QString::fromWCharArray(name, int(size - 1));
    return qEnvironmentVariable("USERNAME");
}

// The NetBIOS name, as Windows shows it in the system's settings and on the network.
QString computerName()
{
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD size = sizeof name / sizeof name[0];
    if (GetComputerNameW(name, &size))
        return QString::fromWCharArray(name, int(size));
    return qEnvironmentVariable("COMPUTERNAME");
}

}  // namespace repair
