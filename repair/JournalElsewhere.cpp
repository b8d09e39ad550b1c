#include "JournalElsewhere.h"

#include "Journal.h"
#include "JournalReader.h"
#include "RepairPlace.h"

#include "db/DbError.h"
#include "db/ODBC.h"

#include <QDir>
#include <QFileInfo>
#include <QList>

namespace repair {

namespace {

// A folder as one path, however it was named (relative, with "..").
QString absolute(const QString &folder)
{
    return QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
}

}  // namespace

std::optional<db::DataLocation> placeOfRepair(const QString &id)
{
    using db::DataLocation;
    const QString here = absolute(journalDirectory());
    if (holdsJournal(here, id))
        return std::nullopt;
    // SQL Server and the default data directory share one journal folder: the engine that made
    // the repair tells them apart.
    QList<DataLocation> places{DataLocation(DataLocation::Demo), DataLocation(DataLocation::SqlServer),
                               DataLocation(DataLocation::Folder, db::defaultDataDirectory())};
    if (const std::optional<DataLocation> chosen = DataLocation::remembered())
        places << *chosen;
    for (const DataLocation &place : std::as_const(places)) {
        const QString directory = journalDirectory(place.engine());
        if (absolute(directory) == here || !holdsJournal(directory, id))
            continue;
        try {
            const QString engine = readRepair(directory, id).engine;
            // SQL Server's journals are one folder for every server: the engine names the server
            if (place.kind() == DataLocation::SqlServer && RepairPlace::madeOverOdbc(engine))
                return DataLocation::sqlServer({RepairPlace::server(engine), QString(), QString()});
            if (engine == ODBC::engineName(place.engine()))
                return place;
        } catch (const db::DbError &) {
            // a journal that can't be read there is no place to send the user to
        }
    }
    return std::nullopt;
}

}  // namespace repair
