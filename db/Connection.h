#pragma once

#include "DbError.h"
#include "Engine.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariantList>

struct sqlite3;

namespace db {

// The SQL dialect the connected engine speaks. Statements are written in T-SQL; on SQLite
// the layer rewrites the few T-SQL functions SQLite lacks before sending them.
enum class SqlDialect { TransactSql, Sqlite };

// One database connection, opened from a server connection string. Mirrors what the tool
// needs of a server connection: set the string, open, run statements; every failure is
// raised as DbError with the engine's description. Closed and released when destroyed.
class Connection {
public:
    explicit Connection(const EngineSettings &engine);
    ~Connection();
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    void setConnectionString(const QString &connectionString);
    const QString &connectionString() const { return m_connectionString; }
    // Asks for a connection that can only read. Set before open().
    void setReadOnly(bool readOnly) { m_readOnly = readOnly; }
    // Asks for a server's DECIMAL, NUMERIC and MONEY values (and its floats) as the text the
    // driver gives, not as doubles, so that money is read to the last digit. Set before open();
    // SQLite has no such types and hands over its reals as they are stored.
    void setExactDecimals(bool exact) { m_exactDecimals = exact; }

    // Opens the connection described by the connection string.
    void open();
    bool isOpen() const;
    SqlDialect dialect() const { return m_dialect; }

    // Runs a statement that returns no rows, with `params` bound to its ? placeholders.
    // Returns the number of rows it changed.
    int execute(const QString &sql, const QVariantList &params = {});

    // The statement text exactly as this connection's engine must receive it.
    QString statementText(const QString &sql) const;

    // A value of a text column as the engine's left() and len() see it: text stays as it is, a
    // number becomes its digits (a whole REAL those of the integer it holds). NULL stays null.
    QString textOf(const QVariant &value);
    // The length of a text as the engine's len() counts it: characters on SQLite, UTF-16 code
    // units (as Unicode text is stored) on the server.
    int lengthOf(const QString &text) const;

    // A transaction around several statements; rollback() is harmless when none is open.
    void beginTransaction();
    void commit();
    void rollback();

    // The underlying Qt connection; raises DbError when the connection is not open.
    QSqlDatabase openDatabase() const;
    // A forward-only statement prepared on the open connection, to be bound and run as often as
    // needed; raises DbError when the connection is not open or the engine refuses the text.
    QSqlQuery prepared(const QString &text) const;
    // The SQLite handle behind an open connection made by Qt's SQLite driver, or null for any
    // other driver (an ODBC connection hands out its own kind of handle). Qt's driver is built on
    // the same shared SQLite library as this program, so a caller may use the handle directly.
    sqlite3 *sqliteHandle() const;

private:
    void openEmbedded(const QString &databaseName);
    void openOdbc();
    void applyEmbeddedSettings();
    [[noreturn]] void fail(const QString &description, DbError::Cause cause = DbError::Cause::Failure);

    EngineSettings m_engine;
    QString m_qtName;
    QString m_connectionString;
    bool m_readOnly = false;
    bool m_exactDecimals = false;
    SqlDialect m_dialect = SqlDialect::TransactSql;
};

// The description of a Qt SQL error as the user should read it.
QString describe(const class QSqlError &error);
// A connection through the ODBC driver manager that failed with `error`, as the user should read
// it: the server and the database tried, and the driver's own words with an explanation.
QString describeOdbcConnectFailure(const QSqlError &error, const ServerAccess &access, const QString &database);
// The description of the last failure on a SQLite handle, as describe() gives it.
QString describeSqlite(sqlite3 *handle);

}  // namespace db
