#include "BalanceRecompute.h"

#include "BalanceJournal.h"
#include "Journal.h"
#include "StoredText.h"
#include "TriggerNotice.h"

#include "db/Connection.h"
#include "db/DbError.h"
#include "db/ODBC.h"
#include "db/QuotedName.h"
#include "db/RowMatch.h"
#include "db/StoredValue.h"
#include "db/Recordset.h"
#include "db/TableTriggers.h"

#include <algorithm>
#include <unordered_map>

namespace repair {

namespace {

const QString Table = QStringLiteral("GL_accsum");
const QString SeveralRows = QStringLiteral("这一期有多条相同的余额行，无法只改其中一条。");

// A balance row of an account with sub-accounts, as stored.
struct StoredRow {
    QVariant rowid, code, period;
    std::array<QVariant, 3> amounts;
};

// One account in one period: the sum of its direct sub-accounts' amounts, and its own rows.
struct AccountPeriod {
    Amounts sums{};
    Amounts own{};   // the total of its own rows
    int rows = 0;
    qsizetype firstRow = -1;  // into the stored rows
};

// Whether two stored values are the same value in the same form.
bool identical(const QVariant &a, const QVariant &b)
{
    return a.isNull() == b.isNull() && (a.isNull() || (a.typeId() == b.typeId() && a == b));
}

bool sameRow(const RecomputedRow &a, const RecomputedRow &b)
{
    return a.code == b.code && identical(a.period, b.period) && identical(a.rowid, b.rowid)
        && identical(a.storedCode, b.storedCode) && identical(a.storedPeriod, b.storedPeriod)
        && std::equal(a.stored.begin(), a.stored.end(), b.stored.begin(), identical) && a.sums == b.sums
        && a.changes == b.changes;
}

// A period as a message names it.
QString periodText(const QVariant &period)
{
    return period.isNull() ? QStringLiteral("NULL") : period.toString();
}

// The plan, over `connection`: one read of the chart and one of the balances, then the sums
// carried up from the deepest accounts.
RecomputePlan readPlan(const std::shared_ptr<db::Connection> &connection, const QString &database)
{
    RecomputePlan plan;
    plan.database = database;
    BalanceLedger ledger(connection);
    plan.codes = ledger.chartRows();
    const std::vector<qsizetype> &parents = ledger.parents();
    const std::vector<bool> &hasSubAccounts = ledger.hasSubAccounts();

    // An end-level account's rows go straight into its parent's sums; an account with
    // sub-accounts keeps its own rows, to be compared and written.
    std::unordered_map<quint64, AccountPeriod> accounts;
    std::vector<StoredRow> stored;
    plan.rowsRead = ledger.readRows(connection->dialect() == db::SqlDialect::Sqlite, [&](const BalanceLedger::Row &row) {
        if (row.account < 0) {
            plan.orphans.push_back({row.code, row.period});
            return;
        }
        const auto index = std::size_t(row.account);
        if (hasSubAccounts[index]) {
            AccountPeriod &own = accounts[accountPeriodKey(row.account, row.periodNumber)];
            if (own.rows++ == 0) {
                own.firstRow = qsizetype(stored.size());
                stored.push_back({row.stored.rowId(), row.stored.field(0), row.stored.field(1),
                                  {row.stored.field(2), row.stored.field(3), row.stored.field(4)}});
                plan.rowidName = row.stored.rowIdName();
            }
            for (std::size_t c = 0; c < 3; ++c)
                own.own[c] += row.amounts[c];
        } else if (const qsizetype parent = parents[index]; parent >= 0) {
            AccountPeriod &sum = accounts[accountPeriodKey(parent, row.periodNumber)];
            for (std::size_t c = 0; c < 3; ++c)
                sum.sums[c] += row.amounts[c];
        }
    });

    // Every account above one with amounts in a period is given that period too, so the sums can
    // be carried all the way up.
    std::vector<quint64> keys;
    keys.reserve(accounts.size());
    for (const auto &entry : accounts)
        keys.push_back(entry.first);
    for (std::size_t i = 0, read = keys.size(); i < read; ++i) {
        const quint32 period = quint32(keys[i]);
        for (qsizetype up = parents[std::size_t(keys[i] >> 32)]; up >= 0; up = parents[std::size_t(up)]) {
            if (!accounts.try_emplace(accountPeriodKey(up, period)).second)
                break;  // it was there already, and so are the accounts above it, or they will be
            keys.push_back(accountPeriodKey(up, period));
        }
    }
    // Sub-accounts come after their parents in the chart's order: the last account first.
    std::sort(keys.begin(), keys.end(), [](quint64 a, quint64 b) { return (a >> 32) > (b >> 32); });
    for (const quint64 key : keys) {
        const auto account = qsizetype(key >> 32);
        const AccountPeriod &entry = accounts.at(key);
        const QString &code = ledger.codes()[std::size_t(account)];
        const QVariant &period = ledger.period(quint32(key));
        // What the account holds once recomputed, which its parent adds up: its stored amount where
        // that is within half a cent of the sum, so that the parent agrees with exactly what its
        // sub-accounts hold; else the sum.
        Amounts holds = entry.sums;
        std::array<bool, 3> off{};
        for (std::size_t c = 0; c < 3; ++c) {
            off[c] = entry.own[c].differsFrom(entry.sums[c]);
            if (entry.rows > 0 && !off[c])
                holds[c] = entry.own[c];
        }
        if (const qsizetype parent = parents[std::size_t(account)]; parent >= 0) {
            AccountPeriod &above = accounts.at(accountPeriodKey(parent, quint32(key)));
            for (std::size_t c = 0; c < 3; ++c)
                above.sums[c] += holds[c];
        }
        const bool anyOff = off[0] || off[1] || off[2];
        if (entry.rows == 0 && anyOff) {
            plan.missingRows.push_back({code, period, entry.sums});
        } else if (entry.rows > 1 && anyOff) {
            plan.duplicateRows.push_back({code, period, entry.rows});
        } else if (entry.rows == 1 && anyOff) {
            const StoredRow &row = stored[std::size_t(entry.firstRow)];
            plan.rows.push_back({code, period, row.rowid, row.code, row.period, row.amounts, entry.own, entry.sums, off});
        }
    }

    const auto byCodeAndPeriod = [](const auto &a, const auto &b) {
        return a.code != b.code ? a.code < b.code : BalanceLedger::periodBefore(a.period, b.period);
    };
    std::sort(plan.rows.begin(), plan.rows.end(), byCodeAndPeriod);
    std::sort(plan.missingRows.begin(), plan.missingRows.end(), byCodeAndPeriod);
    std::sort(plan.duplicateRows.begin(), plan.duplicateRows.end(), byCodeAndPeriod);
    BalanceLedger::sortOrphans(plan.orphans);
    return plan;
}

// Raises, naming the first row that differs, when the rows to write are not those confirmed:
// another program changed a row or a sub-account's amount since the confirmed plan was read.
void refuseUnlessConfirmed(const RecomputePlan &confirmed, const RecomputePlan &now)
{
    const std::size_t common = std::min(confirmed.rows.size(), now.rows.size());
    std::size_t i = 0;
    while (i < common && sameRow(confirmed.rows[i], now.rows[i]))
        ++i;
    if (i == common && confirmed.rows.size() == now.rows.size())
        return;
    const RecomputedRow &row = i < confirmed.rows.size() ? confirmed.rows[i] : now.rows[i];
    throw db::DbError(QStringLiteral("科目 %1 第 %2 期：余额表在读取之后被其他程序改动了（本科目或它的下级科目）。"
                                     "重算没有做任何改动，请重新运行。")
                          .arg(db::shownValue(db::codeValue(row.code)), periodText(row.period)));
}

// The value a sum is written as: the exact decimal for a server, whose money and decimal columns
// take it as it is; on SQLite an integer when whole, else the nearest real.
QVariant writtenValue(const db::Connection &connection, Money sum)
{
    if (connection.dialect() == db::SqlDialect::TransactSql)
        return sum.toString();
    if (const std::optional<qint64> whole = sum.toInteger())
        return QVariant(qlonglong(*whole));
    return QVariant(sum.toDouble());
}

// The condition that finds one planned row only while it holds what was read: its rowid where
// there is one, and its code, period and amounts, compared as the engine compares them (a text
// not valid UTF-8 by its stored bytes).
db::Condition guardOf(db::Connection &connection, const QString &rowidName, const RecomputedRow &row)
{
    QStringList columns;
    QVariantList values;
    if (!row.rowid.isNull()) {
        columns << rowidName;
        values << row.rowid;
    }
    const auto equal = [&](const QString &column, const QVariant &value) {
        columns << column;
        values << (value.isNull() ? value : storedText(connection, Table, rowidName, row.rowid, column, value));
    };
    equal(QStringLiteral("ccode"), row.storedCode);
    equal(QStringLiteral("iperiod"), row.storedPeriod);
    for (std::size_t c = 0; c < 3; ++c)
        equal(QLatin1String(AmountNames[c]), row.stored[c]);
    return db::allEqual(columns, values, connection.dialect() == db::SqlDialect::Sqlite);
}

// A planned row with what finds it and what it is to be given.
struct Write {
    const RecomputedRow *row;
    db::Condition guard;
    QStringList columns;
    QVariantList values;
};

// The run's writes: journaled, then made, each reaching exactly its row.
class Writer {
public:
    Writer(std::shared_ptr<db::Connection> connection, const RecomputePlan &plan)
        : m_connection(std::move(connection)), m_plan(plan)
    {
    }

