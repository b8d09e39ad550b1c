#include "Undo.h"

#include "Journal.h"
#include "JournalFormat.h"
#include "JournalLock.h"
#include "JournalReader.h"
#include "JournaledValues.h"
#include "RepairPlace.h"
#include "RepairText.h"
#include "RowLookup.h"
#include "TriggerNotice.h"

#include "db/Connection.h"
#include "db/DbError.h"
#include "db/ODBC.h"
#include "db/QuotedName.h"
#include "db/Recordset.h"
#include "db/TableTriggers.h"

#include <QHash>
#include <QSet>

namespace repair {

namespace {

const int PageRows = 1000;  // journal rows read at a time

// A key as text that tells values of different types apart, to group rows by it.
QString keyText(const QVariantList &key)
{
    QString text;
    for (const QVariant &value : key)
        text += valueKey(value);
    return text;
}

// Whether `repair` wrote `row`. One that completed wrote every row it journaled; a walk that
// stopped or failed wrote its rows in order up to the number it wrote, and none after. In a
// journal of an earlier version rows have no position and count as written. A repair whose end
// was never recorded may have written any of them.
bool wasWritten(const RepairRecord &repair, const JournalRow &row)
{
    if (repair.outcome != Outcome::Stopped && repair.outcome != Outcome::Failed)
        return true;
    return row.position <= 0 || row.position <= repair.rowsDone;
}

// For each row written by a repair made after `repair` on its table: its account (and period),
// and the id of that repair. Undos of `repair`, and undos of those, wrote its own values or put
// them back: they are not among them. The repairs are those of listRepairs(), newest first.
QHash<QString, QString> writtenLater(const QString &directory, const QList<RepairRecord> &repairs, const RepairRecord &repair)
{
    QSet<QString> ownChain{repair.id};
    for (auto r = repairs.crbegin(); r != repairs.crend(); ++r)  // oldest first: each undo after what it undoes
        if (ownChain.contains(r->undoes))
            ownChain.insert(r->id);
    QHash<QString, QString> later;
    for (const RepairRecord &other : repairs) {
        if (other.id == repair.id)
            break;  // the rest are older
        if (ownChain.contains(other.id) || other.database != repair.database || other.engine != repair.engine
            || other.table.compare(repair.table, Qt::CaseInsensitive) != 0 || other.outcome == Outcome::RolledBack)
            continue;
        for (qint64 offset = 0;; offset += PageRows) {
            const QList<JournalRow> page = readRows(directory, other.id, offset, PageRows);
            for (const JournalRow &row : page) {
                const QString account = RowLookup::accountOf(other, row);
                if (!account.isEmpty() && wasWritten(other, row) && !identicalValues(row.oldValues, row.newValues))
                    later.insert(account, other.id);
            }
            if (page.size() < PageRows)
                break;
        }
    }
    return later;
}

// One write undo will make: the rows that `where` finds get their old values back.
struct Restore {
    JournalRow row;              // as the undone repair journaled it, found where it is now
    RowLookup::Condition where;  // finds the row(s) still holding what the repair wrote
    int rows = 1;                // rows it must reach
};

// Works out, inside the undo's transaction, which journaled rows can be put back, and puts them
// back once the undo's journal holds them.
class Restorer {
public:
    Restorer(std::shared_ptr<db::Connection> connection, const RepairRecord &repair, UndoRun &run,
             QHash<QString, QString> writtenLater, bool countsUnreliable)
        : m_connection(connection), m_repair(repair), m_run(run), m_lookup(std::move(connection), repair),
          m_writtenLater(std::move(writtenLater)), m_countsUnreliable(countsUnreliable)
    {
    }

