#include "ChartRowContents.h"

#include "StoredText.h"

#include "db/Connection.h"
#include "db/QuotedName.h"
#include "db/Recordset.h"

namespace repair {

ChartRowContents::ChartRowContents(std::shared_ptr<db::Connection> connection, QStringList locator,
                                   const QStringList &known)
    : m_connection(std::move(connection)), m_locator(std::move(locator)), m_row(std::make_unique<db::Recordset>())
{
    if (m_locator.isEmpty())
        return;
    m_row->open(QStringLiteral("select * from code where 1=0"), m_connection, db::CursorType::Static,
                db::LockType::ReadOnly);
    for (const QString &name : m_row->fieldNames())
        if (!known.contains(name, Qt::CaseInsensitive) && !m_locator.contains(name, Qt::CaseInsensitive)
            && !m_columns.contains(name, Qt::CaseInsensitive))
            m_columns << name;
    m_row->close();
    QStringList where;
    for (const QString &name : std::as_const(m_locator))
        where << db::quotedName(name) + QStringLiteral("=?");
    if (!m_columns.isEmpty())
        m_select = QStringLiteral("select %1 from code where %2")
                       .arg(db::quotedNames(m_columns), where.join(QStringLiteral(" and ")));
}

ChartRowContents::~ChartRowContents() = default;

QVariantList ChartRowContents::of(const QVariantList &values)
{
    QVariantList contents;
    if (m_select.isEmpty())
        return contents;
    m_row->open(m_select, m_connection, db::CursorType::Keyset, db::LockType::ReadOnly, values);
    for (int c = 0; c < m_columns.size(); ++c)
        contents << (m_row->eof() ? QVariant() : m_row->field(c));
    m_row->close();
    if (m_locator.size() == 1)
        for (int c = 0; c < m_columns.size(); ++c)
            contents[c] = storedText(*m_connection, QStringLiteral("code"), m_locator.first(), values.value(0),
                                     m_columns.at(c), contents.at(c));
    return contents;
}

QVariant ChartRowContents::storedCode(const QVariant &rowid, const QVariant &code)
{
    return m_locator.size() == 1
        ? storedText(*m_connection, QStringLiteral("code"), m_locator.first(), rowid, QStringLiteral("ccode"), code)
        : code;
}

} // namespace repair
