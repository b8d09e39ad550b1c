#include "EndFlagLookup.h"

#include "db/Connection.h"
#include "db/Recordset.h"
#include "repair/EndFlagVerdict.h"

EndFlagLookup::EndFlagLookup(std::shared_ptr<db::Connection> connection)
    : m_connection(std::move(connection)), m_lookup(std::make_unique<db::Recordset>())
{
}

EndFlagLookup::~EndFlagLookup() = default;

int EndFlagLookup::flagOf(const QVariant &code)
{
    QString text = m_connection->textOf(code);
    if (!text.isNull())
        text = repair::withoutPadding(text).toString();
    const int n = m_connection->lengthOf(text);
    m_lookup->open(QStringLiteral("select ccode from code where left(ccode,%1)=? and len(ccode)>%1").arg(n), m_connection,
                   db::CursorType::Keyset, db::LockType::ReadOnly,
                   {text.isNull() ? QVariant(QMetaType::fromType<QString>()) : QVariant(text)});
    const int flag = m_lookup->eof() ? 1 : 0;
    m_lookup->close();
    return flag;
}