    // A row with a rowid, found where RowLookup finds it.
    void planByRowid(const JournalRow &row)
    {
        const RowLookup::Result found = m_lookup.byRowid(row);
        if (found.where == RowLookup::Where::Gone) {
            leaveAlone(row, {}, LeftAloneReason::Gone, true);
            return;
        }
        if (found.where == RowLookup::Where::Ambiguous) {
            leaveAlone(row, {}, LeftAloneReason::Ambiguous, true);
            return;
        }
        const RowLookup::Found &now = found.rows.first();
        if (now.holdsOld) {
            ++m_run.alreadyOld;  // never written, or put back already
            return;
        }
        if (found.where == RowLookup::Where::Altered)
            leaveAlone(row, now.now, LeftAloneReason::Changed, true, found.alteredColumns);
        else if (!now.holdsNew)
            leaveAlone(row, now.now, LeftAloneReason::Changed, true);
        else if (const QString later = laterRepair(row); !later.isEmpty())
            leaveAloneAsWrittenLater(row, now.now, later);
        else
            plan(row, now.rowid, 1);
    }

    // Rows found by their key values: every journaled row sharing a key is one group, put back
    // together. A group whose rows had different values, or whose key now finds more rows holding
    // the repair's value than the group has, can't be matched to its rows and stays as it is.
    void planByKey(const QList<JournalRow> &group)
    {
        const JournalRow &first = group.first();
        for (const JournalRow &row : group) {
            if (!sameValues(row.oldValues, first.oldValues) || !sameValues(row.newValues, first.newValues)) {
                for (const JournalRow &left : group)
                    leaveAlone(left, {}, LeftAloneReason::Ambiguous, false);
                return;
            }
        }
        const QList<RowLookup::Found> found = m_lookup.byKey(first);
        int toRestore = 0;
        int holdingOld = 0;
        QList<QVariantList> changedSince;
        for (const RowLookup::Found &now : found) {
            if (now.holdsOld)
                ++holdingOld;
            else if (now.holdsNew)
                ++toRestore;
            else
                changedSince << now.now;
        }
        if (found.isEmpty()) {
            for (const JournalRow &gone : group)
                leaveAlone(gone, {}, LeftAloneReason::Gone, false);
            return;
        }
        if (toRestore > group.size()) {
            // more rows hold the repair's value than it changed: rows it left as they were look
            // the same, and which is which can't be told
            for (const JournalRow &left : group)
                leaveAlone(left, {}, LeftAloneReason::Ambiguous, false);
            return;
        }
        // Each journaled row of the group is counted once: the rows restored, then as many rows
        // changed since and rows holding the old value as are found, and the rest as gone.
        qsizetype left = group.size() - toRestore;
        for (const QVariantList &now : std::as_const(changedSince)) {
            if (left == 0)
                break;
            leaveAlone(first, now, LeftAloneReason::Changed, false);
            --left;
        }
        const int old = int(qMin<qsizetype>(holdingOld, left));
        m_run.alreadyOld += old;
        for (left -= old; left > 0; --left)
            leaveAlone(first, {}, LeftAloneReason::Gone, false);
        if (toRestore == 0)
            return;
        if (const QString later = laterRepair(first); !later.isEmpty()) {
            for (int i = 0; i < toRestore; ++i)
                leaveAloneAsWrittenLater(first, first.newValues, later);
            return;
        }
        plan(first, QVariant(), toRestore);
    }

    // The rows to restore, each row as the undo changes it: from the repair's new values back
    // to its old ones.
    QList<JournalRow> journalRows() const
    {
        QList<JournalRow> rows;
        for (const Restore &restore : m_plan)
            for (int i = 0; i < restore.rows; ++i)
                rows.append(
                    {restore.row.rowid, restore.row.key, restore.row.newValues, restore.row.oldValues, qint64(rows.size()) + 1});
        return rows;
    }

