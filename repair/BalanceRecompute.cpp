#include "BalanceRecompute.h"

#include "BalanceJournal.h"
#include "BalanceRecomputePlan.h"
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

// Whether two stored values are the same value in the same form.
bool identical(const QVariant &a, const QVariant &b)
{
    return a.isNull() == b.isNull() && (a.isNull() || (a.typeId() == b.typeId() && a == b));
}

bool sameRow(const RecomputedRow &a, const RecomputedRow &b)
{
    return a.code == b.code && identical(a.period, b.period) && identical(a.rowid, b.rowid)
           && identical(a.storedCode, b.storedCode) && identical(a.storedPeriod, b.storedPeriod)
           && std::equal(a.stored.begin(), a.stored.end(), b.stored.begin(), b.stored.end(), identical) && a.sums == b.sums
           && a.changes == b.changes && a.columns == b.columns;
}

// A period as a message names it.
QString periodText(const QVariant &period)
{
    return period.isNull() ? QStringLiteral("NULL") : period.toString();
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
                          .arg(db::shownCode(row.code), periodText(row.period)));
}

// The condition that finds one planned row only while it holds what was read: its rowid where
// there is one, and its code, period and amounts, compared as the engine compares them (a text
// not valid UTF-8 by its stored bytes). With `leavingWritten`, the amounts the recompute writes
// are left out: the condition finds the row once written.
db::Condition guardOf(db::Connection &connection, const QString &rowidName, const RecomputedRow &row, bool leavingWritten = false)
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
    for (std::size_t c = 0; c < row.stored.size(); ++c)
        if (!leavingWritten || !row.changes[c])
            equal(row.columns[qsizetype(c)], row.stored[c]);
    return db::allEqual(columns, values, connection.dialect() == db::SqlDialect::Sqlite);
}

// A planned row with what finds it and what it is to be given.
struct Write {
    const RecomputedRow *row;
    db::Condition guard;
    QStringList columns;
    QVariantList values;
    qint64 journalRow = 0;
    QVariantList newValues;  // as journaled: every amount column the journal keeps
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
            Write write{&row, guardOf(*m_connection, m_plan.rowidName, row), {}, {}, 0, {}};
            for (std::size_t c = 0; c < row.changes.size(); ++c) {
                if (row.changes[c]) {
                    write.columns << row.columns[qsizetype(c)];
                    write.values << recomputedValue(*m_connection, row.sums[c]);
                }
            }
            readWhole(write);
            if (!journal) {
                record = balanceJournalRecord(RepairKind::RecomputeBalances, m_plan.database, accountSet, year, m_whole, {},
                                              m_plan.columns);
                journal = std::make_unique<Journal>(journalDirectory(), record);
            }
            JournalRow journaled = balanceJournalRow(*m_connection, record, m_whole);
            journaled.newValues = journaled.oldValues;
            for (int c = 0; c < write.columns.size(); ++c)
                journaled.newValues[int(record.changedColumns.indexOf(write.columns[c]))] = write.values[c];
            journaled.position = qint64(m_writes.size()) + 1;  // one transaction writes them all, or none
            write.journalRow = journal->addRow(journaled);
            write.newValues = journaled.newValues;
            m_whole.close();
            m_writes.push_back(std::move(write));
        }
        journal->setRowsVisited(m_plan.rowsRead);
        journal->flush();
        return journal;
    }

    // Makes the journaled writes. A write that reaches no row means the row changed since it
    // was read (or a trigger set the write aside): everything is then to be rolled back. Each row
    // written is read back, and a sum the engine did not store exactly is listed in `inexact`
    // and journaled as stored.
    qint64 write(const RecomputeProgress &progress, Journal &journal, std::vector<InexactSum> &inexact)
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
            readBack(write, journal, inexact);
            ++written;
            if (progress)
                progress(written, qint64(m_writes.size()));
        }
        return written;
    }

