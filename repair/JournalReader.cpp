#include "JournalReader.h"

#include "JournalFormat.h"

#include "db/DbError.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>

#include <sqlite3.h>

namespace repair {

using namespace journalformat;

QList<RepairRecord> listRepairs(const QString &directory)
{
    QList<RepairRecord> repairs;
    const QStringList files = QDir(directory).entryList({QStringLiteral("*") + Suffix}, QDir::Files, QDir::Name | QDir::Reversed);
    for (const QString &file : files) {
        const QString path = QDir(directory).filePath(file);
        if (QFileInfo(path).size() == 0)
            continue;  // claimed by a repair that has not written its journal yet, or never did
        try {
            JournalHandle handle(path);
            repairs << readHeader(handle.db, path);
        } catch (const db::DbError &) {
            // a repair killed while its journal was first written: it never changed a row
        }
    }
    QHash<QString, QString> undoneBy;
    for (const RepairRecord &record : std::as_const(repairs))
        if (record.repair == QLatin1String("undo") && record.outcome == QLatin1String("completed"))
            undoneBy.insert(record.undoes, record.id);
    for (RepairRecord &record : repairs)
        record.undoneBy = undoneBy.value(record.id);
    return repairs;
}

RepairRecord readRepair(const QString &directory, const QString &id)
{
    const QString path = journalPath(directory, id);
    if (id.isEmpty() || id.contains(QLatin1Char('/')) || QFileInfo(path).size() == 0)
        throw db::DbError(QStringLiteral("找不到编号为“%1”的修复日志（日志目录：%2）").arg(id, QDir::toNativeSeparators(directory)));
    JournalHandle handle(path);
    return readHeader(handle.db, path);
}

QList<JournalRow> readRows(const QString &directory, const QString &id)
{
    return readRows(directory, id, 0, -1);
}

qint64 countRows(const QString &directory, const QString &id)
{
    readRepair(directory, id);
    const QString path = journalPath(directory, id);
    JournalHandle handle(path);
    sqlite3_stmt *statement = nullptr;
    if (sqlite3_prepare_v2(handle.db, "select count(*) from row", -1, &statement, nullptr) != SQLITE_OK
        || sqlite3_step(statement) != SQLITE_ROW) {
        const QString message = QString::fromUtf8(sqlite3_errmsg(handle.db));
        sqlite3_finalize(statement);
        throw db::DbError(QStringLiteral("修复日志 %1 已损坏：%2").arg(QDir::toNativeSeparators(path), message));
    }
    const qint64 count = sqlite3_column_int64(statement, 0);
    sqlite3_finalize(statement);
    return count;
}

QList<JournalRow> readRows(const QString &directory, const QString &id, qint64 offset, int limit)
{
    const RepairRecord record = readRepair(directory, id);
    const QString path = journalPath(directory, id);
    JournalHandle handle(path);
    sqlite3_stmt *statement = nullptr;
    if (sqlite3_prepare_v2(handle.db, "select * from row where seq > ? order by seq limit ?", -1, &statement, nullptr)
        != SQLITE_OK)
        throw db::DbError(QStringLiteral("修复日志 %1 已损坏：%2")
                              .arg(QDir::toNativeSeparators(path), QString::fromUtf8(sqlite3_errmsg(handle.db))));
    sqlite3_bind_int64(statement, 1, offset);
    sqlite3_bind_int64(statement, 2, limit);
    QList<JournalRow> rows;
    const int changed = int(record.changedColumns.size());
    while (sqlite3_step(statement) == SQLITE_ROW) {
        JournalRow row;
        row.rowid = column(statement, 1);
        for (int c = 0; c < changed; ++c) {
            row.oldValues << column(statement, 2 + 2 * c);
            row.newValues << column(statement, 3 + 2 * c);
        }
        for (int k = 0; k < record.keyColumns.size(); ++k)
            row.key << column(statement, 2 + 2 * changed + k);
        rows << row;
    }
    sqlite3_finalize(statement);
    return rows;
}

} // namespace repair
