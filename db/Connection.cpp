#include "Connection.h"

#include "AdviceWays.h"
#include "ConnectionString.h"
#include "DbError.h"
#include "ODBC.h"
#include "OdbcAdvice.h"
#include "StoredValue.h"
#include "TsqlRewrite.h"

#include <QAtomicInteger>
#include <QDir>
#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>

#include <cmath>

#include <sqlite3.h>

#ifdef _WIN32
#include <windows.h>  // Windows' ODBC headers take their types from it
#endif
#include <sql.h>
#include <sqlext.h>

namespace db {

namespace {

// Every connection gets a Qt connection name of its own, so connections never share state.
QString nextQtConnectionName()
{
    static QAtomicInteger<quint64> counter;
    return QStringLiteral("n3fix-%1").arg(++counter);
}

// The name of the database product behind an open ODBC connection, as the driver reports it.
QString odbcDbmsName(const QSqlDatabase &database)
{
    const QVariant handle = database.driver()->handle();
    // Qt's ODBC driver hands out its connection handle as a plain pointer.
    if (handle.metaType() != QMetaType::fromType<void *>())
        return QString();
    SQLHDBC hdbc = handle.value<void *>();
    // The wide call by name: Qt builds for Windows with UNICODE, which makes SQLGetInfo the wide
    // one there, and unixODBC has both. SQLWCHAR is UTF-16 on both.
    static_assert(sizeof(SQLWCHAR) == 2, "ODBC wide characters in UTF-16");
    SQLWCHAR name[256] = {};
    SQLSMALLINT length = 0;
    if (!SQL_SUCCEEDED(SQLGetInfoW(hdbc, SQL_DBMS_NAME, name, sizeof name - sizeof name[0], &length)))
        return QString();
    return QString::fromUtf16(reinterpret_cast<const char16_t *>(name));
}

}  // namespace

// The engine's own words, led by a Chinese explanation where the fault is a common one.
QString describe(const QSqlError &error)
{
    const QString database = error.databaseText().trimmed();
    const QString driver = error.driverText().trimmed();
    QString text = database;
    if (database.isEmpty())
        text = driver;
    else if (!driver.isEmpty() && !database.contains(driver))
        text += QLatin1Char(' ') + driver;

    static const std::vector<std::pair<const char *, QString>> engineExplanations = {
        {"database is locked", QStringLiteral("数据库正被其他程序使用（已锁定），请稍后再试")},
        {"readonly database", QStringLiteral("数据库文件是只读的，不能写入")},
        {"no such table", QStringLiteral("数据库中缺少数据表")},
        {"no such column", QStringLiteral("数据表中缺少字段")},
        {"file is not a database", QStringLiteral("文件不是有效的数据库")},
        {"unable to open database file", QStringLiteral("无法打开数据库文件")},
    };
    // SQLite's SQLITE_READONLY_ROLLBACK: a change was cut off mid-write, and its rollback journal
    // must be played back before the file can be read, which a read-only connection can't do
    if (error.nativeErrorCode() == QLatin1String("776"))
        return QStringLiteral("数据库上次的改动在写入中途被打断（程序被终止或断电），文件旁留有它的回滚日志（-journal），"
                              "要先回滚这次改动才能读取。检查和预览只以只读方式打开数据库，不会回滚它：请先对这个数据库"
                              "做一次修复或撤销%1，以读写方式打开时会自动回滚：")
                   .arg(inParentheses(adviceWays().unfinishedRepair))
               + text;
    for (const auto &[faultText, explanation] : engineExplanations)
        if (text.contains(QLatin1String(faultText), Qt::CaseInsensitive))
            return explanation + QStringLiteral("：") + text;
    return text;
}

// The server and the database tried, then the driver's own description (Qt's own "Unable to
// connect" left out), led by a Chinese explanation where the fault is a common one.
QString describeOdbcConnectFailure(const QSqlError &error, const ServerAccess &access, const QString &database)
{
    QString text = error.databaseText().trimmed();
    if (text.isEmpty())
        text = error.driverText().trimmed();
    for (const auto &[faultText, explanation] : odbcExplanations(access))
        if (text.contains(QLatin1String(faultText), Qt::CaseInsensitive)) {
            text = explanation + QStringLiteral("：") + text;
            break;
        }
    return serverAndDatabase(access.server, database) + QStringLiteral("：") + text;
}

QString describeSqlite(sqlite3 *handle)
{
    return describe(QSqlError(QString(), QString::fromUtf8(sqlite3_errmsg(handle)), QSqlError::StatementError,
                              QString::number(sqlite3_extended_errcode(handle))));
}

Connection::Connection(const EngineSettings &engine) : m_engine(engine), m_qtName(nextQtConnectionName()) {}

Connection::~Connection()
{
    {
        QSqlDatabase database = QSqlDatabase::database(m_qtName, false);
        if (database.isOpen())
            database.close();
    }
    if (QSqlDatabase::contains(m_qtName))
        QSqlDatabase::removeDatabase(m_qtName);
}

void Connection::setConnectionString(const QString &connectionString)
{
    m_connectionString = connectionString;
}

bool Connection::isOpen() const
{
    return QSqlDatabase::contains(m_qtName) && QSqlDatabase::database(m_qtName, false).isOpen();
}

void Connection::open()
{
    if (m_engine.kind == EngineKind::Odbc) {
        openOdbc();
        return;
    }
    if (connectionAttribute(m_connectionString, QStringLiteral("SERVER")) != QLatin1String("(local)"))
        fail(QStringLiteral("嵌入式数据库只能连接本机服务器 (local)"));
    openEmbedded(connectionAttribute(m_connectionString, QStringLiteral("DATABASE")));
}

// SQLite stands in for the local server: DATABASE=X is the file X.db in the data directory.
// The file is opened read-write but never created, so a missing database fails as it would on
// the server, and a file that is not a database fails here rather than at the first query.
namespace {

// Whether the SQLite file at `path` is in write-ahead-log mode with no log beside it: a reader
// must then create the log and its index, and only a connection that may write removes them
// again when it closes. The header is read through a read-only SQLite connection of its own and
// never through a descriptor opened here: on POSIX systems closing any descriptor of a file drops
// every lock this process holds on it, and a repair in another thread may be holding SQLite's.
bool logToBeCreated(const QString &path)
{
    if (QFileInfo::exists(path + QStringLiteral("-wal")))
        return false;
    sqlite3 *connection = nullptr;
    char header[20] = {};
    bool read = false;
    if (sqlite3_open_v2(path.toUtf8().constData(), &connection, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_file *file = nullptr;
        // The file SQLite opened for the connection; reading its first bytes takes no lock and
        // leaves no file behind.
        read = sqlite3_file_control(connection, "main", SQLITE_FCNTL_FILE_POINTER, &file) == SQLITE_OK && file && file->pMethods
               && file->pMethods->xRead(file, header, int(sizeof header), 0) == SQLITE_OK;
    }
    sqlite3_close(connection);
    return read && header[18] == 2 && header[19] == 2;  // read and write versions 2: WAL
}

}  // namespace

void Connection::openEmbedded(const QString &databaseName)
{
    const QFileInfo dataDirectory(m_engine.dataDirectory);
    const QString shownDirectory = QDir::toNativeSeparators(dataDirectory.absoluteFilePath());
    // In the default data directory the user may simply have no data yet: the front end says how
    // to get some.
    const DbError::Cause missing =
        QDir::cleanPath(dataDirectory.absoluteFilePath()) == QDir::cleanPath(QFileInfo(defaultDataDirectory()).absoluteFilePath())
            ? DbError::Cause::NoDataYet
            : DbError::Cause::Failure;
    if (dataDirectory.exists() && !dataDirectory.isDir())
        fail(QStringLiteral("数据目录 %1 是一个文件，不是目录。").arg(shownDirectory));
    if (!dataDirectory.isDir())
        fail(QStringLiteral("数据目录不存在：%1").arg(shownDirectory), missing);
    const QString path = QDir(m_engine.dataDirectory).absoluteFilePath(databaseName + QStringLiteral(".db"));
    if (!QFileInfo(path).isFile())
        fail(QStringLiteral("数据库文件不存在：%1").arg(QDir::toNativeSeparators(path)),
             databaseName == ODBC::SystemDatabase ? missing : DbError::Cause::Failure);

    // A reader of a file in write-ahead-log mode opens it for writing but is held to reading
    // (query_only), so that closing removes the log files it had to create: the reader leaves no
    // file it did not find.
    const bool readOnlyInLogMode = m_readOnly && logToBeCreated(path);
    QSqlDatabase database = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_qtName);
    database.setDatabaseName(QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded)
                             + (m_readOnly && !readOnlyInLogMode ? QStringLiteral("?mode=ro") : QStringLiteral("?mode=rw")));
    database.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=%1").arg(EmbeddedBusyTimeoutMs));
    if (!database.open())
        fail(QStringLiteral("%1：%2").arg(describe(database.lastError()), QDir::toNativeSeparators(path)));
    m_dialect = SqlDialect::Sqlite;
    if (readOnlyInLogMode) {
        QSqlQuery query(database);
        query.exec(QStringLiteral("PRAGMA query_only=1"));
        query.finish();
        if (!QFileInfo(QFileInfo(path).absolutePath()).isWritable())
            fail(QStringLiteral("数据库文件处于预写日志（WAL）模式，读取时要在它所在的文件夹中建立日志文件，"
                                "但该文件夹不可写入：%1")
                     .arg(QDir::toNativeSeparators(QFileInfo(path).absolutePath())));
    }
    applyEmbeddedSettings();
}