    // Writes the old values back. A write that does not reach exactly the rows found a moment
    // ago means another program got in between: the whole undo is then rolled back. Where
    // triggers write the table the engine's count of changed rows says nothing; the rows found
    // are then read again, and must no longer hold what the repair wrote.
    void restore()
    {
        QStringList assignments;
        for (const QString &column : m_repair.changedColumns)
            assignments << db::quotedName(column) + QStringLiteral("=?");
        const QString update = QStringLiteral("update ") + db::quotedName(m_repair.table) + QStringLiteral(" set ")
                               + assignments.join(QLatin1Char(',')) + QStringLiteral(" where ");
        for (const Restore &restore : std::as_const(m_plan)) {
            const int written = m_connection->execute(update + restore.where.sql, restore.row.oldValues + restore.where.bound);
            if (m_countsUnreliable) {
                if (!sameValues(restore.row.oldValues, restore.row.newValues) && stillFound(restore.where) > 0)
                    throw db::DbError(QStringLiteral("数据库没有执行撤销的更新（可能被触发器忽略），撤销没有做任何改动。"));
            } else if (written >= 0 && written != restore.rows) {
                // a server that reports no row count (NOCOUNT on) is taken at its word
                throw db::DbError(QStringLiteral("撤销过程中记录被其他程序改动，撤销没有做任何改动，请重试。"));
            }
            m_run.rowsChanged += restore.rows;
        }
    }

private:
    void plan(const JournalRow &row, const QVariant &rowidNow, int rows)
    {
        JournalRow at = row;
        at.rowid = rowidNow;
        m_plan.append({at, m_lookup.stillWritten(row, rowidNow), rows});
    }

    // The repair made later that also wrote the row, where this one's end was never recorded, or
    // empty. The value there may then be that repair's: the row is listed instead of put back.
    QString laterRepair(const JournalRow &row) const
    {
        return m_writtenLater.isEmpty() ? QString() : m_writtenLater.value(RowLookup::accountOf(m_repair, row));
    }

    void leaveAloneAsWrittenLater(const JournalRow &row, const QVariantList &now, const QString &later)
    {
        m_run.leftAlone.append({row, now, LeftAloneReason::WrittenLater, false, {}, later});
    }

    qint64 stillFound(const RowLookup::Condition &where)
    {
        m_count.open(QStringLiteral("select count(*) from ") + db::quotedName(m_repair.table) + QStringLiteral(" where ")
                         + where.sql,
                     m_connection, db::CursorType::Static, db::LockType::ReadOnly, where.bound);
        const qint64 rows = m_count.eof() ? 0 : m_count.field(0).toLongLong();
        m_count.close();
        return rows;
    }

    // Lists a journaled row undo does not touch.
    void leaveAlone(const JournalRow &row, const QVariantList &now, LeftAloneReason reason, bool byRowid,
                    const QStringList &alteredColumns = {})
    {
        m_run.leftAlone.append({row, now, reason, byRowid, alteredColumns, QString()});
    }