private:
    // Reads the amounts `write` wrote from the engine and lists each that is not its sum exactly;
    // the journal then records what the row holds.
    void readBack(const Write &write, Journal &journal, std::vector<InexactSum> &inexact)
    {
        const db::Condition written = guardOf(*m_connection, m_plan.rowidName, *write.row, true);
        db::Recordset stored;
        stored.open(QStringLiteral("select ") + db::quotedNames(write.columns) + QStringLiteral(" from ") + Table
                        + QStringLiteral(" where ") + written.sql,
                    m_connection, db::CursorType::Static, db::LockType::ReadOnly, written.bound);
        if (stored.eof())
            return;  // a trigger moved the row away: the notice says so
        QVariantList journaled = write.newValues;
        bool exact = true;
        for (int c = 0; c < write.columns.size(); ++c) {
            const QVariant value = stored.field(c);
            const qsizetype column = write.row->columns.indexOf(write.columns[c]);
            const Money sum = write.row->sums[std::size_t(column)];
            std::optional<Money> held;
            try {
                held = Money::fromStored(value);
            } catch (const MoneyOutOfRange &) {
            }
            if (held == sum)
                continue;
            exact = false;
            const auto listed = std::find_if(inexact.begin(), inexact.end(), [&](const InexactSum &known) {
                return known.code == write.row->code && known.column == write.columns[c]
                       && identical(known.period, write.row->period);
            });
            if (listed != inexact.end())
                listed->stored = value;
            else
                inexact.push_back({write.row->code, write.row->period, write.columns[c], sum, value});
            journaled[int(journal.record().changedColumns.indexOf(write.columns[c]))] = value;
        }
        stored.close();
        if (!exact)
            journal.setNewValues(write.journalRow, journaled);
    }

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
        throw db::DbError(QStringLiteral("科目 %1 第 %2 期：%3").arg(db::shownCode(row.code), periodText(row.period), why));
    }

    std::shared_ptr<db::Connection> m_connection;
    const RecomputePlan &m_plan;
    db::Recordset m_whole;  // reused for every row: its statements stay prepared
    std::vector<Write> m_writes;
};

}  // namespace

RecomputePlan planRecompute(const QString &database, const QStringList &amountColumns)
{
    try {
        return readRecomputePlan(ODBC::openConnection(database, true, true), database, amountColumns);
    } catch (const db::DbError &error) {
        RecomputePlan plan;
        plan.database = database;
        plan.failure = error.description();
        plan.columns = amountColumns;
        return plan;
    } catch (const MoneyOutOfRange &) {
        RecomputePlan plan;
        plan.database = database;
        plan.failure = moneyOutOfRangeText();
        plan.columns = amountColumns;
        return plan;
    }
}

RecomputeRun runRecompute(const QString &accountSet, const QString &year, const RecomputePlan *confirmed,
                          const RecomputeProgress &progress, const QStringList &amountColumns)
{
    RecomputeRun run;
    const QString database = ODBC::accountSetDatabaseName(accountSet, year);
    const QStringList &columns = confirmed ? confirmed->columns : amountColumns;
    run.plan.database = database;
    run.plan.columns = columns;
    std::shared_ptr<db::Connection> connection;
    std::unique_ptr<Journal> journal;
    try {
        connection = ODBC::openConnection(database, false, true);
        connection->beginTransaction();
        run.plan = readRecomputePlan(connection, database, columns);
        if (confirmed)
            refuseUnlessConfirmed(*confirmed, run.plan);
        if (!run.plan.rows.empty()) {
            Writer writer(connection, run.plan);
            run.triggerNotice = triggerNotice(Table, db::tableTriggers(connection, Table));
            journal = writer.journal(accountSet, year);
            run.journal = journal->record().id;
            run.rowsChanged = writer.write(progress, *journal, run.plan.inexact);
            BalanceLedger::sortByCodeAndPeriod(run.plan.inexact);
        }
        connection->commit();
    } catch (const std::exception &error) {
        if (connection)
            connection->rollback();
        const auto *failure = dynamic_cast<const db::DbError *>(&error);
        if (!failure && !dynamic_cast<const MoneyOutOfRange *>(&error))
            throw;
        run.result = RunResult::Failed;
        run.failure = failure ? failure->description() : moneyOutOfRangeText();
        run.rowsChanged = 0;
        run.triggerNotice.clear();
        if (journal)
            run.unrecorded = journal->finish(Outcome::RolledBack, 0, 0, run.failure);
        return run;
    }
    run.result = RunResult::Completed;
    if (journal)
        run.unrecorded = journal->finish(Outcome::Completed, run.rowsChanged, run.rowsChanged);
    return run;
}

}  // namespace repair
