#include "DatabaseCheck.h"

#include "AmountColumnsSetting.h"

#include "db/ODBC.h"
#include "db/SystemDatabase.h"
#include "repair/Journal.h"
#include "repair/JournalReader.h"

#include <QStringList>

QString DatabaseCheck::failure() const
{
    QStringList failures;
    for (const QString *failure : {&endFlags.failure, &balances.failure, &recompute.failure})
        if (!failure->isEmpty() && !failures.contains(*failure))
            failures << *failure;
    return failures.join(QStringLiteral("；"));
}

QList<DatabaseCheck> listAccountSetYears()
{
    const std::shared_ptr<db::Connection> system = ODBC::openConnection(ODBC::SystemDatabase, true);
    QList<DatabaseCheck> databases;
    for (const db::AccountSet &set : db::accountSets(system))
        for (const QString &year : db::liveYears(system, set.number)) {
            DatabaseCheck database;
            database.accountSet = set.number;
            database.accountSetName = set.name;
            database.year = year;
            database.database = ODBC::accountSetDatabaseName(set.number, year);
            databases << database;
        }
    return databases;
}

QList<repair::RepairRecord> runningRepairs()
{
    QList<repair::RepairRecord> running;
    for (const repair::RepairRecord &record : repair::listRepairs(repair::journalDirectory()))
        if (record.running && record.engine == ODBC::engineName())
            running << record;
    return running;
}

void checkDatabase(DatabaseCheck &database, const QList<repair::RepairRecord> &running)
{
    database.endFlags = repair::checkEndFlags(database.database);
    // The amount columns kept in the settings; a list that names none is the reason neither
    // ledger check can be made.
    const repair::AmountColumnList amounts = AmountColumnsSetting::remembered();
    if (amounts.problem.isEmpty()) {
        database.balances = repair::checkBalances(database.database, amounts.columns);
        database.recompute = repair::planRecompute(database.database, amounts.columns);
    } else {
        database.balances = {database.database, 0, 0, 0, {}, {}, {}, amounts.problem, {}};
        database.recompute = repair::RecomputePlan();
        database.recompute.database = database.database;
        database.recompute.failure = amounts.problem;
    }
    database.runningRepair.reset();
    for (const repair::RepairRecord &record : running)
        if (record.database == database.database)
            database.runningRepair = record;
    database.checked = true;
}
