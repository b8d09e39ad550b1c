#include "JournalFormat.h"

#include "db/DbError.h"
#include "db/Engine.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>

#include <sqlite3.h>

namespace repair::journalformat {

const QString Suffix = QStringLiteral(".journal");

const char *const HeaderColumns =
    "id, time, database, engine, repair, account_set, year, code, period, undoes, table_name, rowid_name,"
    " changed_columns, key_columns, outcome, rows_done, rows_changed, message, journal_mode, settings_pending";

QString journalPath(const QString &directory, const QString &id)
{
    return QDir(directory).filePath(id + Suffix);
}

JournalHandle::JournalHandle(const QString &path, bool write)
{
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db,
                        write ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY, nullptr)
        != SQLITE_OK) {
        const QString message = QString::fromUtf8(sqlite3_errmsg(db));
        sqlite3_close(db);
        db = nullptr;
        throw db::DbError(QStringLiteral("无法读取修复日志 %1：%2").arg(QDir::toNativeSeparators(path), message));
    }
    sqlite3_busy_timeout(db, db::EmbeddedBusyTimeoutMs);
}

JournalHandle::~JournalHandle()
{
    sqlite3_close(db);
}

void bind(sqlite3_stmt *statement, int index, const QVariant &value)
{
    if (value.isNull()) {
        sqlite3_bind_null(statement, index);
        return;
    }
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::UInt:
    case QMetaType::Bool:
        sqlite3_bind_int64(statement, index, value.toLongLong());
        break;
    case QMetaType::Double:
        sqlite3_bind_double(statement, index, value.toDouble());
        break;
    case QMetaType::QByteArray: {
        const QByteArray bytes = value.toByteArray();
        sqlite3_bind_blob64(statement, index, bytes.constData(), sqlite3_uint64(bytes.size()), SQLITE_TRANSIENT);
        break;
    }
    default: {
        const QString text = value.toString();
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

QString text(sqlite3_stmt *statement, int index)
{
    return column(statement, index).toString();
}

QStringList fromJsonList(const QString &json)
{
    QStringList names;
    for (const QJsonValue &value : QJsonDocument::fromJson(json.toUtf8()).array())
        names << value.toString();
    return names;
}

} // namespace

QString jsonList(const QStringList &names)
{
    return QString::fromUtf8(QJsonDocument(QJsonArray::fromStringList(names)).toJson(QJsonDocument::Compact));
}

RepairRecord readHeader(sqlite3 *db, const QString &path)
{
    sqlite3_stmt *statement = nullptr;
    RepairRecord r;
    const QByteArray sql = QByteArray("select ") + HeaderColumns + " from repair";
    if (sqlite3_prepare_v2(db, sql.constData(), -1, &statement, nullptr) != SQLITE_OK
        || sqlite3_step(statement) != SQLITE_ROW) {
        const QString message = QString::fromUtf8(sqlite3_errmsg(db));
        sqlite3_finalize(statement);
        throw db::DbError(QStringLiteral("修复日志 %1 已损坏：%2").arg(QDir::toNativeSeparators(path), message));
    }
    int i = 0;
    r.id = text(statement, i++);
    r.time = QDateTime::fromString(text(statement, i++), Qt::ISODateWithMs);
    r.database = text(statement, i++);
    r.engine = text(statement, i++);
    r.repair = text(statement, i++);
    r.accountSet = text(statement, i++);
    r.year = text(statement, i++);
    r.code = text(statement, i++);
    r.period = text(statement, i++);
    r.undoes = text(statement, i++);
    r.table = text(statement, i++);
    r.rowidName = text(statement, i++);
    r.changedColumns = fromJsonList(text(statement, i++));
    r.keyColumns = fromJsonList(text(statement, i++));
    r.outcome = text(statement, i++);
    r.rowsDone = sqlite3_column_type(statement, i) == SQLITE_NULL ? -1 : sqlite3_column_int64(statement, i);
    ++i;
    r.rowsChanged = sqlite3_column_type(statement, i) == SQLITE_NULL ? -1 : sqlite3_column_int64(statement, i);
    ++i;
    r.message = text(statement, i++);
    r.journalModeToRestore = text(statement, i++);
    r.settingsPending = sqlite3_column_int(statement, i++) != 0;
    sqlite3_finalize(statement);
    return r;
}

} // namespace repair::journalformat