    // Reads every planned row whole, still holding what the plan read, and journals it with the
    // amounts it is to get; the journal is on disk when this returns.
    std::unique_ptr<Journal> journal(const QString &accountSet, const QString &year)
    {
        std::unique_ptr<Journal> journal;
        RepairRecord record;
        for (const RecomputedRow &row : m_plan.rows) {
            Write write{&row, guardOf(*m_connection, m_plan.rowidName, row), {}, {}};
            for (std::size_t c = 0; c < 3; ++c) {
                if (row.changes[c]) {
                    write.columns << QLatin1String(AmountNames[c]);
                    write.values << writtenValue(*m_connection, row.sums[c]);
                }
            }
            readWhole(write);
            if (!journal) {
                record = balanceJournalRecord(RepairKind::RecomputeBalances, m_plan.database, accountSet, year,
                                              m_whole);
                journal = std::make_unique<Journal>(journalDirectory(), record);
            }
            JournalRow journaled = balanceJournalRow(*m_connection, record, m_whole);
            journaled.newValues = journaled.oldValues;
            for (int c = 0; c < write.columns.size(); ++c)
                journaled.newValues[int(record.changedColumns.indexOf(write.columns[c]))] = write.values[c];
            journaled.position = qint64(m_writes.size()) + 1;  // one transaction writes them all, or none
            journal->addRow(journaled);
            m_whole.close();
            m_writes.push_back(std::move(write));
        }
        journal->setRowsVisited(m_plan.rowsRead);
        journal->flush();
        return journal;
    }

