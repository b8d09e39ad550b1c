#include "CurrentValues.h"

#include "db/Connection.h"
#include "db/DbError.h"
#include "db/ODBC.h"

namespace repair {

CurrentValues::CurrentValues(const RepairRecord &record) : m_record(record) {}

CurrentValues::~CurrentValues() = default;

QList<QVariantList> CurrentValues::of(const JournalRow &row)
{
    if (!m_openFailure.isEmpty())
        throw db::DbError(m_openFailure);
    if (!m_lookup) {
        try {
            m_connection = ODBC::openConnection(m_record.database, true);
        } catch (const db::DbError &error) {
            m_openFailure = error.description();
            throw;
        }
        m_lookup = std::make_unique<RowLookup>(m_connection, m_record);
    }
    QList<RowLookup::Found> found;
    if (!m_record.rowidName.isEmpty() && !row.rowid.isNull())
        found = m_lookup->byRowid(row).rows;
    else
        found = m_lookup->byKey(row);
    QList<QVariantList> values;
    for (const RowLookup::Found &one : std::as_const(found))
        values << one.now;
    return values;
}

}  // namespace repair
