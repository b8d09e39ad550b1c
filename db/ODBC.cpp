#include "ODBC.h"

#include "ConnectionString.h"
#include "DatabaseName.h"
#include "DbError.h"

#include <QCoreApplication>

namespace ODBC {

namespace {

struct ModuleState {
    db::EngineSettings engine;
    std::shared_ptr<db::Connection> connection;
};

void releaseConnection();

ModuleState &state()
{
    static ModuleState module;
    static const bool releasedWithTheApplication = (qAddPostRoutine(releaseConnection), true);
    Q_UNUSED(releasedWithTheApplication);
    return module;
}

// Drops the shared connection while Qt's database registry still exists, where nothing released
// it before (the main window releases it as it closes).
void releaseConnection()
{
    state().connection.reset();
}

}  // namespace

const QString SystemDatabase = QStringLiteral("LQsystem");

void setEngine(const db::EngineSettings &engine)
{
    state().engine = engine;
}

const db::EngineSettings &engine()
{
    return state().engine;
}

std::shared_ptr<db::Connection> &DbConn()
{
    std::shared_ptr<db::Connection> &connection = state().connection;
    if (!connection)
        connection = std::make_shared<db::Connection>(state().engine);
    return connection;
}

namespace {

// Opens `connection` on `dbName` through `access`, or raises the failure.
void open(db::Connection &connection, const QString &dbName, const db::ServerAccess &access)
{
    const QString fault = db::databaseNameFault(dbName);
    if (!fault.isEmpty())
        throw db::DbError(fault);
    if (const QString password = access.login.isEmpty() ? QString() : db::passwordFault(access.password); !password.isEmpty())
        throw db::DbError(password);
    connection.setConnectionString(db::buildConnectionString(dbName, access));
    connection.open();
}

}  // namespace

std::shared_ptr<db::Connection> openConnection(const QString &dbName, bool readOnly, bool exactDecimals)
{
    auto connection = std::make_shared<db::Connection>(state().engine);
    connection->setReadOnly(readOnly);
    connection->setExactDecimals(exactDecimals);
    open(*connection, dbName, state().engine.access);
    return connection;
}

std::shared_ptr<db::Connection> openConnection(const db::EngineSettings &engine, const QString &dbName, bool readOnly)
{
    auto connection = std::make_shared<db::Connection>(engine);
    connection->setReadOnly(readOnly);
    open(*connection, dbName, engine.access);
    return connection;
}

QString engineName()
{
    return engineName(state().engine);
}

QString engineName(const db::EngineSettings &engine)
{
    if (engine.kind != db::EngineKind::Odbc)
        return QStringLiteral("embedded");
    return engine.access.server.isEmpty() ? QStringLiteral("odbc") : QStringLiteral("odbc:") + engine.access.server;
}

QString serverOf(const QString &engineName)
{
    return engineName.startsWith(QLatin1String("odbc:")) ? engineName.mid(5) : QString();
}

void connectDatabase(const QString &dbName)
{
    state().connection = std::make_shared<db::Connection>(state().engine);
    open(*state().connection, dbName, state().engine.access);
}

QString accountSetDatabaseName(const QString &accountSet, const QString &year)
{
    return QStringLiteral("LQDATA_") + accountSet + QLatin1Char('_') + year;
}

}  // namespace ODBC
