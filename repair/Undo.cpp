#include "Undo.h"

#include "EndFlagPlan.h"
#include "Journal.h"
#include "JournalReader.h"

#include "db/Connection.h"
#include "db/DbError.h"
#include "db/ODBC.h"
#include "db/QuotedName.h"
#include "db/Recordset.h"

#include <QHash>

namespace repair {

namespace {

const int PageRows = 1000;  // journal rows read at a time

// Whether two journaled values are the same value: numbers by value, everything else exactly;
// NULL only equals NULL. Used to tell journaled copies of one row apart, never to judge what a
// database holds: the engine itself does that.
bool sameValue(const QVariant &a, const QVariant &b)
{
    if (a.isNull() || b.isNull())
        return a.isNull() && b.isNull();
    const auto isNumber = [](const QVariant &v) {
        const int type = v.typeId();
        return type == QMetaType::Int || type == QMetaType::LongLong || type == QMetaType::Double
            || type == QMetaType::Short || type == QMetaType::Bool || type == QMetaType::UInt;
    };
    if (isNumber(a) && isNumber(b))
        return a.toDouble() == b.toDouble();
    return a.typeId() == b.typeId() && a == b;
}

// The form a value is stored in: whole numbers of any width are one form, reals another, every
// other type its own.
int formOf(const QVariant &value)
{
    return isWholeNumber(value) ? QMetaType::LongLong : value.typeId();
}

// Whether two values are identical: the same value in the same form (1 and 1.0 are not), NULL
// only NULL. A row whose old and new values are identical was not changed by its repair.
bool identicalValue(const QVariant &a, const QVariant &b)
{
    if (a.isNull() || b.isNull())
        return a.isNull() && b.isNull();
    if (formOf(a) != formOf(b))
        return false;
    return formOf(a) == QMetaType::LongLong ? a.toLongLong() == b.toLongLong() : a == b;
}

// Whether the values of one list are each the same as those of the other, by `same`.
bool allSame(const QVariantList &a, const QVariantList &b, bool (*same)(const QVariant &, const QVariant &))
{
    if (a.size() != b.size())
        return false;
    for (int i = 0; i < a.size(); ++i)
        if (!same(a.at(i), b.at(i)))
            return false;
    return true;
}

bool sameValues(const QVariantList &a, const QVariantList &b)
{
    return allSame(a, b, sameValue);
}

bool identicalValues(const QVariantList &a, const QVariantList &b)
{
    return allSame(a, b, identicalValue);
}

// Whether a row holding `now` holds the old values the repair replaced. Where old and new values
// are equal by value (1.0 written over as 1) the engine can't tell them apart, so only the old
// values in their own form count.
bool holdsOldValues(const JournalRow &row, bool holdsOldByValue, const QVariantList &now)
{
    return sameValues(row.oldValues, row.newValues) ? identicalValues(now, row.oldValues) : holdsOldByValue;
}

// A key as text that tells values of different types apart, to group rows by it.
QString keyText(const QVariantList &key)
{
    QString text;
    for (const QVariant &value : key)
        text += value.isNull() ? QStringLiteral("N;")
                               : QStringLiteral("%1:%2:%3;").arg(value.typeId()).arg(value.toString().size()).arg(value.toString());
    return text;
}

// "column=?" with the value appended to `bound`, or "column is null", all joined by "and". On
// SQLite bytes are compared with the column's bytes: a journal keeps a text that is not valid
// UTF-8 as its bytes.
QString allEqual(db::SqlDialect dialect, const QStringList &columns, const QVariantList &values, QVariantList &bound)
{
    QStringList parts;
    for (int i = 0; i < columns.size(); ++i) {
        const QString column = db::quotedName(columns.at(i));
        if (values.value(i).isNull()) {
            parts << column + QStringLiteral(" is null");
        } else {
            const bool bytes = dialect == db::SqlDialect::Sqlite && values.value(i).typeId() == QMetaType::QByteArray;
            parts << (bytes ? QStringLiteral("cast(%1 as blob)=?").arg(column) : column + QStringLiteral("=?"));
            bound << values.value(i);
        }
    }
    return parts.isEmpty() ? QStringLiteral("1=1") : parts.join(QStringLiteral(" and "));
}

// 1 when the condition holds for a row, else 0, in a select list of either dialect.
QString holds(const QString &condition)
{
    return QStringLiteral("case when ") + condition + QStringLiteral(" then 1 else 0 end");
}

// One write undo will make: the rows that `where` finds get their old values back.
struct Restore {
    JournalRow row;  // as the undone repair journaled it
    QString where;   // finds the row(s) still holding what the repair wrote
    QVariantList bound;
    int rows = 1;    // rows it must reach
};

// Works out, inside the undo's transaction, which journaled rows can be put back, and puts them
// back once the undo's journal holds them.
class Restorer {
public:
    Restorer(std::shared_ptr<db::Connection> connection, const RepairRecord &repair, UndoRun &run)
        : m_connection(std::move(connection)), m_repair(repair), m_run(run)
    {
    }

