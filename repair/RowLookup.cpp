#include "RowLookup.h"

#include "JournaledValues.h"

#include "db/Connection.h"
#include "db/QuotedName.h"

namespace repair {

namespace {

// The journaled values of `columns` held: on SQLite a text that is not valid UTF-8 is kept as
// its bytes and compared with the column's.
RowLookup::Condition allEqual(db::SqlDialect dialect, const QStringList &columns, const QVariantList &values)
{
    return db::allEqual(columns, values, dialect == db::SqlDialect::Sqlite);
}

// 1 when the condition holds for a row, else 0, in a select list of either dialect.
QString holds(const RowLookup::Condition &condition)
{
    return QStringLiteral("case when ") + condition.sql + QStringLiteral(" then 1 else 0 end");
}

// Whether a row holding `now` holds the old values the repair replaced. Where old and new values
// are equal by value (1.0 written over as 1) the engine can't tell them apart, so only the old
// values in their own form count.
bool holdsOldValues(const JournalRow &row, bool holdsOldByValue, const QVariantList &now)
{
    return sameValues(row.oldValues, row.newValues) ? identicalValues(now, row.oldValues) : holdsOldByValue;
}

// The key columns that say which account, and which period, a row is for.
bool namesTheAccount(const QString &column)
{
    return column.compare(QLatin1String("ccode"), Qt::CaseInsensitive) == 0
           || column.compare(QLatin1String("iperiod"), Qt::CaseInsensitive) == 0;
}

}  // namespace

RowLookup::RowLookup(std::shared_ptr<db::Connection> connection, const RepairRecord &repair)
    : m_connection(std::move(connection)), m_repair(repair)
{
}

RowLookup::~RowLookup() = default;

RowLookup::Condition RowLookup::sameKey(const JournalRow &row) const
{
    return allEqual(m_connection->dialect(), m_repair.keyColumns, row.key);
}

RowLookup::Condition RowLookup::stillWritten(const JournalRow &row, const QVariant &rowid) const
{
    const Condition key = sameKey(row);
    const Condition written = allEqual(m_connection->dialect(), m_repair.changedColumns, row.newValues);
    if (rowid.isNull())
        return {key.sql + QStringLiteral(" and ") + written.sql, key.bound + written.bound};
    return {
        QStringList{db::quotedName(m_repair.rowidName) + QStringLiteral("=?"), key.sql, written.sql}.join(QStringLiteral(" and ")),
        QVariantList{rowid} + key.bound + written.bound};
}

QVariantList RowLookup::currentValues() const
{
    QVariantList values;
    for (int c = 0; c < m_repair.changedColumns.size(); ++c)
        values << m_now.field(c);
    return values;
}

RowLookup::Result RowLookup::byRowid(const JournalRow &row)
{
    const Condition key = sameKey(row);
    const Condition written = allEqual(m_connection->dialect(), m_repair.changedColumns, row.newValues);
    const Condition old = allEqual(m_connection->dialect(), m_repair.changedColumns, row.oldValues);
    m_now.open(QStringLiteral("select %1,%2,%3,%4 from %5 where %6=?")
                   .arg(db::quotedNames(m_repair.changedColumns), holds(key), holds(written), holds(old),
                        db::quotedName(m_repair.table), db::quotedName(m_repair.rowidName)),
               m_connection, db::CursorType::Keyset, db::LockType::ReadOnly,
               key.bound + written.bound + old.bound + QVariantList{row.rowid});
    const int changed = int(m_repair.changedColumns.size());
    const bool rowThere = !m_now.eof();
    if (rowThere && m_now.field(changed).toInt() == 1) {
        Found found{row.rowid, currentValues(), m_now.field(changed + 1).toInt() == 1, false};
        found.holdsOld = holdsOldValues(row, m_now.field(changed + 2).toInt() == 1, found.now);
        m_now.close();
        return {Where::Same, {found}, {}};
    }
    m_now.close();
    // VACUUM renumbered the rows, or a deleted row's rowid went to another
    const Result elsewhere = byAllItHeld(row);
    return elsewhere.where == Where::Gone && rowThere ? altered(row) : elsewhere;
}

// A row its rowid no longer finds: looked for by everything the journal knows it held.
RowLookup::Result RowLookup::byAllItHeld(const JournalRow &row)
{
    const Condition key = sameKey(row);
    const Condition written = allEqual(m_connection->dialect(), m_repair.changedColumns, row.newValues);
    const Condition old = allEqual(m_connection->dialect(), m_repair.changedColumns, row.oldValues);
    m_now.open(QStringLiteral("select %1,%2,%3,%4 from %5 where %6")
                   .arg(db::quotedNames(m_repair.changedColumns), holds(written), holds(old), db::quotedName(m_repair.rowidName),
                        db::quotedName(m_repair.table), key.sql),
               m_connection, db::CursorType::Static, db::LockType::ReadOnly, written.bound + old.bound + key.bound);
    const int changed = int(m_repair.changedColumns.size());
    Result result;
    for (; !m_now.eof() && result.rows.size() < 2; m_now.moveNext()) {
        Found found{m_now.field(changed + 2), currentValues(), m_now.field(changed).toInt() == 1, false};
        found.holdsOld = holdsOldValues(row, m_now.field(changed + 1).toInt() == 1, found.now);
        result.rows << found;
    }
    m_now.close();
    result.where = result.rows.isEmpty() ? Where::Gone : result.rows.size() == 1 ? Where::Moved : Where::Ambiguous;
    return result;
}

// The row at the rowid of a row no row holds all of any more: still that row when it is for the
// same account and period, with other columns changed since; else the row is gone.
RowLookup::Result RowLookup::altered(const JournalRow &row)
{
    QStringList equal;
    QVariantList bound;
    bool namesAccount = false;
    for (int k = 0; k < m_repair.keyColumns.size(); ++k) {
        const Condition same = allEqual(m_connection->dialect(), {m_repair.keyColumns.at(k)}, {row.key.value(k)});
        equal << holds(same);
        bound += same.bound;
        namesAccount = namesAccount || namesTheAccount(m_repair.keyColumns.at(k));
    }
    if (!namesAccount)
        return {};
    const Condition written = allEqual(m_connection->dialect(), m_repair.changedColumns, row.newValues);
    const Condition old = allEqual(m_connection->dialect(), m_repair.changedColumns, row.oldValues);
    m_now.open(QStringLiteral("select %1,%2,%3,%4 from %5 where %6=?")
                   .arg(db::quotedNames(m_repair.changedColumns), holds(written), holds(old), equal.join(QLatin1Char(',')),
                        db::quotedName(m_repair.table), db::quotedName(m_repair.rowidName)),
               m_connection, db::CursorType::Keyset, db::LockType::ReadOnly,
               written.bound + old.bound + bound + QVariantList{row.rowid});
    Result result;
    if (m_now.eof()) {
        m_now.close();
        return result;
    }
    const int changed = int(m_repair.changedColumns.size());
    Found found{row.rowid, currentValues(), m_now.field(changed).toInt() == 1, false};
    found.holdsOld = holdsOldValues(row, m_now.field(changed + 1).toInt() == 1, found.now);
    bool sameAccount = true;
    for (int k = 0; k < m_repair.keyColumns.size(); ++k) {
        if (m_now.field(changed + 2 + k).toInt() == 1)
            continue;
        if (namesTheAccount(m_repair.keyColumns.at(k)))
            sameAccount = false;
        result.alteredColumns << m_repair.keyColumns.at(k);
    }
    m_now.close();
    if (!sameAccount)
        return {};
    result.where = Where::Altered;
    result.rows << found;
    return result;
}

QList<RowLookup::Found> RowLookup::byKey(const JournalRow &row)
{
    const Condition key = sameKey(row);
    const Condition written = allEqual(m_connection->dialect(), m_repair.changedColumns, row.newValues);
    const Condition old = allEqual(m_connection->dialect(), m_repair.changedColumns, row.oldValues);
    m_now.open(
        QStringLiteral("select %1,%2,%3 from %4 where %5")
            .arg(db::quotedNames(m_repair.changedColumns), holds(written), holds(old), db::quotedName(m_repair.table), key.sql),
        m_connection, db::CursorType::Static, db::LockType::ReadOnly, written.bound + old.bound + key.bound);
    const int changed = int(m_repair.changedColumns.size());
    QList<Found> rows;
    for (; !m_now.eof(); m_now.moveNext()) {
        Found found{QVariant(), currentValues(), m_now.field(changed).toInt() == 1, false};
        found.holdsOld = holdsOldValues(row, m_now.field(changed + 1).toInt() == 1, found.now);
        rows << found;
    }
    m_now.close();
    return rows;
}

QString RowLookup::accountOf(const RepairRecord &repair, const JournalRow &row)
{
    QString text;
    for (int k = 0; k < repair.keyColumns.size(); ++k) {
        if (!namesTheAccount(repair.keyColumns.at(k)))
            continue;
        const QVariant value = row.key.value(k);
        text += repair.keyColumns.at(k).toLower() + QLatin1Char('=') + valueKey(value);
    }
    return text;
}

}  // namespace repair
