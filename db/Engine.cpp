#include "Engine.h"

#include <QStandardPaths>

namespace db {

// ~/.local/share/n3fix on Linux; %LOCALAPPDATA%\n3fix on Windows, which stays on this computer
// (databases and journals do not belong in a roaming profile copied from machine to machine).
QString defaultDataDirectory()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
}

}  // namespace db
