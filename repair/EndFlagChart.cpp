#include "EndFlagChart.h"

#include "EndFlagPlan.h"
#include "EndFlagVerdict.h"
#include "JournalFormat.h"

#include "db/Connection.h"
#include "db/DbError.h"
#include "db/QuotedName.h"
#include "db/Recordset.h"
#include "db/RowLocator.h"
#include "db/StoredValue.h"

#include <QStringDecoder>

#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace repair {

namespace {

const QString ChartSelect = QStringLiteral("select ccode,bend from code order by ccode");

// Whether `bytes` are valid UTF-8.
bool isUtf8(std::string_view bytes)
{
    if (std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
        return true;
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = decoder(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
    return !decoder.hasError();
}

// A real as the engine's text functions see it: a whole value within the integer range as the
// digits of that integer, as the server writes it; any other as SQLite writes it.
std::string realText(sqlite3_stmt *statement, int column)
{
    const double number = sqlite3_column_double(statement, column);
    if (number >= -9223372036854775808.0 && number < 9223372036854775808.0 && number == std::trunc(number))
        return std::to_string(qint64(number));
    return reinterpret_cast<const char *>(sqlite3_column_text(statement, column));
}

}  // namespace

const QVariant *EndFlagChart::FewValues::find(std::size_t row) const
{
    const auto found = std::lower_bound(m_values.begin(), m_values.end(), std::uint32_t(row),
                                        [](const auto &entry, std::uint32_t r) { return entry.first < r; });
    return found != m_values.end() && found->first == row ? &found->second : nullptr;
}

EndFlagChart EndFlagChart::read(const std::shared_ptr<db::Connection> &connection, bool locate)
{
    EndFlagChart chart;
    const QStringList locator = locate && connection->dialect() == db::SqlDialect::Sqlite
                                    ? db::sqliteRowLocator(connection->openDatabase(), QStringLiteral("code"))
                                    : QStringList();
    if (connection->sqliteHandle() && (!locate || locator.size() == 1))
        chart.readStraight(connection, locator.value(0));
    else
        chart.readRecordset(connection, locate);
    return chart;
}

// Reads the chart through SQLite's C API on the connection's own handle: each value in the form
// it is stored in, no text converted to UTF-16 and back.
void EndFlagChart::readStraight(const std::shared_ptr<db::Connection> &connection, const QString &locator)
{
    m_direct = true;
    m_rowIdName = locator;
    sqlite3 *db = connection->sqliteHandle();
    const QByteArray text =
        (locator.isEmpty() ? ChartSelect
                           : QStringLiteral("select %1,ccode,bend from code order by ccode").arg(db::quotedName(locator)))
            .toUtf8();
    sqlite3_stmt *statement = nullptr;
    if (sqlite3_prepare_v2(db, text.constData(), int(text.size()), &statement, nullptr) != SQLITE_OK)
        throw db::DbError(db::describeSqlite(db));
    const int first = locator.isEmpty() ? 0 : 1;
    int stepped = SQLITE_ROW;
    while ((stepped = sqlite3_step(statement)) == SQLITE_ROW) {
        if (first)
            addRowId(sqlite3_column_type(statement, 0) == SQLITE_INTEGER ? QVariant(qlonglong(sqlite3_column_int64(statement, 0)))
                                                                         : journalformat::column(statement, 0));
        switch (sqlite3_column_type(statement, first)) {
        case SQLITE_TEXT:
            addCode({reinterpret_cast<const char *>(sqlite3_column_text(statement, first)),
                     std::size_t(sqlite3_column_bytes(statement, first))},
                    Text, QVariant());
            break;
        case SQLITE_NULL:
            addCode({}, Null, QVariant());
            break;
        case SQLITE_FLOAT:
            addCode(realText(statement, first), Other, journalformat::column(statement, first));
            break;
        case SQLITE_INTEGER:
            addCode(std::to_string(sqlite3_column_int64(statement, first)), Other, journalformat::column(statement, first));
            break;
        default: {  // a blob: left() reads its bytes as text
            const QVariant blob = journalformat::column(statement, first);
            addCode(std::string_view(static_cast<const char *>(sqlite3_column_blob(statement, first)),
                                     std::size_t(sqlite3_column_bytes(statement, first))),
                    Blob, blob);
        }
        }
        const int bend = first + 1;
        if (sqlite3_column_type(statement, bend) == SQLITE_INTEGER && (sqlite3_column_int64(statement, bend) & ~1) == 0)
            m_flags.push_back(std::int8_t(sqlite3_column_int64(statement, bend)));
        else
            addFlag(journalformat::column(statement, bend));
    }
    sqlite3_finalize(statement);
    if (stepped != SQLITE_DONE)
        throw db::DbError(db::describeSqlite(db));
}

// Reads the chart through a recordset, one row at a time, the values as the driver gives them;
// on SQLite a blob code and a text code that is not all printable ASCII by its stored bytes too,
// which the driver would hand over decoded, with bytes that are not valid UTF-8 replaced alike.
void EndFlagChart::readRecordset(const std::shared_ptr<db::Connection> &connection, bool locate)
{
    const bool sqlite = connection->dialect() == db::SqlDialect::Sqlite;
    db::Recordset walk;
    walk.open(
        sqlite
            ? QStringLiteral("select ccode,bend,%1 from code order by ccode").arg(db::codeBytesExpression(QStringLiteral("ccode")))
            : ChartSelect,
        connection, db::CursorType::Keyset, locate ? db::LockType::Optimistic : db::LockType::ReadOnly);
    m_rowIdName = walk.rowIdName();
    m_rowKeyNames = walk.rowKeyNames();
    for (; !walk.eof(); walk.moveNext()) {
        const QVariant code = walk.field(0);
        const QVariant bytes = sqlite ? walk.field(2) : QVariant();
        const bool blob = code.typeId() == QMetaType::QByteArray;
        if (!bytes.isNull())
            addCode(bytes.toByteArray().toStdString(), blob ? Blob : Text, blob ? code : QVariant());
        else if (code.isNull())
            addCode({}, Null, QVariant());
        else if (code.typeId() == QMetaType::QString && code.toString().isValidUtf16())
            addCode(code.toString().toUtf8().toStdString(), Text, QVariant());
        else
            addCode(connection->textOf(code).toUtf8().toStdString(), code.typeId() == QMetaType::QByteArray ? Blob : Other, code);
        addFlag(walk.field(1));
        if (!m_rowIdName.isEmpty())
            addRowId(walk.rowId());
        if (m_rowKeyNames.isEmpty())
            continue;
        QVariantList key = walk.rowKeyValues();
        if (!bytes.isNull() && !blob)  // a key's code as code() gives it: by its stored bytes
            for (int k = 0; k < m_rowKeyNames.size(); ++k)
                if (m_rowKeyNames.at(k).compare(QLatin1String("ccode"), Qt::CaseInsensitive) == 0)
                    key[k] = this->code(m_codeForms.size() - 1);
        m_rowKeys.push_back(key);
    }
}

void EndFlagChart::addCode(std::string_view text, CodeForm form, const QVariant &other)
{
    if (m_codeBytes.size() + text.size() > std::numeric_limits<std::uint32_t>::max())
        throw db::DbError(QStringLiteral("科目表太大：科目代码合计超过 4 GB，无法一次读入。"));
    m_codeBytes.append(text);
    m_codeEnds.push_back(std::uint32_t(m_codeBytes.size()));
    m_codeForms.push_back(form);
    if (form == Other || form == Blob)
        m_otherCodes.add(m_codeForms.size() - 1, other);
}

// The flag of the row being read: a whole number 0 or 1 in a byte, anything else as it is.
void EndFlagChart::addFlag(const QVariant &flag)
{
    if (db::storedAsInteger(flag, 0) || db::storedAsInteger(flag, 1)) {
        m_flags.push_back(std::int8_t(flag.toLongLong()));
        return;
    }
    m_otherFlags.add(m_flags.size(), flag);
    m_flags.push_back(-1);
}

void EndFlagChart::addRowId(const QVariant &id)
{
    if (id.typeId() == QMetaType::LongLong || id.typeId() == QMetaType::Int) {
        m_rowIds.push_back(id.toLongLong());
        return;
    }
    m_otherRowIds.add(m_rowIds.size(), id);
    m_rowIds.push_back(0);
}

CodeBytes EndFlagChart::codeBytes(std::size_t i) const
{
    const std::uint32_t start = i == 0 ? 0 : m_codeEnds[i - 1];
    return {std::string_view(m_codeBytes).substr(start, m_codeEnds[i] - start), m_codeForms[i] == Null, m_codeForms[i] != Blob};
}

QVariant EndFlagChart::code(std::size_t i) const
{
    switch (m_codeForms[i]) {
    case Null:
        return QVariant(QMetaType::fromType<QString>());
    case Text: {
        const std::string_view bytes = codeBytes(i).text;
        // Bytes that are not valid UTF-8, and a text beginning with a byte-order mark, which a
        // text bound through the driver would lose: as the bytes they are.
        if (!isUtf8(bytes) || bytes.substr(0, 3) == "\xEF\xBB\xBF")
            return QByteArray(bytes.data(), qsizetype(bytes.size()));
        return db::textOfBytes(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
    }
    default:
        return *m_otherCodes.find(i);
    }
}

QString EndFlagChart::codeText(std::size_t i) const
{
    if (m_codeForms[i] == Null)
        return QString();
    const std::string_view bytes = codeBytes(i).text;
    // The walk names every row it comes to: a code of plain ASCII, as most are, needs no decoder.
    if (std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
        return QString::fromLatin1(bytes.data(), qsizetype(bytes.size()));
    return db::textOfBytes(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
}

QVariant EndFlagChart::flag(std::size_t i) const
{
    return m_flags[i] >= 0 ? QVariant(qlonglong(m_flags[i])) : *m_otherFlags.find(i);
}

bool EndFlagChart::integerRowId(std::size_t i, qint64 &id) const
{
    if (m_otherRowIds.find(i))
        return false;
    id = m_rowIds[i];
    return true;
}

QVariant EndFlagChart::rowId(std::size_t i) const
{
    if (m_rowIds.empty())
        return QVariant();
    if (const QVariant *other = m_otherRowIds.find(i))
        return *other;
    return QVariant(qlonglong(m_rowIds[i]));
}

QVariantList EndFlagChart::rowKeyValues(std::size_t i) const
{
    return m_rowKeys.empty() ? QVariantList() : m_rowKeys[i];
}

QVariantList EndFlagChart::otherKeyValues(std::size_t i) const
{
    QVariantList others;
    if (!m_rowKeys.empty())
        for (const int position : otherKeyColumns())
            others << m_rowKeys[i].at(position);
    return others;
}

QList<int> EndFlagChart::otherKeyColumns() const
{
    QList<int> positions;
    for (int i = 0; i < m_rowKeyNames.size(); ++i)
        if (m_rowKeyNames.at(i).compare(QLatin1String("ccode"), Qt::CaseInsensitive) != 0)
            positions << i;
    return positions;
}

}  // namespace repair
