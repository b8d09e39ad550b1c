#include "EndFlagPlan.h"

#include "EndFlagVerdict.h"

#include "db/Connection.h"
#include "db/Recordset.h"

namespace repair {

namespace {

QString endFlagProbe(int codeLength)
{
    return QStringLiteral("select ccode from code where left(ccode,%1)=? and len(ccode)>%1").arg(codeLength);
}

// The code of a chart row as the engine's text functions see it, without its padding. Null for a
// NULL code.
QString codeWithoutPadding(db::Connection &connection, const QVariant &code)
{
    const QString text = connection.textOf(code);
    return text.isNull() ? text : withoutPadding(text).toString();
}

} // namespace

bool isWholeNumber(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
    case QMetaType::Bool:
        return true;
    default:
        return false;
    }
}

EndFlagProbe::EndFlagProbe(std::shared_ptr<db::Connection> connection)
    : m_connection(std::move(connection)), m_probe(std::make_unique<db::Recordset>())
{
}

EndFlagProbe::~EndFlagProbe() = default;

int EndFlagProbe::flagOf(const QVariant &code)
{
    const QString text = codeWithoutPadding(*m_connection, code);
    m_probe->open(endFlagProbe(m_connection->lengthOf(text)), m_connection, db::CursorType::Keyset, db::LockType::ReadOnly,
                  {text.isNull() ? QVariant(QMetaType::fromType<QString>()) : QVariant(text)});
    const int flag = m_probe->eof() ? 1 : 0;
    m_probe->close();
    return flag;
}

std::vector<int> rightEndFlags(const std::shared_ptr<db::Connection> &connection, const std::vector<QVariant> &codes)
{
    std::vector<int> flags;
    flags.reserve(codes.size());
    if (connection->dialect() != db::SqlDialect::Sqlite) {
        EndFlagProbe probe(connection);
        for (const QVariant &code : codes)
            flags.push_back(probe.flagOf(code));
        return flags;
    }
    std::vector<ChartCode> chart;
    chart.reserve(codes.size());
    for (const QVariant &code : codes)
        chart.push_back({connection->textOf(code), code.typeId() != QMetaType::QByteArray});
    for (const bool endLevel : endLevelFlags(chart))
        flags.push_back(endLevel ? 1 : 0);
    return flags;
}

bool flagIsRight(const QVariant &stored, int right)
{
    if (stored.isNull())
        return false;
    if (isWholeNumber(stored) || stored.typeId() == QMetaType::Double)
        return stored.toDouble() == right;
    if (stored.typeId() == QMetaType::QString) {
        // a flag kept as text ('1', char(1)) by an import tool: compared by the number it spells,
        // as the server compares a char column with a number
        bool number = false;
        const double value = stored.toString().toDouble(&number);
        return number && value == right;
    }
    return false;
}

bool storedAsInteger(const QVariant &stored, int value)
{
    return !stored.isNull() && isWholeNumber(stored) && stored.toLongLong() == value;
}

} // namespace repair
