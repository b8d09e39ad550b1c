#include "JournalHeaders.h"

#include "JournalFormat.h"
#include "JournalIndex.h"

#include "db/DbError.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QSet>

namespace repair {

using namespace journalformat;

namespace {

// A journal written within this long before a listing began is read from itself and not kept in
// the index yet: a second write within the resolution of the file system's times (2 s on FAT), of
// the same size (an outcome recorded rewrites pages in place), would leave its stamp as it was.
// Any write after that moves its modification time past the one kept.
constexpr qint64 SettledAfterMs = 3000;

JournalStamp stampOf(const QFileInfo &file)
{
    return {file.size(), file.lastModified().toMSecsSinceEpoch(), file.metadataChangeTime().toMSecsSinceEpoch()};
}

// Whether something may be at work on journal `name` now, as the folder's names tell: SQLite's
// rollback journal or log beside it (a write under way, or one left by a killed program, which the
// next reader rolls back), or its running repair's lock file. Such a journal is read from itself.
bool atWork(const QSet<QString> &names, const QString &name)
{
    return names.contains(name + QStringLiteral("-journal")) || names.contains(name + QStringLiteral("-wal"))
           || names.contains(name + QStringLiteral(".lock"));
}

}  // namespace

QList<RepairRecord> journalHeaders(const QString &directory, HeaderSource source)
{
    const bool indexed = source == HeaderSource::Index;
    const qint64 began = QDateTime::currentMSecsSinceEpoch();
    // One read of the folder, each entry stamped by a stat: no journal is opened for this.
    const QFileInfoList files = QDir(directory).entryInfoList(QDir::Files, QDir::NoSort);
    QSet<QString> names;
    names.reserve(files.size());
    for (const QFileInfo &file : files)
        names.insert(file.fileName());

    JournalIndex index(directory);
    QStringList dropped;
    const QHash<QString, JournalIndex::Entry> entries = indexed ? index.entries(dropped) : QHash<QString, JournalIndex::Entry>();
    QHash<QString, JournalIndex::Entry> put;
    QList<RepairRecord> records;
    records.reserve(files.size());
    for (const QFileInfo &file : files) {
        const QString name = file.fileName();
        if (!name.endsWith(Suffix))
            continue;  // the index, SQLite's files beside a journal, locks, memos
        const JournalStamp stamp = stampOf(file);
        const auto entry = entries.constFind(name);
        if (entry != entries.cend()) {
            if (entry->stamp == stamp && !atWork(names, name)) {
                try {
                    records << headerRecord(entry->header, file.filePath());
                    continue;
                } catch (const db::DbError &) {
                    // a header this version can't read: the journal is read, as it would be
                }
            }
            dropped << name;  // and made again below where it can be
        }
        if (stamp.size == 0)
            continue;  // claimed by a repair that has not written its journal yet, or never did
        try {
            const JournalHandle handle(file.filePath());
            HeaderValues header = readHeaderValues(handle, file.filePath());
            RepairRecord record = headerRecord(header, file.filePath());
            record.running = handle.running;
            // Kept only once it will not change unseen: its repair over, its outcome written, the
            // file unchanged while it was read, and settled.
            if (indexed && !record.running && record.outcome != Outcome::Unrecorded && !atWork(names, name)
                && stamp.modified <= began - SettledAfterMs && stampOf(QFileInfo(file.filePath())) == stamp)
                put.insert(name, {stamp, std::move(header)});
            records << record;
        } catch (const db::DbError &) {
            // a repair killed while its journal was first written: it never changed a row
        }
    }
    for (auto entry = entries.cbegin(); entry != entries.cend(); ++entry)
        if (!names.contains(entry.key()))
            dropped << entry.key();  // its journal is gone
    if (indexed)
        index.update(put, dropped);
    return records;
}

}  // namespace repair