    // A row with a rowid: the row of that rowid, if it still has the journaled key values.
    void planByRowid(const JournalRow &row)
    {
        QVariantList keyBound, newBound, oldBound;
        const QString sameKey = allEqual(m_connection->dialect(), m_repair.keyColumns, row.key, keyBound);
        const QString holdsNew = allEqual(m_connection->dialect(), m_repair.changedColumns, row.newValues, newBound);
        const QString holdsOld = allEqual(m_connection->dialect(), m_repair.changedColumns, row.oldValues, oldBound);
        const QString rowid = db::quotedName(m_repair.rowidName) + QStringLiteral("=?");
        m_now.open(QStringLiteral("select %1,%2,%3,%4 from %5 where %6")
                       .arg(db::quotedNames(m_repair.changedColumns), holds(sameKey), holds(holdsNew),
                            holds(holdsOld), db::quotedName(m_repair.table), rowid),
                   m_connection, db::CursorType::Keyset, db::LockType::ReadOnly,
                   keyBound + newBound + oldBound + QVariantList{row.rowid});
        const int changed = int(m_repair.changedColumns.size());
        const bool isSameRow = !m_now.eof() && m_now.field(changed).toInt() == 1;
        if (!isSameRow) {
            m_now.close();
            planByKeyValues(row);
            return;
        }
        const QVariantList now = currentValues();
        const bool hasNew = m_now.field(changed + 1).toInt() == 1;
        const bool hasOld = holdsOldValues(row, m_now.field(changed + 2).toInt() == 1, now);
        m_now.close();
        if (hasOld)
            return;  // never written, or put back already
        else if (hasNew)
            m_plan.append({row, QStringList{rowid, sameKey, holdsNew}.join(QStringLiteral(" and ")),
                           QVariantList{row.rowid} + keyBound + newBound, 1});
        else
            leaveAlone(row, now, QStringLiteral("changed"), QStringLiteral("修复之后已被改动"));
    }

