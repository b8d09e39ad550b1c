#include "PendingSettings.h"

#include "DurableFiles.h"
#include "JournalFormat.h"

#include "db/DbError.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

#include <sqlite3.h>

namespace repair {

namespace {

// The memo's file for one database: named by a digest, since a name from an ODBC data source
// may hold any character.
QString memoPath(const QString &directory, const QString &database, const QString &engine)
{
    const QByteArray digest = QCryptographicHash::hash((engine + QLatin1Char('\n') + database).toUtf8(), QCryptographicHash::Sha1);
    return QDir(directory).filePath(QStringLiteral("pending-%1.memo").arg(QString::fromLatin1(digest.toHex())));
}

// Writes `bytes` to the file at `path`: into a new file beside it, synced, then put in its place,
// so the file is whole and in place once this returns, and on the disk once its folder is synced.
// QSaveFile is not used: it does not report a failed sync. Returns the error, or empty.
QString writeDurably(const QString &path, const QByteArray &bytes)
{
    const QString temporary = path + QStringLiteral(".%1.new").arg(QCoreApplication::applicationPid());  // one per writer
    QFile file(temporary);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return file.errorString();
    const bool written = file.write(bytes) == bytes.size() && file.flush();
    QString error = written ? syncFile(file) : file.errorString();
    file.close();
    if (error.isEmpty())
        error = replaceFile(temporary, path);
    if (!error.isEmpty())
        QFile::remove(temporary);
    return error;
}

}  // namespace

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

void writePendingSettings(const QString &directory, const RepairRecord &walk)
{
    const QString path = memoPath(directory, walk.database, walk.engine);
    const QJsonObject memo{{QStringLiteral("database"), walk.database},
                           {QStringLiteral("engine"), walk.engine},
                           {QStringLiteral("journal_mode"), walk.journalModeToRestore},
                           {QStringLiteral("journal"), walk.id}};
    const QString error = writeDurably(path, QJsonDocument(memo).toJson(QJsonDocument::Compact));
    if (!error.isEmpty())
        throw db::DbError(QStringLiteral("无法写入修复日志 %1：%2").arg(QDir::toNativeSeparators(path), error));
}

void settleOlderJournal(const QString &directory, const PendingSettings &older, const QString &newer)
{
    if (older.journal.isEmpty() || older.journal == newer)
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
    if (!walk.settingsPending)
        return;  // the walk wrote no memo
    const QString path = memoPath(directory, walk.database, walk.engine);
    if (pendingSettings(directory, walk.database, walk.engine).journal != walk.id)
        return;
    QFile::remove(path);  // not synced: a memo that comes back names the mode the file is in anyway
}

}  // namespace repair
