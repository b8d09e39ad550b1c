#include "JournalReader.h"

#include "JournalFormat.h"
#include "JournalSeal.h"
#include "RepairText.h"

#include "db/DbError.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>

#include <algorithm>
#include <functional>

#include <sqlite3.h>

namespace repair {

using namespace journalformat;

namespace {

[[noreturn]] void damaged(sqlite3 *db, const QString &path)
{
    throw db::DbError(
        QStringLiteral("修复日志 %1 已损坏：%2").arg(QDir::toNativeSeparators(path), QString::fromUtf8(sqlite3_errmsg(db))));
}

// The journal of repair `id`, checked to be one: raises db::DbError when there is none.
QString existingJournal(const QString &directory, const QString &id)
{
    QString path = journalPath(directory, id);
    if (!holdsJournal(directory, id))
        throw db::DbError(QStringLiteral("找不到编号为“%1”的修复日志（日志目录：%2）").arg(id, QDir::toNativeSeparators(directory)));
    return path;
}

// Marks each repair undone by a completed undo that is not itself undone. Undos of undos form
// chains, each link made after the one it undoes, so whether an undo counts follows from the
// chain alone, whatever the clocks said: an undo counts when no counting undo undid it. Where
// more than one counts (an undo undone, then the repair undone again), the newest is named.
void markUndone(QList<RepairRecord> &repairs)
{
    QHash<QString, QList<qsizetype>> undosOf;  // completed undos of each repair, newest first
    for (qsizetype i = 0; i < repairs.size(); ++i)
        if (!repairs.at(i).undoes.isEmpty() && repairs.at(i).outcome == Outcome::Completed)
            undosOf[repairs.at(i).undoes] << i;
    QHash<QString, bool> counts;  // of the undos settled so far
    const std::function<bool(qsizetype)> undoCounts = [&](qsizetype undo) {
        const QString &id = repairs.at(undo).id;
        if (const auto settled = counts.constFind(id); settled != counts.constEnd())
            return *settled;
        counts.insert(id, true);  // the chain never comes back to it: each link is newer
        for (const qsizetype later : undosOf.value(id))
            if (undoCounts(later)) {
                counts.insert(id, false);
                break;
            }
        return counts.value(id);
    };
    for (RepairRecord &repair : repairs)
        for (const qsizetype undo : undosOf.value(repair.id))
            if (undoCounts(undo)) {
                repair.undoneBy = repairs.at(undo).id;
                break;
            }
}

// Newest first, by the moment each began, whatever time zone its program ran in; repairs begun
// in the same millisecond by their ids, whose suffix counts up.
bool startedLater(const RepairRecord &a, const RepairRecord &b)
{
    const qint64 at = a.time.isValid() ? a.time.toMSecsSinceEpoch() : 0;
    const qint64 bt = b.time.isValid() ? b.time.toMSecsSinceEpoch() : 0;
    return at != bt ? at > bt : a.id > b.id;
}

}  // namespace

bool holdsJournal(const QString &directory, const QString &id)
{
    // An empty file is claimed by a repair that has not written its journal yet, or never did.
    return !id.isEmpty() && !id.contains(QLatin1Char('/')) && QFileInfo(journalPath(directory, id)).size() > 0;
}

QList<RepairRecord> listRepairs(const QString &directory, HeaderSource source)
{
    QList<RepairRecord> repairs = journalHeaders(directory, source);
    std::sort(repairs.begin(), repairs.end(), startedLater);
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

qint64 checkJournal(const QString &directory, const QString &id)
{
    const QString path = existingJournal(directory, id);
    JournalHandle handle(path);
    qint64 rows = 0;
    QString error;
    switch (journalseal::check(handle.db, rows, error)) {
    case journalseal::SealCheck::Whole:
        return rows;
    case journalseal::SealCheck::Unsealed:
        throw db::DbError(RepairText::journalUnsealed(QDir::toNativeSeparators(path)));
    case journalseal::SealCheck::Altered:
        throw db::DbError(RepairText::journalAltered(QDir::toNativeSeparators(path)));
    case journalseal::SealCheck::Unreadable:
        break;
    }
    throw db::DbError(QStringLiteral("修复日志 %1 已损坏：%2").arg(QDir::toNativeSeparators(path), error));
}

QList<JournalRow> readRows(const QString &directory, const QString &id, qint64 offset, int limit)
{
    const QString path = existingJournal(directory, id);
    JournalHandle handle(path);
    const RepairRecord record = readHeader(handle, path);
    // Rows are numbered 1, 2, ... as they were added and never removed, so a page starts at its
    // number, found in the table's own b-tree, however far into the journal it lies.
    sqlite3_stmt *statement = nullptr;
    if (sqlite3_prepare_v2(handle.db, "select * from row where seq>? order by seq limit ?", -1, &statement, nullptr) != SQLITE_OK)
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
        // journals of earlier versions end with the key columns
        const int position = 2 + 2 * changed + int(record.keyColumns.size());
        if (position < sqlite3_column_count(statement))
            row.position = sqlite3_column_int64(statement, position);
        rows << row;
    }
    sqlite3_finalize(statement);
    if (stepped != SQLITE_DONE)
        damaged(handle.db, path);
    return rows;
}

}  // namespace repair