// Reads the schema once, so a file that is not a database fails at open as it would on the
// server, and asks for every commit to be on disk before it returns.
void Connection::applyEmbeddedSettings()
{
    QString error;
    {
        QSqlQuery query(QSqlDatabase::database(m_qtName, false));
        if (!query.exec(QStringLiteral("select count(*) from sqlite_master"))
            || !query.exec(QStringLiteral("PRAGMA synchronous=FULL")))
            error = describe(query.lastError());
    }
    if (!error.isNull())
        fail(error);
}

// The connection string goes unchanged to the driver manager. Whether statements need the
// SQLite rewrite is decided from the product the driver reports, not from how it was reached.
void Connection::openOdbc()
{
    const QString databaseName = connectionAttribute(m_connectionString, QStringLiteral("DATABASE"));
    if (const QString elsewhere = serverOverridden(m_engine.access); !elsewhere.isEmpty())
        fail(serverAndDatabase(m_engine.access.server, databaseName) + QStringLiteral("：") + elsewhere);
    QSqlDatabase database = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), m_qtName);
    database.setDatabaseName(m_connectionString);
    if (m_readOnly)
        database.setConnectOptions(QStringLiteral("SQL_ATTR_ACCESS_MODE=SQL_MODE_READ_ONLY"));
    if (!database.open())
        fail(describeOdbcConnectFailure(database.lastError(), m_engine.access, databaseName));
    m_dialect = odbcDbmsName(database).contains(QLatin1String("SQLite"), Qt::CaseInsensitive) ? SqlDialect::Sqlite
                                                                                              : SqlDialect::TransactSql;
    // Every statement prepared from here on takes the driver's policy.
    if (m_exactDecimals && m_dialect == SqlDialect::TransactSql)
        database.setNumericalPrecisionPolicy(QSql::HighPrecision);
}

