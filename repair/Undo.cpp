#include "Undo.h"

#include "JournalReader.h"

#include "db/Connection.h"
#include "db/DbError.h"
#include "db/ODBC.h"
#include "db/Recordset.h"

#include <QHash>

#include <climits>

namespace repair {

namespace {

// Whether two values are the same as the engine's "=" sees them: numbers by value, everything
// else exactly; NULL only equals NULL.
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
        return a.typeId() == QMetaType::Double || b.typeId() == QMetaType::Double ? a.toDouble() == b.toDouble()
                                                                                  : a.toLongLong() == b.toLongLong();
    return a.typeId() == b.typeId() && a == b;
}

bool sameValues(const QVariantList &a, const QVariantList &b)
{
    if (a.size() != b.size())
        return false;
    for (int i = 0; i < a.size(); ++i)
        if (!sameValue(a.at(i), b.at(i)))
            return false;
    return true;
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

// "column=?" with the value bound, or "column is null".
QStringList conditions(const QStringList &columns, const QVariantList &values, QVariantList &bound)
{
    QStringList parts;
    for (int i = 0; i < columns.size(); ++i) {
        if (values.value(i).isNull()) {
            parts << columns.at(i) + QStringLiteral(" is null");
        } else {
            parts << columns.at(i) + QStringLiteral("=?");
            bound << values.value(i);
        }
    }
    return parts;
}

// Puts rows back within one transaction on `connection`.
class Restorer {
public:
    Restorer(std::shared_ptr<db::Connection> connection, const RepairRecord &repair, UndoRun &run)
        : m_connection(std::move(connection)), m_repair(repair), m_run(run)
    {
    }

    // Rows with a rowid: each on its own.
    void restoreByRowid(const JournalRow &row)
    {
        QVariantList bound{row.rowid};
        const QStringList where{m_repair.rowidName + QStringLiteral("=?")};
        restoreMatching({row}, where, bound);
    }

    // Rows found by their key values: every journaled row sharing a key, changed or not, is one
    // group, put back together; a group whose rows had different values can't be matched to its
    // rows and stays as it is, its changed rows listed.
    void restoreByKey(const QList<JournalRow> &group)
    {
        QList<JournalRow> changed;
        for (const JournalRow &row : group)
            if (!sameValues(row.oldValues, row.newValues))
                changed << row;
        if (changed.isEmpty())
            return;
        for (const JournalRow &row : group) {
            if (!sameValues(row.oldValues, group.first().oldValues) || !sameValues(row.newValues, group.first().newValues)) {
                for (const JournalRow &left : changed)
                    m_run.leftAlone.append({left, {}, QStringLiteral("有多条相同的记录，原值各不相同，无法分辨")});
                return;
            }
        }
        QVariantList bound;
        const QStringList where = conditions(m_repair.keyColumns, group.first().key, bound);
        restoreMatching(group, where, bound);
    }

private:
    void restoreMatching(const QList<JournalRow> &group, const QStringList &where, const QVariantList &bound)
    {
        const JournalRow &row = group.first();
        db::Recordset now;
        now.open(QStringLiteral("select ") + m_repair.changedColumns.join(QLatin1Char(',')) + QStringLiteral(" from ")
                     + m_repair.table + QStringLiteral(" where ") + where.join(QStringLiteral(" and ")),
                 m_connection, db::CursorType::Static, db::LockType::ReadOnly, bound);
        if (now.eof()) {
            for (const JournalRow &gone : group)
                if (!sameValues(gone.oldValues, gone.newValues))
                    m_run.leftAlone.append({gone, {}, QStringLiteral("记录已不存在")});
            return;
        }
        int toRestore = 0;
        for (; !now.eof(); now.moveNext()) {
            QVariantList values;
            for (int c = 0; c < m_repair.changedColumns.size(); ++c)
                values << now.field(c);
            if (sameValues(values, row.newValues))
                ++toRestore;
            else if (!sameValues(values, row.oldValues))
                m_run.leftAlone.append({row, values, QStringLiteral("修复之后已被改动")});
        }
        now.close();
        if (toRestore == 0)
            return;
        QVariantList values = row.oldValues;
        QStringList assignments;
        for (const QString &column : m_repair.changedColumns)
            assignments << column + QStringLiteral("=?");
        QStringList guard = where;
        values << bound;
        guard << conditions(m_repair.changedColumns, row.newValues, values);
        m_connection->execute(QStringLiteral("update ") + m_repair.table + QStringLiteral(" set ")
                                  + assignments.join(QLatin1Char(',')) + QStringLiteral(" where ")
                                  + guard.join(QStringLiteral(" and ")),
                              values);
        m_run.restored += toRestore;
    }

    std::shared_ptr<db::Connection> m_connection;
    const RepairRecord &m_repair;
    UndoRun &m_run;
};

// The undo's own journal: the repair's rows, each with the value it now should hold and the value
// it gets back. Rows the repair left as they were come too: found by key, they tell copies apart
// when this undo is undone.
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
        journal->addRow({row.rowid, row.key, row.newValues, row.oldValues});
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
        const QList<JournalRow> rows = readRows(directory, id, 0, int(qMin<qint64>(countRows(directory, id), INT_MAX)));
        connection = ODBC::openConnection(repair.database, false);
        journal = writeJournal(repair, rows);
        run.journal = journal->record().id;

        connection->beginTransaction();
        Restorer restorer(connection, repair, run);
        QStringList keys;  // of the groups, in the order first met
        QHash<QString, QList<JournalRow>> groups;
        for (const JournalRow &row : rows) {
            if (!repair.rowidName.isEmpty() && !row.rowid.isNull()) {
                if (!sameValues(row.oldValues, row.newValues))
                    restorer.restoreByRowid(row);
                continue;
            }
            const QString key = keyText(row.key);
            if (!groups.contains(key))
                keys << key;
            groups[key] << row;
        }
        for (const QString &key : std::as_const(keys))
            restorer.restoreByKey(groups.value(key));
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
    const QString unrecorded = journal->finish(QStringLiteral("completed"), run.restored, run.restored);
    if (!unrecorded.isEmpty())
        run.failure = QStringLiteral("已撤销，但修复日志未能记下结果：") + unrecorded;
    return run;
}

} // namespace repair
