#include "JournalFormat.h"

#include "db/DbError.h"
#include "db/Engine.h"
#include "db/StoredValue.h"

#include "JournalLock.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>

#include <sqlite3.h>

namespace repair::journalformat {

const QString Suffix = QStringLiteral(".journal");

const char *const HeaderColumns =
    "id, time, database, engine, repair, account_set, year, code, period, undoes, table_name, rowid_name,"
    " changed_columns, key_columns, outcome, rows_done, rows_changed, message, journal_mode, settings_pending,"
    " rows_visited, user_name, host_name, rows_sealed, rows_digest, seal";
const int HeaderColumnCount = 26;

QString journalPath(const QString &directory, const QString &id)
{
    return QDir(directory).filePath(id + Suffix);
}

namespace {

// Opens the file with `flags`; the error's text when it can't.
QString openJournal(const QString &path, int flags, sqlite3 **db)
{
    if (sqlite3_open_v2(path.toUtf8().constData(), db, flags, nullptr) == SQLITE_OK) {
        sqlite3_busy_timeout(*db, db::EmbeddedBusyTimeoutMs);
        return QString();
    }
    QString message = QString::fromUtf8(sqlite3_errmsg(*db));
    sqlite3_close(*db);
    *db = nullptr;
    return message;
}

// Whether the journal's first page can be read: SQLite looks for a hot rollback journal only then,
// and a read-only connection fails at that moment.
bool readable(sqlite3 *db)
{
    return sqlite3_exec(db, "select count(*) from sqlite_master", nullptr, nullptr, nullptr) == SQLITE_OK;
}

} // namespace

JournalHandle::JournalHandle(const QString &path, bool write)
{
    running = JournalLock::isHeld(path);
    QString message;
    if (write || !running) {
        message = openJournal(path, SQLITE_OPEN_READWRITE, &db);
        if (db && !write && !readable(db)) {
            sqlite3_close(db);
            db = nullptr;
        }
    }
    if (!db && !write)
        message = openJournal(path, SQLITE_OPEN_READONLY, &db);
    if (!db)
        throw db::DbError(QStringLiteral("无法读取修复日志 %1：%2").arg(QDir::toNativeSeparators(path), message));
}

JournalHandle::~JournalHandle()
{
    sqlite3_close(db);
}

void bind(sqlite3_stmt *statement, int index, const QVariant &value)
{
    switch (db::storageClass(value)) {
    case db::StorageClass::Null:
        sqlite3_bind_null(statement, index);
        break;
    case db::StorageClass::Integer:
        sqlite3_bind_int64(statement, index, value.toLongLong());
        break;
    case db::StorageClass::Real:
        sqlite3_bind_double(statement, index, value.toDouble());
        break;
    case db::StorageClass::Blob: {
        const QByteArray bytes = value.toByteArray();
        sqlite3_bind_blob64(statement, index, bytes.constData(), sqlite3_uint64(bytes.size()), SQLITE_TRANSIENT);
        break;
    }
    case db::StorageClass::Text:
    case db::StorageClass::Other: {
        const QString text = value.toString();
        if (text.startsWith(QChar(0xFEFF))) {
            // bound as UTF-16, SQLite would take the leading U+FEFF for a byte-order mark and drop it
            const QByteArray utf8 = text.toUtf8();
            sqlite3_bind_text64(statement, index, utf8.constData(), sqlite3_uint64(utf8.size()), SQLITE_TRANSIENT, SQLITE_UTF8);
            break;
        }
        sqlite3_bind_text16(statement, index, text.utf16(), int(text.size() * 2), SQLITE_TRANSIENT);
        break;
    }
    }
}

QVariant column(sqlite3_stmt *statement, int index)
{
    switch (sqlite3_column_type(statement, index)) {
    case SQLITE_INTEGER:
        return QVariant(qlonglong(sqlite3_column_int64(statement, index)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(statement, index));
    case SQLITE_BLOB:
        return QByteArray(static_cast<const char *>(sqlite3_column_blob(statement, index)),
                          sqlite3_column_bytes(statement, index));
    case SQLITE_TEXT:
        return QString(reinterpret_cast<const QChar *>(sqlite3_column_text16(statement, index)),
                       sqlite3_column_bytes16(statement, index) / 2);
    default:
        return QVariant();
    }
}

namespace {

QStringList fromJsonList(const QString &json)
{
    QStringList names;
    for (const auto &value : QJsonDocument::fromJson(json.toUtf8()).array())
        names << value.toString();
    return names;
}

} // namespace

QString jsonList(const QStringList &names)
{
    return QString::fromUtf8(QJsonDocument(QJsonArray::fromStringList(names)).toJson(QJsonDocument::Compact));
}

RepairRecord readHeader(const JournalHandle &handle, const QString &path)
{
    sqlite3_stmt *statement = nullptr;
    if (sqlite3_prepare_v2(handle.db, "select * from repair", -1, &statement, nullptr) != SQLITE_OK
        || sqlite3_step(statement) != SQLITE_ROW) {
        const QString message = QString::fromUtf8(sqlite3_errmsg(handle.db));
        sqlite3_finalize(statement);
        throw db::DbError(QStringLiteral("修复日志 %1 已损坏：%2").arg(QDir::toNativeSeparators(path), message));
    }
    QHash<QByteArray, QVariant> values;
    for (int i = 0; i < sqlite3_column_count(statement); ++i)
        values.insert(QByteArray(sqlite3_column_name(statement, i)), column(statement, i));
    sqlite3_finalize(statement);
    const auto text = [&](const char *name) { return values.value(name).toString(); };
    const auto count = [&](const char *name) {
        const QVariant value = values.value(name);
        return value.isNull() ? qint64(-1) : value.toLongLong();
    };
    RepairRecord r;
    r.id = text("id");
    r.time = QDateTime::fromString(text("time"), Qt::ISODateWithMs);
    r.database = text("database");
    r.engine = text("engine");
    const std::optional<RepairKind> kind = repairKindNamed(text("repair"));
    std::optional<Outcome> outcome = outcomeNamed(text("outcome"));
    if (!kind || !outcome)
        throw db::DbError(QStringLiteral("修复日志 %1 记有本版本不认识的修复“%2”或结果“%3”，请用更新的版本查看。")
                              .arg(QDir::toNativeSeparators(path), text("repair"), text("outcome")));
    r.repair = *kind;
    r.accountSet = text("account_set");
    r.year = text("year");
    r.code = text("code");
    r.period = text("period");
    r.undoes = text("undoes");
    r.table = text("table_name");
    r.rowidName = text("rowid_name");
    r.changedColumns = fromJsonList(text("changed_columns"));
    r.keyColumns = fromJsonList(text("key_columns"));
    // Earlier versions recorded a reset or an undo that failed as failed. Each runs in one
    // transaction, which a failure rolls back: it wrote nothing.
    if (*outcome == Outcome::Failed && (r.repair == RepairKind::BalanceReset || r.repair == RepairKind::Undo))
        outcome = Outcome::RolledBack;
    r.outcome = *outcome;
    r.rowsDone = count("rows_done");
    r.rowsChanged = count("rows_changed");
    r.rowsVisited = count("rows_visited");
    r.user = text("user_name");
    r.host = text("host_name");
    r.message = text("message");
    r.journalModeToRestore = text("journal_mode");
    r.settingsPending = values.value("settings_pending").toLongLong() != 0;
    r.running = handle.running;
    return r;
}

} // namespace repair::journalformat
