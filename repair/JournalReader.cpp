#include "JournalReader.h"

#include "JournalFormat.h"

#include "db/DbError.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>

#include <sqlite3.h>

namespace repair {

using namespace journalformat;

namespace {

[[noreturn]] void damaged(sqlite3 *db, const QString &path)
{
    throw db::DbError(QStringLiteral("修复日志 %1 已损坏：%2")
                          .arg(QDir::toNativeSeparators(path), QString::fromUtf8(sqlite3_errmsg(db))));
}

// The journal of repair `id`, checked to be one: raises db::DbError when there is none.
QString existingJournal(const QString &directory, const QString &id)
{
    const QString path = journalPath(directory, id);
    if (id.isEmpty() || id.contains(QLatin1Char('/')) || QFileInfo(path).size() == 0)
        throw db::DbError(QStringLiteral("找不到编号为“%1”的修复日志（日志目录：%2）").arg(id, QDir::toNativeSeparators(directory)));
    return path;
}

// Marks each repair undone by a completed undo that is not itself undone. Undos of undos form
// chains, walked from the newest end: an undo counts once nothing later undid it.
void markUndone(QList<RepairRecord> &repairs)
{
    QHash<QString, qsizetype> byId;
    for (qsizetype i = 0; i < repairs.size(); ++i)
        byId.insert(repairs.at(i).id, i);
    for (const RepairRecord &undo : std::as_const(repairs)) {  // newest first
        if (undo.undoes.isEmpty() || undo.outcome != QLatin1String("completed") || !undo.undoneBy.isEmpty())
            continue;
        const auto target = byId.constFind(undo.undoes);
        if (target != byId.constEnd() && repairs[*target].undoneBy.isEmpty())
            repairs[*target].undoneBy = undo.id;
    }
}

} // namespace

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
            repairs << readHeader(handle, path);
        } catch (const db::DbError &) {
            // a repair killed while its journal was first written: it never changed a row
        }
    }
    markUndone(repairs);
    return repairs;
}

RepairRecord readRepair(const QString &directory, const QString &id)
{
    const QString path = existingJournal(directory, id);
    JournalHandle handle(path);
    return readHeader(handle, path);
}

qint64 countRows(const QString &directory, const QString &id)
{
    const QString path = existingJournal(directory, id);
    JournalHandle handle(path);
    sqlite3_stmt *statement = nullptr;
    if (sqlite3_prepare_v2(handle.db, "select count(*) from row", -1, &statement, nullptr) != SQLITE_OK
        || sqlite3_step(statement) != SQLITE_ROW) {
        sqlite3_finalize(statement);
        damaged(handle.db, path);
    }
    const qint64 rows = sqlite3_column_int64(statement, 0);
    sqlite3_finalize(statement);
    return rows;
}

QList<JournalRow> readRows(const QString &directory, const QString &id, qint64 offset, int limit)
{
    const QString path = existingJournal(directory, id);
    JournalHandle handle(path);
    const RepairRecord record = readHeader(handle, path);
    // Rows are numbered 1, 2, ... as they were added and never removed, so a page starts at its
    // number, found in the table's own b-tree, however far into the journal it lies.
    sqlite3_stmt *statement = nullptr;
    if (sqlite3_prepare_v2(handle.db, "select * from row where seq>? order by seq limit ?", -1, &statement, nullptr)
        != SQLITE_OK)
        damaged(handle.db, path);
    sqlite3_bind_int64(statement, 1, qMax<qint64>(offset, 0));
    sqlite3_bind_int64(statement, 2, qMax(limit, 0));
    QList<JournalRow> rows;
    const int changed = int(record.changedColumns.size());
    int stepped = SQLITE_ROW;
    while ((stepped = sqlite3_step(statement)) == SQLITE_ROW) {
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
    if (stepped != SQLITE_DONE)
        damaged(handle.db, path);
    return rows;
}

} // namespace repair
