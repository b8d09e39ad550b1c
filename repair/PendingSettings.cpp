#include "PendingSettings.h"

#include "JournalFormat.h"

#include "db/DbError.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include <sqlite3.h>


namespace repair {

namespace {

// The memo's file for one database: named by a digest, since a name from an ODBC data source
// may hold any character.
QString memoPath(const QString &directory, const QString &database, const QString &engine)
{
    const QByteArray digest = QCryptographicHash::hash((engine + QLatin1Char('\n') + database).toUtf8(),
                                                       QCryptographicHash::Sha1);
    return QDir(directory).filePath(QStringLiteral("pending-%1.memo").arg(QString::fromLatin1(digest.toHex())));
}

} // namespace

PendingSettings pendingSettings(const QString &directory, const QString &database, const QString &engine)
{
    QFile file(memoPath(directory, database, engine));
    PendingSettings pending;
    if (!file.open(QIODevice::ReadOnly))
        return pending;
    const QJsonObject memo = QJsonDocument::fromJson(file.readAll()).object();
    pending.journalMode = memo.value(QStringLiteral("journal_mode")).toString();
    pending.journal = memo.value(QStringLiteral("journal")).toString();
    return pending;
}

void takeOverPendingSettings(const QString &directory, const PendingSettings &older, const RepairRecord &walk)
{
    const QString path = memoPath(directory, walk.database, walk.engine);
    QSaveFile file(path);  // written beside, synced, then renamed over the old memo
    const QJsonObject memo{{QStringLiteral("database"), walk.database},
                           {QStringLiteral("engine"), walk.engine},
                           {QStringLiteral("journal_mode"), walk.journalModeToRestore},
                           {QStringLiteral("journal"), walk.id}};
    if (!file.open(QIODevice::WriteOnly) || file.write(QJsonDocument(memo).toJson(QJsonDocument::Compact)) < 0
        || !file.commit())
        throw db::DbError(QStringLiteral("无法写入修复日志 %1：%2").arg(QDir::toNativeSeparators(path), file.errorString()));
    journalformat::syncDirectory(directory);
    if (older.journal.isEmpty() || older.journal == walk.id)
        return;
    try {
        journalformat::JournalHandle handle(journalformat::journalPath(directory, older.journal), true);
        sqlite3_exec(handle.db, "update repair set settings_pending=0", nullptr, nullptr, nullptr);
    } catch (const db::DbError &) {
        // the older journal is gone or unreadable: the memo no longer needs it
    }
}

void settlePendingSettings(const QString &directory, const RepairRecord &walk)
{
    const QString path = memoPath(directory, walk.database, walk.engine);
    if (pendingSettings(directory, walk.database, walk.engine).journal != walk.id)
        return;
    QFile::remove(path);
    journalformat::syncDirectory(directory);
}

} // namespace repair
