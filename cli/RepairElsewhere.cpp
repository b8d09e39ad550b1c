#include "RepairElsewhere.h"

#include "repair/JournalElsewhere.h"
#include "repair/RepairPlace.h"

#include <QDir>

namespace cli {

namespace {

// The option that names `place` for one run.
QString optionFor(const db::DataLocation &place)
{
    switch (place.kind()) {
    case db::DataLocation::Demo:
        return QStringLiteral("--demo");
    case db::DataLocation::SqlServer:
        return repair::RepairPlace::serverOption(place.access().server);
    case db::DataLocation::Folder:
        break;
    }
    return QStringLiteral("--data-dir ") + QDir::toNativeSeparators(place.engine().dataDirectory);
}

}  // namespace

QString repairElsewhere(const QString &id, const QString &command)
{
    const std::optional<db::DataLocation> place = repair::placeOfRepair(id);
    if (!place)
        return QString();
    // A Latin word or a path keeps a space from the Chinese beside it: "记在 SQL Server（ODBC）的",
    // "记在文件夹 /home/li/帐套 的".
    QString where = place->shown();
    if (where.front().unicode() < 0x80)
        where.prepend(QLatin1Char(' '));
    if (where.back().unicode() < 0x80)
        where.append(QLatin1Char(' '));
    return QStringLiteral("这次修复记在%1的修复日志中，请加 %2 再运行：n3fix %2 %3 %4").arg(where, optionFor(*place), command, id);
}

}  // namespace cli