    // A row its rowid no longer finds (VACUUM renumbered the rows, a deleted row's rowid went to
    // another): found by everything the journal knows it held, and put back only when exactly one
    // row holds all of it.
    void planByKeyValues(const JournalRow &row)
    {
        QVariantList keyBound, newBound, oldBound;
        const QString sameKey = allEqual(m_connection->dialect(), m_repair.keyColumns, row.key, keyBound);
        const QString holdsNew = allEqual(m_connection->dialect(), m_repair.changedColumns, row.newValues, newBound);
        const QString holdsOld = allEqual(m_connection->dialect(), m_repair.changedColumns, row.oldValues, oldBound);
        const QString rowid = db::quotedName(m_repair.rowidName);
        m_now.open(QStringLiteral("select %1,%2,%3,%4 from %5 where %6")
                       .arg(db::quotedNames(m_repair.changedColumns), holds(holdsNew), holds(holdsOld), rowid,
                            db::quotedName(m_repair.table), sameKey),
                   m_connection, db::CursorType::Static, db::LockType::ReadOnly, newBound + oldBound + keyBound);
        const int changed = int(m_repair.changedColumns.size());
        int found = 0;
        QVariantList now;
        bool hasNew = false, hasOld = false;
        QVariant rowidNow;
        for (; !m_now.eof() && found < 2; m_now.moveNext(), ++found) {
            now = currentValues();
            hasNew = m_now.field(changed).toInt() == 1;
            hasOld = holdsOldValues(row, m_now.field(changed + 1).toInt() == 1, now);
            rowidNow = m_now.field(changed + 2);
        }
        m_now.close();
        if (found == 0) {
            leaveAlone(row, {}, QStringLiteral("gone"), QStringLiteral("按行号和原有内容都找不到这条记录"));
        } else if (found > 1) {
            leaveAlone(row, {}, QStringLiteral("ambiguous"),
                       QStringLiteral("按行号找不到这条记录，按原有内容找到多条相同的记录，无法分辨"));
        } else if (hasOld) {
            return;  // never written, or put back already
        } else if (hasNew) {
            JournalRow moved = row;
            moved.rowid = rowidNow;
            m_plan.append({moved, QStringList{rowid + QStringLiteral("=?"), sameKey, holdsNew}.join(QStringLiteral(" and ")),
                           QVariantList{rowidNow} + keyBound + newBound, 1});
        } else {
            leaveAlone(row, now, QStringLiteral("changed"), QStringLiteral("修复之后已被改动"));
        }
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
                    leaveAlone(left, {}, QStringLiteral("ambiguous"), QStringLiteral("有多条相同的记录，原值各不相同，无法分辨"));
                return;
            }
        }
        QVariantList keyBound, newBound, oldBound;
        const QString sameKey = allEqual(m_connection->dialect(), m_repair.keyColumns, first.key, keyBound);
        const QString holdsNew = allEqual(m_connection->dialect(), m_repair.changedColumns, first.newValues, newBound);
        const QString holdsOld = allEqual(m_connection->dialect(), m_repair.changedColumns, first.oldValues, oldBound);
        m_now.open(QStringLiteral("select %1,%2,%3 from %4 where %5")
                       .arg(db::quotedNames(m_repair.changedColumns), holds(holdsNew), holds(holdsOld),
                            db::quotedName(m_repair.table), sameKey),
                   m_connection, db::CursorType::Static, db::LockType::ReadOnly, newBound + oldBound + keyBound);
        const int changed = int(m_repair.changedColumns.size());
        int found = 0, toRestore = 0;
        QList<QVariantList> changedSince;
        for (; !m_now.eof(); m_now.moveNext(), ++found) {
            if (holdsOldValues(first, m_now.field(changed + 1).toInt() == 1, currentValues()))
                continue;
            if (m_now.field(changed).toInt() == 1)
                ++toRestore;
            else
                changedSince << currentValues();
        }
        m_now.close();
        if (found == 0) {
            for (const JournalRow &gone : group)
                leaveAlone(gone, {}, QStringLiteral("gone"), QStringLiteral("记录已不存在"));
            return;
        }
        if (toRestore > group.size()) {
            // more rows hold the repair's value than it changed: rows it left as they were look
            // the same, and which is which can't be told
            for (const JournalRow &left : group)
                leaveAlone(left, {}, QStringLiteral("ambiguous"), QStringLiteral("有多条相同的记录，原值各不相同，无法分辨"));
            return;
        }
        for (const QVariantList &now : std::as_const(changedSince))
            leaveAlone(first, now, QStringLiteral("changed"), QStringLiteral("修复之后已被改动"));
        if (toRestore > 0)
            m_plan.append({first, sameKey + QStringLiteral(" and ") + holdsNew, keyBound + newBound, toRestore});
    }

    // The rows to restore, each row as the undo changes it: from the repair's new values back
    // to its old ones.
    QList<JournalRow> journalRows() const
    {
        QList<JournalRow> rows;
        for (const Restore &restore : m_plan)
            for (int i = 0; i < restore.rows; ++i)
                rows.append({restore.row.rowid, restore.row.key, restore.row.newValues, restore.row.oldValues});
        return rows;
    }

    // Writes the old values back. A write that does not reach exactly the rows found a moment
    // ago means another program got in between: the whole undo is then rolled back.
    void restore()
    {
        QStringList assignments;
        for (const QString &column : m_repair.changedColumns)
            assignments << db::quotedName(column) + QStringLiteral("=?");
        for (const Restore &restore : std::as_const(m_plan)) {
            const int written = m_connection->execute(QStringLiteral("update ") + db::quotedName(m_repair.table) + QStringLiteral(" set ")
                                                          + assignments.join(QLatin1Char(',')) + QStringLiteral(" where ")
                                                          + restore.where,
                                                      restore.row.oldValues + restore.bound);
            // a server that reports no row count (NOCOUNT on) is taken at its word
            if (written >= 0 && written != restore.rows)
                throw db::DbError(QStringLiteral("撤销过程中记录被其他程序改动，撤销没有做任何改动，请重试。"));
            m_run.restored += restore.rows;
        }
    }

private:
    // The changed columns of the row m_now stands on.
    QVariantList currentValues() const
    {
        QVariantList values;
        for (int c = 0; c < m_repair.changedColumns.size(); ++c)
            values << m_now.field(c);
        return values;
    }