// Leaves the connection closed and raises the failure.
void Connection::fail(const QString &description, DbError::Cause cause)
{
    if (QSqlDatabase::contains(m_qtName))
        QSqlDatabase::database(m_qtName, false).close();
    throw DbError(description, cause);
}

QString Connection::statementText(const QString &sql) const
{
    return m_dialect == SqlDialect::Sqlite ? rewriteTsqlForSqlite(sql) : sql;
}

QSqlDatabase Connection::openDatabase() const
{
    if (!isOpen())
        throw DbError(connectionNotOpen());
    return QSqlDatabase::database(m_qtName, false);
}

QSqlQuery Connection::prepared(const QString &text) const
{
    QSqlQuery query(openDatabase());
    query.setForwardOnly(true);
    if (!query.prepare(text))
        throw DbError(describe(query.lastError()));
    return query;
}

sqlite3 *Connection::sqliteHandle() const
{
    const QVariant handle = openDatabase().driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3 *const *>(handle.constData());
}

QString Connection::textOf(const QVariant &value)
{
    switch (storageClass(value)) {
    case StorageClass::Null:
        return QString();
    case StorageClass::Text:
        return value.toString();
    case StorageClass::Integer:
        return QString::number(value.toLongLong());
    case StorageClass::Real: {
        // A whole value within the integer range is that integer, as the server writes it.
        const double number = value.toDouble();
        if (number >= -9223372036854775808.0 && number < 9223372036854775808.0 && number == std::trunc(number))
            return QString::number(qint64(number));
        break;
    }
    default:
        break;
    }
    if (m_dialect != SqlDialect::Sqlite)
        return value.toString();
    // Other reals and blobs: the engine's own conversion.
    QSqlQuery query(openDatabase());
    query.prepare(QStringLiteral("select cast(? as text)"));
    query.addBindValue(value);
    if (!query.exec() || !query.next())
        throw DbError(describe(query.lastError()));
    return query.value(0).toString();
}

int Connection::lengthOf(const QString &text) const
{
    if (m_dialect != SqlDialect::Sqlite)
        return int(text.size());
    int characters = 0;
    for (const QChar c : text)
        characters += !c.isLowSurrogate();
    return characters;
}

void Connection::beginTransaction()
{
    QSqlDatabase database = openDatabase();
    if (!database.transaction())
        throw DbError(describe(database.lastError()));
}

void Connection::commit()
{
    QSqlDatabase database = openDatabase();
    if (!database.commit())
        throw DbError(describe(database.lastError()));
}

void Connection::rollback()
{
    if (isOpen())
        openDatabase().rollback();
}

int Connection::execute(const QString &sql, const QVariantList &params)
{
    QSqlQuery query(openDatabase());
    if (!query.prepare(statementText(sql)))
        throw DbError(describe(query.lastError()));
    for (const QVariant &param : params)
        query.addBindValue(param);
    if (!query.exec())
        throw DbError(describe(query.lastError()));
    return query.numRowsAffected();
}

}  // namespace db
