#include "ChartRowContents.h"

#include "EndFlagPlan.h"
#include "StoredText.h"

#include "db/Connection.h"
#include "db/QuotedName.h"
#include "db/Recordset.h"
#include "db/StoredValue.h"

namespace repair {

ChartRowContents::ChartRowContents(std::shared_ptr<db::Connection> connection, QStringList locator, const QStringList &known)
    : m_connection(std::move(connection)), m_locator(std::move(locator)), m_row(std::make_unique<db::Recordset>())
{
    if (m_locator.isEmpty())
        return;
    m_row->open(QStringLiteral("select * from code where 1=0"), m_connection, db::CursorType::Static, db::LockType::ReadOnly);
    for (const QString &name : m_row->fieldNames())
        if (!known.contains(name, Qt::CaseInsensitive) && !m_locator.contains(name, Qt::CaseInsensitive)
            && !m_columns.contains(name, Qt::CaseInsensitive))
            m_columns << name;
    m_row->close();
    QStringList where;
    for (const QString &name : std::as_const(m_locator))
        where << db::quotedName(name) + QStringLiteral("=?");
    if (!m_columns.isEmpty())
        m_select =
            QStringLiteral("select %1 from code where %2").arg(db::quotedNames(m_columns), where.join(QStringLiteral(" and ")));
}

ChartRowContents::~ChartRowContents() = default;

void ChartRowContents::readAhead(const std::vector<qint64> &rowids)
{
    m_readAhead.clear();
    m_nextAhead = 0;
    if (m_select.isEmpty() || m_locator.size() != 1 || m_connection->dialect() != db::SqlDialect::Sqlite || rowids.empty())
        return;
    // One statement for them all: the rowids go in as one JSON array, which SQLite unpacks in its
    // order, and the left join keeps that order and a row gone (its values NULL).
    QByteArray list = "[";
    for (const qint64 rowid : rowids)
        list += QByteArray::number(rowid) + ',';
    list.back() = ']';
    QStringList columns;
    for (const QString &column : std::as_const(m_columns))
        columns << QStringLiteral("c.") + db::quotedName(column);
    m_row->open(QStringLiteral("select j.value,%1 from json_each(?) j left join code c on c.%2=j.value")
                    .arg(columns.join(QLatin1Char(',')), db::quotedName(m_locator.first())),
                m_connection, db::CursorType::Keyset, db::LockType::ReadOnly, {QString::fromLatin1(list)});
    m_readAhead.reserve(rowids.size());
    for (; !m_row->eof(); m_row->moveNext()) {
        QVariantList contents;
        for (int c = 0; c < m_columns.size(); ++c)
            contents << m_row->field(c + 1);
        m_readAhead.emplace_back(m_row->field(0).toLongLong(), contents);
    }
    m_row->close();
}

QVariantList ChartRowContents::of(const QVariantList &values)
{
    QVariantList contents;
    if (m_select.isEmpty())
        return contents;
    if (m_nextAhead < m_readAhead.size() && m_locator.size() == 1 && m_readAhead[m_nextAhead].first == values.value(0).toLongLong()
        && db::storageClass(values.value(0)) == db::StorageClass::Integer)
        contents = std::move(m_readAhead[m_nextAhead++].second);
    else
        contents = readOne(values);
    if (m_locator.size() == 1)
        for (int c = 0; c < m_columns.size(); ++c)
            contents[c] = storedText(*m_connection, QStringLiteral("code"), m_locator.first(), values.value(0), m_columns.at(c),
                                     contents.at(c));
    return contents;
}

// The values of columns() of one row, read by its locator's values; NULLs for a row gone.
QVariantList ChartRowContents::readOne(const QVariantList &values)
{
    QVariantList contents;
    m_row->open(m_select, m_connection, db::CursorType::Keyset, db::LockType::ReadOnly, values);
    for (int c = 0; c < m_columns.size(); ++c)
        contents << (m_row->eof() ? QVariant() : m_row->field(c));
    m_row->close();
    return contents;
}

QVariant ChartRowContents::storedCode(const QVariant &rowid, const QVariant &code)
{
    return m_locator.size() == 1
               ? storedText(*m_connection, QStringLiteral("code"), m_locator.first(), rowid, QStringLiteral("ccode"), code)
               : code;
}

}  // namespace repair
