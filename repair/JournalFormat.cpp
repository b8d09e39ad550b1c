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

#include <iterator>

#include <sqlite3.h>

namespace repair::journalformat {

const QString Suffix = QStringLiteral(".journal");

namespace {

// The names of the header's columns, in the order of HeaderColumn.
const char *const HeaderColumnNames[] = {
    "id",        "time",      "database",     "engine",      "repair",       "account_set",      "year",
    "code",      "period",    "undoes",       "table_name",  "rowid_name",   "changed_columns",  "key_columns",
    "outcome",   "rows_done", "rows_changed", "message",     "journal_mode", "settings_pending", "rows_visited",
    "user_name", "host_name", "rows_sealed",  "rows_digest", "seal",
};
static_assert(std::size(HeaderColumnNames) == HeaderColumnCount);

QByteArray joinedHeaderColumns()
{
    QByteArrayList names;
    for (const char *name : HeaderColumnNames)
        names << name;
    return names.join(", ");
}

// The place of the header column `name`, or -1 for a column this version doesn't know.
int headerColumnNamed(const QByteArray &name)
{
    static const QHash<QByteArray, int> places = [] {
        QHash<QByteArray, int> byName;
        for (int i = 0; i < HeaderColumnCount; ++i)
            byName.insert(HeaderColumnNames[i], i);
        return byName;
    }();
    return places.value(name, -1);
}

}  // namespace

const QByteArray HeaderColumns = joinedHeaderColumns();

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

}  // namespace

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
        return QByteArray(static_cast<const char *>(sqlite3_column_blob(statement, index)), sqlite3_column_bytes(statement, index));
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

}  // namespace

QString jsonList(const QStringList &names)
{
    return QString::fromUtf8(QJsonDocument(QJsonArray::fromStringList(names)).toJson(QJsonDocument::Compact));
}

HeaderValues readHeaderValues(const JournalHandle &handle, const QString &path)
{
    sqlite3_stmt *statement = nullptr;
    if (sqlite3_prepare_v2(handle.db, "select * from repair", -1, &statement, nullptr) != SQLITE_OK
        || sqlite3_step(statement) != SQLITE_ROW) {
        const QString message = QString::fromUtf8(sqlite3_errmsg(handle.db));
        sqlite3_finalize(statement);
        throw db::DbError(QStringLiteral("修复日志 %1 已损坏：%2").arg(QDir::toNativeSeparators(path), message));
    }
    HeaderValues values(HeaderColumnCount);
    for (int i = 0; i < sqlite3_column_count(statement); ++i)
        if (const int place = headerColumnNamed(QByteArray(sqlite3_column_name(statement, i))); place >= 0)
            values[place] = column(statement, i);
    sqlite3_finalize(statement);
    return values;
}

RepairRecord headerRecord(const HeaderValues &values, const QString &path)
{
    using C = HeaderColumn;
    const auto value = [&](C name) { return values.value(int(name)); };
    const auto text = [&](C name) { return value(name).toString(); };
    const auto count = [&](C name) {
        const QVariant stored = value(name);
        return stored.isNull() ? qint64(-1) : stored.toLongLong();
    };
    RepairRecord r;
    r.id = text(C::Id);
    r.time = QDateTime::fromString(text(C::Time), Qt::ISODateWithMs);
    r.database = text(C::Database);
    r.engine = text(C::Engine);
    const std::optional<RepairKind> kind = repairKindNamed(text(C::Repair));
    std::optional<Outcome> outcome = outcomeNamed(text(C::Outcome));
    if (!kind || !outcome)
        throw db::DbError(QStringLiteral("修复日志 %1 记有本版本不认识的修复“%2”或结果“%3”，请用更新的版本查看。")
                              .arg(QDir::toNativeSeparators(path), text(C::Repair), text(C::Outcome)));
    r.repair = *kind;
    r.accountSet = text(C::AccountSet);
    r.year = text(C::Year);
    r.code = text(C::Code);
    r.period = text(C::Period);
    r.undoes = text(C::Undoes);
    r.table = text(C::TableName);
    r.rowidName = text(C::RowidName);
    r.changedColumns = fromJsonList(text(C::ChangedColumns));
    r.keyColumns = fromJsonList(text(C::KeyColumns));
    // Earlier versions recorded a reset or an undo that failed as failed. Each runs in one
    // transaction, which a failure rolls back: it wrote nothing.
    if (*outcome == Outcome::Failed && (r.repair == RepairKind::BalanceReset || r.repair == RepairKind::Undo))
        outcome = Outcome::RolledBack;
    r.outcome = *outcome;
    r.rowsDone = count(C::RowsDone);
    r.rowsChanged = count(C::RowsChanged);
    r.rowsVisited = count(C::RowsVisited);
    r.user = text(C::UserName);
    r.host = text(C::HostName);
    r.message = text(C::Message);
    r.journalModeToRestore = text(C::JournalMode);
    r.settingsPending = value(C::SettingsPending).toLongLong() != 0;
    return r;
}

RepairRecord readHeader(const JournalHandle &handle, const QString &path)
{
    RepairRecord record = headerRecord(readHeaderValues(handle, path), path);
    record.running = handle.running;
    return record;
}

}  // namespace repair::journalformat
