#pragma once

#include "Engine.h"

#include <QSqlDatabase>
#include <QString>
#include <QVariantList>

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

    // Opens the connection described by the connection string.
    void open();
    bool isOpen() const;
    SqlDialect dialect() const { return m_dialect; }

    // Runs a statement that returns no rows, with `params` bound to its ? placeholders.
    // Returns the number of rows it changed.
    int execute(const QString &sql, const QVariantList &params = {});

    // The statement text exactly as this connection's engine must receive it.
    QString statementText(const QString &sql) const;

    // The underlying Qt connection; raises DbError when the connection is not open.
    QSqlDatabase openDatabase() const;

private:
    void openEmbedded(const QString &databaseName);
    void openOdbc();
    void applyEmbeddedSettings();
    [[noreturn]] void fail(const QString &description);

    EngineSettings m_engine;
    QString m_qtName;
    QString m_connectionString;
    SqlDialect m_dialect = SqlDialect::TransactSql;
};

// The description of a Qt SQL error as the user should read it.
QString describe(const class QSqlError &error);

} // namespace db
