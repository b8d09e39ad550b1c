#include "BalanceReset.h"

#include "BalanceJournal.h"
#include "AccountCodes.h"
#include "Journal.h"
#include "TriggerNotice.h"

#include "db/Connection.h"
#include "db/DbError.h"
#include "db/ODBC.h"
#include "db/Recordset.h"
#include "db/StoredValue.h"
#include "db/TableTriggers.h"

namespace repair {

namespace {

// The rows a balance reset clears, as a condition and its parameters: the account's rows from the
// period on. The reset and anything that reports which rows it would clear use this one rule.
// The period is compared as a number and the code without trailing blanks, as the server's
// integer and char columns compare them, also where a table holds them as text (an import tool's
// every column TEXT, codes padded to the column's width).
struct ResetRows {
    QString where;
    QVariantList parameters;
};

ResetRows resetRows(const db::Connection &connection, const QString &code, const QVariant &period)
{
    const QString trimmedCode = withoutPadding(code).toString();
    if (connection.dialect() == db::SqlDialect::Sqlite)
        return {QStringLiteral("rtrim(ccode,' ')=? and cast(iperiod as integer)>=?"), {trimmedCode, period}};
    return {QStringLiteral("ccode=? and iperiod>=?"), {trimmedCode, period}};
}

// 1 for a row whose amounts are all 0 already, as the engine compares them: the reset does not
// count it as changed.
const QString AlreadyZeroName = QStringLiteral("n3fix_already_zero");
const QString AlreadyZero = QStringLiteral("case when mb=0 and mc=0 and md=0 then 1 else 0 end as ") + AlreadyZeroName;

// Adds the current matched row to the run's list and counts it, as changed when its amounts are
// not all 0 by value.
void listRow(const db::Recordset &matched, BalanceResetRun &run)
{
    run.rows.push_back({matched.field(QStringLiteral("iperiod")), matched.field(QStringLiteral("mb")),
                        matched.field(QStringLiteral("md")), matched.field(QStringLiteral("mc"))});
    ++run.rowsMatched;
    if (matched.field(AlreadyZeroName).toInt() != 1)
        ++run.rowsChanged;
}

// Whether the reset's write leaves the current row exactly as it is: each amount stored as the
// integer 0. An amount 0 in another form (0.0, '0') is rewritten, so its row is journaled.
bool keepsItsAmounts(const db::Recordset &matched)
{
    for (const QString &amount : BalanceJournalAmounts)
        if (!db::storedAsInteger(matched.field(amount), 0))
            return false;
    return true;
}

// The journal of the reset, flushed: every matched row the write changes, with its amounts,
// found again by its rowid on SQLite (with the values of its other columns), or by those values
// elsewhere.
std::unique_ptr<Journal> writeJournal(db::Connection &connection, const QString &database, const QString &accountSet,
                                      const QString &year, const QString &code, const QString &period, db::Recordset &matched,
                                      BalanceResetRun &run)
{
    RepairRecord record = balanceJournalRecord(RepairKind::BalanceReset, database, accountSet, year, matched, {AlreadyZeroName});
    record.code = code;
    record.period = period;
    auto journal = std::make_unique<Journal>(journalDirectory(), record);
    for (; !matched.eof(); matched.moveNext()) {
        JournalRow row = balanceJournalRow(connection, record, matched);
        row.newValues = {0, 0, 0};
        listRow(matched, run);
        row.position = run.rowsMatched;  // one statement writes them all: the reset's rowsDone is all or none
        if (!keepsItsAmounts(matched))
            journal->addRow(row);
    }
    journal->setRowsVisited(run.rowsMatched);
    journal->flush();
    return journal;
}

}  // namespace

BalanceResetRun resetBalances(const QString &accountSet, const QString &year, const QString &code, const ResetPeriod &firstPeriod,
                              bool dryRun)
{
    BalanceResetRun run;
    if (accountSet.isEmpty() || year.isEmpty())
        return run;
    run.result = RunResult::Failed;
    const QString database = ODBC::accountSetDatabaseName(accountSet, year);
    // A connection of the reset's own, released as it returns; a dry run's can only read, which
    // leaves the database and its log as they are, byte for byte. One that can't be opened raises
    // its error before anything else is done.
    const std::shared_ptr<db::Connection> connection = ODBC::openConnection(database, dryRun);
    if (!firstPeriod.number.isValid()) {
        run.failure = QStringLiteral("月份“%1”不是整数。").arg(firstPeriod.text);
        return run;
    }
    const ResetRows rows = resetRows(*connection, code, firstPeriod.number);
    const QString selectMatched = QStringLiteral("select *,") + AlreadyZero + QStringLiteral(" from GL_accsum where ") + rows.where;
    std::unique_ptr<Journal> journal;
    try {
        db::Recordset matched;
        if (dryRun) {
            matched.open(selectMatched, connection, db::CursorType::Static, db::LockType::ReadOnly, rows.parameters);
            for (; !matched.eof(); matched.moveNext())
                listRow(matched, run);
            run.result = RunResult::Completed;
            return run;
        }
        connection->beginTransaction();
        matched.open(selectMatched, connection, db::CursorType::Static, db::LockType::Optimistic, rows.parameters);
        run.triggerNotice = triggerNotice(QStringLiteral("GL_accsum"), db::tableTriggers(connection, QStringLiteral("GL_accsum")));
        journal = writeJournal(*connection, database, accountSet, year, code, firstPeriod.text, matched, run);
        run.journal = journal->record().id;
        matched.close();
        connection->execute(QStringLiteral("update GL_accsum set mb=0,mc=0,md=0 where ") + rows.where, rows.parameters);
        connection->commit();
    } catch (const db::DbError &error) {
        connection->rollback();
        run.failure = error.description();
        run.triggerNotice.clear();
        if (journal)
            run.unrecorded = journal->finish(Outcome::RolledBack, 0, 0, run.failure);
        return run;
    }
    run.result = RunResult::Completed;
    run.unrecorded = journal->finish(Outcome::Completed, run.rowsMatched, run.rowsChanged);
    return run;
}

}  // namespace repair
