#include "TestUser.h"

#include <pwd.h>
#include <unistd.h>

namespace TestUser {

QString loginName()
{
    const passwd *entry = getpwuid(getuid());
    return entry ? QString::fromLocal8Bit(entry->pw_name) : QString();
}

QString hostName()
{
    char name[256] = {};
    gethostname(name, sizeof name - 1);
    return QString::fromLocal8Bit(name);
}

}  // namespace TestUser
