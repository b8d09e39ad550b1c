#include "Engine.h"

#include <QStandardPaths>

namespace db {

QString defaultDataDirectory()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
}

} // namespace db