    // Lists a journaled row undo does not touch.
    void leaveAlone(const JournalRow &row, const QVariantList &now, const QString &kind, const QString &reason)
    {
        m_run.leftAlone.append({row, now, kind, reason});
    }

    std::shared_ptr<db::Connection> m_connection;
    const RepairRecord &m_repair;
    UndoRun &m_run;
    db::Recordset m_now;  // reused for every row: its statements stay prepared
    QList<Restore> m_plan;
};

// Plans the restore of every row the repair journaled, a page of the journal at a time.
void planRestores(const QString &directory, const RepairRecord &repair, Restorer &restorer)
{
    QStringList keys;  // of the groups found by key, in the order first met
    QHash<QString, QList<JournalRow>> groups;
    for (qint64 offset = 0;; offset += PageRows) {
        const QList<JournalRow> page = readRows(directory, repair.id, offset, PageRows);
        for (const JournalRow &row : page) {
            if (identicalValues(row.oldValues, row.newValues))
                continue;  // journaled by an earlier version of the tool, which listed unchanged rows too
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
    RepairRecord record;
    record.database = repair.database;
    record.engine = repair.engine;
    record.repair = QStringLiteral("undo");
    record.accountSet = repair.accountSet;
    record.year = repair.year;
    record.undoes = repair.id;
    record.table = repair.table;
    record.rowidName = repair.rowidName;
    record.changedColumns = repair.changedColumns;
    record.keyColumns = repair.keyColumns;
    auto journal = std::make_unique<Journal>(journalDirectory(), record);
    for (const JournalRow &row : rows)
        journal->addRow(row);
    journal->flush();
    return journal;
}

// Raises the reason a repair can't be undone now: it is still running (its rows are still being
// written), or a completed undo has already put its rows back.
void refuseUnlessUndoable(const QString &directory, UndoRun &run)
{
    if (run.repair.running)
        throw db::DbError(QStringLiteral("修复 %1 仍在进行中，不能撤销。请等它结束后再撤销。").arg(run.repair.id));
    for (const RepairRecord &record : listRepairs(directory)) {
        if (record.id == run.repair.id && !record.undoneBy.isEmpty()) {
            run.undoneBy = record.undoneBy;
            throw db::DbError(QStringLiteral("修复 %1 已由 %2 撤销过，不再重复撤销。").arg(run.repair.id, record.undoneBy));
        }
    }
}

} // namespace

UndoRun undoRepair(const QString &id)
{
    UndoRun run;
    run.undoes = id;
    std::shared_ptr<db::Connection> connection;
    std::unique_ptr<Journal> journal;
    try {
        const QString directory = journalDirectory();
        run.repair = readRepair(directory, id);
        const RepairRecord &repair = run.repair;
        refuseUnlessUndoable(directory, run);
        if (repair.engine != ODBC::engineName())
            throw db::DbError(repair.engine == QLatin1String("odbc")
                                  ? QStringLiteral("这次修复是通过 ODBC 连接数据库做的，撤销时也要加 --odbc。")
                                  : QStringLiteral("这次修复是在内置数据库上做的，撤销时不能加 --odbc。"));
        connection = ODBC::openConnection(repair.database, false);
        connection->beginTransaction();
        Restorer restorer(connection, repair, run);
        planRestores(directory, repair, restorer);
        journal = writeJournal(repair, restorer.journalRows());
        run.journal = journal->record().id;
        restorer.restore();
        connection->commit();
    } catch (const db::DbError &error) {
        if (connection)
            connection->rollback();
        run.failure = error.description();
        run.restored = 0;
        run.leftAlone.clear();
        if (journal)
            journal->finish(QStringLiteral("failed"), 0, 0, run.failure);  // unrecorded: the undo never ended
        return run;
    }
    run.unrecorded = journal->finish(QStringLiteral("completed"), run.restored, run.restored);
    return run;
}

} // namespace repair