    std::shared_ptr<db::Connection> m_connection;
    const RepairRecord &m_repair;
    UndoRun &m_run;
    RowLookup m_lookup;
    QHash<QString, QString> m_writtenLater;  // when the repair's end is unknown (writtenLater())
    bool m_countsUnreliable;
    db::Recordset m_count;
    QList<Restore> m_plan;
};

// Plans the restore of every row the repair wrote, a page of the journal at a time, and counts in
// `run` the rows it journaled and those that need nothing.
void planRestores(const QString &directory, const RepairRecord &repair, Restorer &restorer, UndoRun &run)
{
    QStringList keys;  // of the groups found by key, in the order first met
    QHash<QString, QList<JournalRow>> groups;
    for (qint64 offset = 0;; offset += PageRows) {
        const QList<JournalRow> page = readRows(directory, repair.id, offset, PageRows);
        run.journaled += page.size();
        for (const JournalRow &row : page) {
            if (!wasWritten(repair, row)) {
                ++run.notWritten;  // beyond where the walk stopped: it never wrote the row
                continue;
            }
            if (identicalValues(row.oldValues, row.newValues)) {
                ++run.alreadyOld;  // journaled by an earlier version of the tool, which listed unchanged rows too
                continue;
            }
            if (!repair.rowidName.isEmpty() && !row.rowid.isNull()) {
                restorer.planByRowid(row);
                continue;
            }
            const QString key = keyText(row.key);
            if (!groups.contains(key))
                keys << key;
            groups[key] << row;
        }
        if (page.size() < PageRows)
            break;
    }
    for (const QString &key : std::as_const(keys))
        restorer.planByKey(groups.value(key));
}

// The undo's own journal: the rows it restores, each with the value it holds now and the value
// it gets back.
std::unique_ptr<Journal> writeJournal(const RepairRecord &repair, const QList<JournalRow> &rows)
{
    RepairRecord record = newRepairRecord(RepairKind::Undo, repair.database, repair.accountSet, repair.year, repair.table);
    record.undoes = repair.id;
    record.rowidName = repair.rowidName;
    record.changedColumns = repair.changedColumns;
    record.keyColumns = repair.keyColumns;
    auto journal = std::make_unique<Journal>(journalDirectory(), record);
    for (const JournalRow &row : rows)
        journal->addRow(row);
    journal->flush();
    return journal;
}

}  // namespace

UndoRefusal undoRefusal(const RepairRecord &record)
{
    if (record.running)
        return UndoRefusal::Running;
    if (!record.undoneBy.isEmpty())
        return UndoRefusal::AlreadyUndone;
    if (record.outcome == Outcome::RolledBack)
        return UndoRefusal::RolledBack;
    if ((record.outcome == Outcome::Stopped || record.outcome == Outcome::Failed) && record.rowsDone == 0)
        return UndoRefusal::NothingWritten;
    if (record.engine != ODBC::engineName())
        return RepairPlace::madeOverOdbc(record.engine) ? UndoRefusal::MadeOverOdbc : UndoRefusal::MadeEmbedded;
    return UndoRefusal::None;
}

UndoRun undoRepair(const QString &id)
{
    UndoRun run;
    run.undoes = id;
    std::shared_ptr<db::Connection> connection;
    std::unique_ptr<Journal> journal;
    JournalLock undoing;  // held until the undo's outcome is recorded
    try {
        const QString directory = journalDirectory();
        run.repair = readRepair(directory, id);  // raises when there is no such journal
        if (!undoing.holdUndoOf(journalformat::journalPath(directory, id)))
            throw db::DbError(QStringLiteral("修复 %1 正由另一个撤销处理，不能同时撤销。请等它结束后再看是否还需要撤销。").arg(id));
        // Read once the lock is held: an undo that ended a moment ago is listed by now. From the
        // journals themselves: what an undo decides rests on nothing but them.
        const QList<RepairRecord> repairs = listRepairs(directory, HeaderSource::Journals);
        for (const RepairRecord &record : repairs)
            if (record.id == id)
                run.repair = record;  // with the undo that undid it, if any
        const RepairRecord &repair = run.repair;
        if (const UndoRefusal refusal = undoRefusal(repair); refusal != UndoRefusal::None) {
            run.undoneBy = repair.undoneBy;
            throw db::DbError(RepairText::whyNotUndoable(repair, refusal));
        }
        checkJournal(directory, id);  // a journal changed since it was written is not followed
        connection = ODBC::openConnection(repair.database, false);
        connection->beginTransaction();
        const db::TableTriggers triggers = db::tableTriggers(connection, repair.table);
        Restorer restorer(connection, repair, run,
                          repair.outcome == Outcome::Unrecorded ? writtenLater(directory, repairs, repair)
                                                                : QHash<QString, QString>(),
                          triggers.any());
        planRestores(directory, repair, restorer, run);
        journal = writeJournal(repair, restorer.journalRows());
        run.journal = journal->record().id;
        restorer.restore();
        connection->commit();
        run.triggerNotice = run.rowsChanged > 0 ? triggerNotice(repair.table, triggers) : QString();
    } catch (const db::DbError &error) {
        if (connection)
            connection->rollback();
        run.result = RunResult::Failed;
        run.failure = error.description();
        run.journaled = run.rowsChanged = 0;
        run.alreadyOld = run.notWritten = 0;
        run.leftAlone.clear();
        run.triggerNotice.clear();
        if (journal)
            run.unrecorded = journal->finish(Outcome::RolledBack, 0, 0, run.failure);
        return run;
    }
    run.result = RunResult::Completed;
    run.unrecorded = journal->finish(Outcome::Completed, run.rowsChanged, run.rowsChanged);
    return run;
}

}  // namespace repair
