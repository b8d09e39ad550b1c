#include "EndFlagPlan.h"

#include "EndFlagChart.h"
#include "EndFlagVerdict.h"

#include "db/Connection.h"
#include "db/Recordset.h"
#include "db/StoredValue.h"

#include <QStringList>

#include <string>
#include <unordered_set>

namespace repair {

namespace {

// Code lengths asked about in one statement: a server plans each branch of a union on its own,
// and a statement of a few dozen stays well within what it takes.
constexpr int LengthsPerStatement = 50;

// A value read from the server as a key that tells values of different forms apart.
std::string valueKey(const QVariant &value)
{
    if (value.typeId() == QMetaType::QString)
        return 't' + value.toString().toStdString();
    return std::to_string(value.typeId()) + ':' + value.toString().toStdString();
}

// Row i's code as valueKey() gives it, a text without decoding it again.
std::string chartKey(const EndFlagChart &chart, std::size_t i)
{
    if (chart.codeIsText(i))
        return 't' + std::string(chart.codeBytes(i).text);
    return valueKey(chart.code(i));
}

// The codes of the chart's rows that a longer code begins with, as the server judges it, each
// as valueKey() gives it. The code lengths come first, as the server's len() counts them
// (trailing blanks not counted, NULL has none); then, for each length L, the codes of that
// length found among the first L characters of the longer codes. The server compares them under
// the column's collation, blanks at the end ignored as it pads texts it compares (rtrim makes
// that so on any engine); an IN over a subquery it answers with one hash or merge semi-join per
// length, never a lookup per row.
std::unordered_set<std::string> codesWithSubAccounts(const std::shared_ptr<db::Connection> &connection)
{
    std::vector<int> lengths;
    db::Recordset read;
    read.open(QStringLiteral("select distinct len(ccode) from code"), connection, db::CursorType::Keyset, db::LockType::ReadOnly);
    for (; !read.eof(); read.moveNext())
        if (!read.field(0).isNull())
            lengths.push_back(read.field(0).toInt());
    read.close();

    std::unordered_set<std::string> found;
    for (std::size_t first = 0; first < lengths.size(); first += LengthsPerStatement) {
        QStringList branches;
        for (std::size_t i = first; i < lengths.size() && i < first + LengthsPerStatement; ++i)
            branches << QStringLiteral("select a.ccode from code a where len(a.ccode)=%1 and rtrim(a.ccode) in"
                                       " (select left(b.ccode,%1) from code b where len(b.ccode)>%1)")
                            .arg(lengths[i]);
        read.open(branches.join(QStringLiteral(" union all ")), connection, db::CursorType::Keyset, db::LockType::ReadOnly);
        for (; !read.eof(); read.moveNext())
            found.insert(valueKey(read.field(0)));
        read.close();
    }
    return found;
}

}  // namespace

std::vector<std::int8_t> rightEndFlags(const std::shared_ptr<db::Connection> &connection, const EndFlagChart &chart)
{
    std::vector<std::int8_t> flags(chart.size(), 1);
    if (connection->dialect() == db::SqlDialect::Sqlite) {
        const std::vector<bool> endLevel = endLevelFlags(chart.size(), [&chart](std::size_t i) { return chart.codeBytes(i); });
        for (std::size_t i = 0; i < chart.size(); ++i)
            flags[i] = endLevel[i] ? 1 : 0;
        return flags;
    }
    if (chart.size() == 0)
        return flags;
    const std::unordered_set<std::string> withSubAccounts = codesWithSubAccounts(connection);
    for (std::size_t i = 0; i < chart.size(); ++i)
        if (!chart.codeBytes(i).isNull && withSubAccounts.count(chartKey(chart, i)))
            flags[i] = 0;
    return flags;
}

bool flagIsRight(const QVariant &stored, int right)
{
    switch (db::storageClass(stored)) {
    case db::StorageClass::Integer:
    case db::StorageClass::Real:
        return stored.toDouble() == right;
    case db::StorageClass::Text: {
        // a flag kept as text ('1', char(1)) by an import tool: compared by the number it spells,
        // as the server compares a char column with a number
        bool number = false;
        const double value = stored.toString().toDouble(&number);
        return number && value == right;
    }
    default:
        return false;
    }
}

}  // namespace repair