    // Makes the journaled writes. A write that reaches no row means the row changed since it
    // was read (or a trigger set the write aside): everything is then to be rolled back.
    qint64 write(const RecomputeProgress &progress)
    {
        qint64 written = 0;
        for (const Write &write : m_writes) {
            QStringList assignments;
            for (const QString &column : write.columns)
                assignments << db::quotedName(column) + QStringLiteral("=?");
            const int reached =
                m_connection->execute(QStringLiteral("update ") + db::quotedName(Table) + QStringLiteral(" set ")
                                          + assignments.join(QLatin1Char(',')) + QStringLiteral(" where ") + write.guard.sql,
                                      write.values + write.guard.bound);
            // a server that reports no row count (NOCOUNT on) is taken at its word
            if (reached == 0)
                fail(*write.row, stillThere(write) ? db::updateIgnored() : db::rowChangedSinceRead());
            if (reached > 1)
                fail(*write.row, SeveralRows);
            ++written;
            if (progress)
                progress(written, qint64(m_writes.size()));
        }
        return written;
    }

private:
    // Opens m_whole on the rows `write` finds, all their columns; returns how many it found, up
    // to 2.
    int openWhole(const Write &write)
    {
        // the table named bare, as the recordset finds the rowid of a table it reads
        m_whole.open(QStringLiteral("select * from ") + Table + QStringLiteral(" where ") + write.guard.sql, m_connection,
                     db::CursorType::Static, db::LockType::Optimistic, write.guard.bound);
        if (m_whole.eof())
            return 0;
        m_whole.moveNext();
        const int found = m_whole.eof() ? 1 : 2;
        m_whole.moveFirst();
        return found;
    }

