#include "EndFlagChartWatch.h"

#include "EndFlagChart.h"
#include "EndFlagPlan.h"
#include "EndFlagVerdict.h"

#include "db/CommitStamp.h"
#include "db/Connection.h"
#include "db/DbError.h"

#include <sqlite3.h>

#include <algorithm>
#include <string>
#include <unordered_map>

namespace repair {

namespace {

// A code as the flags are worked out from it: its bytes, and whether it is NULL or a value no
// code begins with. Two rows with the same key have the same right flag in any one chart.
std::string verdictKey(const CodeBytes &code)
{
    if (code.isNull)
        return std::string(1, 'n');
    return (code.canBeLonger ? 't' : 'b') + std::string(code.text);
}

// Appends one code to a list of codes (storedCodes(), chartCodes()): its storage class, and its
// value as stored: a text's or blob's length and bytes, a number's bits.
void appendCode(std::string &codes, int type, const void *bytes, int length)
{
    codes.push_back(char(type));
    if (type == SQLITE_TEXT || type == SQLITE_BLOB)
        codes.append(reinterpret_cast<const char *>(&length), sizeof length);
    codes.append(bytes ? static_cast<const char *>(bytes) : "", std::size_t(length));
}

template <typename Number> void appendNumber(std::string &codes, int type, Number number)
{
    appendCode(codes, type, &number, int(sizeof number));
}

// The codes of `chart`, in its order, as storedCodes() lists them when the table holds exactly
// those codes. A code of a form the file can't hold (never on SQLite) is listed so that it
// matches nothing.
std::string chartCodes(const EndFlagChart &chart)
{
    std::size_t size = 0;  // held whole from the start: a chart of a million codes keeps no spare room
    for (std::size_t i = 0; i < chart.size(); ++i)
        size += 1 + sizeof(int) + std::max(chart.codeBytes(i).text.size(), sizeof(double));
    std::string codes;
    codes.reserve(size);
    for (std::size_t i = 0; i < chart.size(); ++i) {
        const CodeBytes code = chart.codeBytes(i);
        if (code.isNull) {
            appendCode(codes, SQLITE_NULL, nullptr, 0);
        } else if (chart.codeIsText(i)) {
            appendCode(codes, SQLITE_TEXT, code.text.data(), int(code.text.size()));
        } else {
            const QVariant value = chart.code(i);
            switch (value.typeId()) {
            case QMetaType::LongLong:
            case QMetaType::Int:
                appendNumber(codes, SQLITE_INTEGER, qint64(value.toLongLong()));
                break;
            case QMetaType::Double:
                appendNumber(codes, SQLITE_FLOAT, value.toDouble());
                break;
            case QMetaType::QByteArray: {
                const QByteArray blob = value.toByteArray();
                appendCode(codes, SQLITE_BLOB, blob.constData(), int(blob.size()));
                break;
            }
            default:
                appendCode(codes, 0, nullptr, 0);
            }
        }
    }
    return codes;
}

sqlite3_stmt *prepare(sqlite3 *db, const char *sql)
{
    sqlite3_stmt *statement = nullptr;
    if (sqlite3_prepare_v3(db, sql, -1, SQLITE_PREPARE_PERSISTENT, &statement, nullptr) != SQLITE_OK)
        throw db::DbError(db::describeSqlite(db));
    return statement;
}

}  // namespace

EndFlagChartWatch::EndFlagChartWatch(std::shared_ptr<db::Connection> connection) : m_connection(std::move(connection))
{
    sqlite3 *db = m_connection ? m_connection->sqliteHandle() : nullptr;
    if (!db)
        return;
    m_db = db;
    m_stamp = std::make_unique<db::CommitStamp>(db);
    try {
        m_version = prepare(db, "PRAGMA data_version");
        m_begin = prepare(db, "BEGIN IMMEDIATE");
        m_read = prepare(db, "BEGIN");
        m_commit = prepare(db, "COMMIT");
        m_rollback = prepare(db, "ROLLBACK");
        // in the chart's own order, so that the codes the chart was read with are those listed
        m_codes = prepare(db, "select ccode from code order by ccode");
        // one view of the file from here to follow(): the version and the chart agree
        begin(m_read);
        m_seen = version();
    } catch (const db::DbError &) {
        release();
        finalizeStatements();
        throw;
    }
}

EndFlagChartWatch::~EndFlagChartWatch()
{
    release();
    finalizeStatements();
}

void EndFlagChartWatch::finalizeStatements()
{
    for (sqlite3_stmt *statement : {m_version, m_begin, m_read, m_commit, m_rollback, m_codes})
        sqlite3_finalize(statement);
}

void EndFlagChartWatch::follow(const EndFlagChart &chart, const std::vector<std::int8_t> &right)
{
    m_chart = &chart;
    m_now = right;
    m_given.assign(right.size(), -1);
    if (m_db)
        m_storedCodes = chartCodes(chart);
    release();
}

// SQLite's count of the commits other connections made to the file, as this connection sees it.
qint64 EndFlagChartWatch::version()
{
    const int stepped = sqlite3_step(m_version);
    const qint64 value = stepped == SQLITE_ROW ? sqlite3_column_int64(m_version, 0) : -1;
    sqlite3_reset(m_version);
    if (stepped != SQLITE_ROW)
        throw db::DbError(db::describeSqlite(m_db));
    return value;
}

// Every code in code order, one after another: each value's storage class and its value as
// stored (appendCode()), so two lists are equal only when every code is, in form and byte.
std::string EndFlagChartWatch::storedCodes()
{
    std::string codes;
    codes.reserve(m_storedCodes.size());
    int stepped = SQLITE_ROW;
    while ((stepped = sqlite3_step(m_codes)) == SQLITE_ROW) {
        switch (const int type = sqlite3_column_type(m_codes, 0)) {
        case SQLITE_INTEGER:
            appendNumber(codes, type, qint64(sqlite3_column_int64(m_codes, 0)));
            break;
        case SQLITE_FLOAT:
            appendNumber(codes, type, sqlite3_column_double(m_codes, 0));
            break;
        default: {
            // a text in UTF-8, as the chart reads it
            const void *bytes = type == SQLITE_TEXT ? static_cast<const void *>(sqlite3_column_text(m_codes, 0))
                                                    : sqlite3_column_blob(m_codes, 0);
            appendCode(codes, type, bytes, bytes ? sqlite3_column_bytes(m_codes, 0) : 0);
        }
        }
    }
    const QString failure = stepped == SQLITE_DONE ? QString() : db::describeSqlite(m_db);
    sqlite3_reset(m_codes);
    if (!failure.isEmpty())
        throw db::DbError(failure);
    return codes;
}

void EndFlagChartWatch::exec(sqlite3_stmt *statement)
{
    const int stepped = sqlite3_step(statement);
    const QString failure = stepped == SQLITE_DONE ? QString() : db::describeSqlite(m_db);
    sqlite3_reset(statement);
    if (!failure.isEmpty())
        throw db::DbError(failure);
}

// Runs `statement`, one that begins a transaction, and notes the transaction as open.
void EndFlagChartWatch::begin(sqlite3_stmt *statement)
{
    exec(statement);
    m_inTransaction = true;
}

// refresh(), ending the transaction when it fails.
void EndFlagChartWatch::refreshOrRelease()
{
    try {
        refresh();
    } catch (const db::DbError &) {
        release();
        throw;
    }
}

// Within a transaction: after another program's commit, whether the codes changed; if so the
// flags are worked out anew.
void EndFlagChartWatch::refresh()
{
    const qint64 now = version();
    if (now == m_seen)
        return;
    m_seen = now;
    std::string codes = storedCodes();
    if (codes == m_storedCodes)
        return;
    m_storedCodes = std::move(codes);
    m_readAgain = true;
    readAgain();
}

// Reads the chart again and works out every flag from it. A row of the walk whose code is no
// longer in the chart keeps the flag it had: its write finds the row changed and stops the walk.
void EndFlagChartWatch::readAgain()
{
    const EndFlagChart now = EndFlagChart::read(m_connection, false);
    const std::vector<std::int8_t> right = rightEndFlags(m_connection, now);
    std::unordered_map<std::string, std::int8_t> byCode;
    byCode.reserve(now.size());
    for (std::size_t i = 0; i < now.size(); ++i)
        byCode.emplace(verdictKey(now.codeBytes(i)), right[i]);
    for (std::size_t i = 0; i < m_chart->size(); ++i)
        if (const auto found = byCode.find(verdictKey(m_chart->codeBytes(i))); found != byCode.end())
            m_now[i] = found->second;
}

int EndFlagChartWatch::flagNow(std::size_t i)
{
    if (!m_db)
        return m_given[i] = m_now[i];
    // The data version is read unless the file shows that no commit was made since it last was.
    if (!m_stamp->unchanged()) {
        if (version() != m_seen) {
            begin(m_read);  // the version, the codes and the chart read as one view
            refreshOrRelease();
            release();
        }
        m_stamp->looked();
    }
    return m_given[i] = m_now[i];
}

int EndFlagChartWatch::lockAndFlag(std::size_t i)
{
    if (!m_db)
        return m_given[i] = m_now[i];
    begin(m_begin);
    refreshOrRelease();  // under the lock: nothing can change the chart again before the row's commit
    return m_given[i] = m_now[i];
}

void EndFlagChartWatch::commit()
{
    if (!m_inTransaction)
        return;
    exec(m_commit);
    m_inTransaction = false;
}

void EndFlagChartWatch::release()
{
    if (!m_inTransaction)
        return;
    m_inTransaction = false;
    sqlite3_step(m_rollback);
    sqlite3_reset(m_rollback);
}

QStringList EndFlagChartWatch::wrongNow()
{
    QStringList wrong;
    if (m_db) {
        begin(m_read);
        const bool same = !m_readAgain && (version() == m_seen || storedCodes() == m_storedCodes);
        release();
        if (same)
            return wrong;
    }
    std::unordered_map<std::string, std::int8_t> given;
    for (std::size_t i = 0; i < m_chart->size(); ++i)
        if (m_given[i] >= 0)
            given.emplace(verdictKey(m_chart->codeBytes(i)), m_given[i]);
    const EndFlagChart now = EndFlagChart::read(m_connection, false);
    const std::vector<std::int8_t> right = rightEndFlags(m_connection, now);
    for (std::size_t i = 0; i < now.size(); ++i)
        if (const auto found = given.find(verdictKey(now.codeBytes(i)));
            found != given.end() && found->second != right[i] && !flagIsRight(now.flag(i), right[i]))
            wrong << now.codeText(i);
    return wrong;
}

}  // namespace repair
