#include "CurrentValues.h"

#include "db/Connection.h"
#include "db/DbError.h"
#include "db/ODBC.h"
#include "db/QuotedName.h"

#include <QStringList>

CurrentValues::CurrentValues(const repair::RepairRecord &record) : m_record(record)
{
}

CurrentValues::~CurrentValues() = default;

QList<QVariantList> CurrentValues::of(const repair::JournalRow &row)
{
    if (!m_openFailure.isEmpty())
        throw db::DbError(m_openFailure);
    if (!m_connection) {
        try {
            m_connection = ODBC::openConnection(m_record.database, true);
        } catch (const db::DbError &error) {
            m_openFailure = error.description();
            throw;
        }
    }
    QStringList where;
    QVariantList bound;
    if (!m_record.rowidName.isEmpty() && !row.rowid.isNull()) {
        where << db::quotedName(m_record.rowidName) + QStringLiteral("=?");
        bound << row.rowid;
    } else {
        for (int i = 0; i < m_record.keyColumns.size(); ++i) {
            const QVariant value = row.key.value(i);
            where << db::quotedName(m_record.keyColumns.at(i)) + (value.isNull() ? QStringLiteral(" is null") : QStringLiteral("=?"));
            if (!value.isNull())
                bound << value;
        }
    }
    // Column and table names come from the journal and are quoted; the values are bound.
    m_found.open(QStringLiteral("select ") + db::quotedNames(m_record.changedColumns) + QStringLiteral(" from ")
                     + db::quotedName(m_record.table) + QStringLiteral(" where ") + where.join(QStringLiteral(" and ")),
                 m_connection, db::CursorType::Static, db::LockType::ReadOnly, bound);
    QList<QVariantList> found;
    for (; !m_found.eof(); m_found.moveNext()) {
        QVariantList values;
        for (int c = 0; c < m_record.changedColumns.size(); ++c)
            values << m_found.field(c);
        found << values;
    }
    m_found.close();
    return found;
}