    // Opens m_whole on the one row `write` finds; raises when it finds none or several.
    void readWhole(const Write &write)
    {
        const int found = openWhole(write);
        if (found == 0)
            fail(*write.row, db::rowChangedSinceRead());
        if (found > 1)
            fail(*write.row, SeveralRows);
    }

    bool stillThere(const Write &write)
    {
        const bool found = openWhole(write) > 0;
        m_whole.close();
        return found;
    }

    [[noreturn]] static void fail(const RecomputedRow &row, const QString &why)
    {
        throw db::DbError(
            QStringLiteral("科目 %1 第 %2 期：%3").arg(db::shownValue(db::codeValue(row.code)), periodText(row.period), why));
    }

    std::shared_ptr<db::Connection> m_connection;
    const RecomputePlan &m_plan;
    db::Recordset m_whole;  // reused for every row: its statements stay prepared
    std::vector<Write> m_writes;
};

} // namespace

RecomputePlan planRecompute(const QString &database)
{
    try {
        return readPlan(ODBC::openConnection(database, true, true), database);
    } catch (const db::DbError &error) {
        RecomputePlan plan;
        plan.database = database;
        plan.failure = error.description();
        return plan;
    } catch (const MoneyOutOfRange &) {
        RecomputePlan plan;
        plan.database = database;
        plan.failure = moneyOutOfRangeText();
        return plan;
    }
}

RecomputeRun runRecompute(const QString &accountSet, const QString &year, const RecomputePlan *confirmed,
                          const RecomputeProgress &progress)
{
    RecomputeRun run;
    const QString database = ODBC::accountSetDatabaseName(accountSet, year);
    run.plan.database = database;
    std::shared_ptr<db::Connection> connection;
    std::unique_ptr<Journal> journal;
    try {
        connection = ODBC::openConnection(database, false, true);
        connection->beginTransaction();
        run.plan = readPlan(connection, database);
        if (confirmed)
            refuseUnlessConfirmed(*confirmed, run.plan);
        if (!run.plan.rows.empty()) {
            Writer writer(connection, run.plan);
            run.triggerNotice = triggerNotice(Table, db::tableTriggers(connection, Table));
            journal = writer.journal(accountSet, year);
            run.journal = journal->record().id;
            run.written = writer.write(progress);
        }
        connection->commit();
    } catch (const std::exception &error) {
        if (connection)
            connection->rollback();
        const auto *failure = dynamic_cast<const db::DbError *>(&error);
        if (!failure && !dynamic_cast<const MoneyOutOfRange *>(&error))
            throw;
        run.failure = failure ? failure->description() : moneyOutOfRangeText();
        run.written = 0;
        run.triggerNotice.clear();
        if (journal)
            journal->finish(Outcome::RolledBack, 0, 0, run.failure);  // unrecorded: the recompute never ended
        return run;
    }
    if (journal)
        run.unrecorded = journal->finish(Outcome::Completed, run.written, run.written);
    return run;
}

} // namespace repair
