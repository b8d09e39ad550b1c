#include "GuardedBatch.h"

#include "Connection.h"
#include "DbError.h"
#include "QuotedName.h"
#include "RowMatch.h"

namespace db {

namespace {

// The parameters a row binds: its match three times (which value, which rows, exactly one row)
// and its new value.
qsizetype parametersOf(const QVariantList &matchBound)
{
    return 3 * matchBound.size() + 1;
}

}  // namespace

GuardedBatch::GuardedBatch(std::shared_ptr<Connection> connection, QString table, QStringList locator, QStringList columns,
                           int written)
    : m_connection(std::move(connection)), m_table(std::move(table)), m_locator(std::move(locator)),
      m_columns(std::move(columns)), m_written(written)
{
}

GuardedBatch::~GuardedBatch() = default;

GuardedBatch::Match GuardedBatch::matchAsRead(const Row &row) const
{
    const Condition where =
        allEqual(m_locator + m_columns, row.locatorValues + row.read, m_connection->dialect() == SqlDialect::Sqlite);
    return {QLatin1Char('(') + where.sql + QLatin1Char(')'), where.bound};
}

GuardedBatch::Match GuardedBatch::matchAsWritten(const Row &row) const
{
    QVariantList held = row.read;
    held[m_written] = row.value;
    return matchAsRead({row.locatorValues, held, QVariant()});
}

bool GuardedBatch::add(const Row &row)
{
    Match match = matchAsRead(row);
    const qsizetype parameters = m_parameters + parametersOf(match.bound);
    if (m_rows.size() >= std::size_t(MaxRows) || parameters > MaxParameters)
        return false;
    m_parameters = parameters;
    m_matches.push_back(std::move(match));
    m_rows.push_back(row);
    return true;
}

bool GuardedBatch::write()
{
    const bool written = writeRows();
    m_rows.clear();
    m_matches.clear();
    m_parameters = 0;
    return written;
}

// Runs `text` with `bound`; `count` gets the rows it changed (an UPDATE; -1 when the engine
// counts none) or the first column of its first row (a SELECT). False when the engine refused it.
bool GuardedBatch::run(const QString &text, const QVariantList &bound, qint64 &count)
{
    auto found = m_statements.find(text);
    if (found == m_statements.end()) {
        try {
            found = m_statements.emplace(text, m_connection->prepared(text)).first;
        } catch (const DbError &) {
            return false;  // a statement the engine won't take: the rows go one at a time
        }
    }
    QSqlQuery &query = found->second;
    for (int i = 0; i < bound.size(); ++i)
        query.bindValue(i, bound.at(i));
    if (!query.exec())
        return false;
    if (query.isSelect())
        count = query.next() ? query.value(0).toLongLong() : -1;
    else
        count = query.numRowsAffected();
    query.finish();
    return true;
}

bool GuardedBatch::writeRows()
{
    const std::vector<Row> &rows = m_rows;
    if (rows.empty())
        return true;
    // update T set C=case when (row 1 as read) then ? ... else C end
    //   where ((row 1 as read) or ...) and (select count(*) from T where (row 1 as read))=1 and ...
    QStringList cases, matches, single;
    QVariantList caseBound, matchBound, singleBound;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const Row &row = rows[i];
        const Match &read = m_matches[i];
        cases << QStringLiteral("when ") + read.sql + QStringLiteral(" then ?");
        caseBound << read.bound << row.value;
        matches << read.sql;
        matchBound << read.bound;
        single << QStringLiteral("(select count(*) from ") + m_table + QStringLiteral(" where ") + read.sql + QStringLiteral(")=1");
        singleBound << read.bound;
    }
    const QString column = quotedName(m_columns.at(m_written));
    const QString update = QStringLiteral("update ") + m_table + QStringLiteral(" set ") + column + QStringLiteral("=case ")
                           + cases.join(QLatin1Char(' ')) + QStringLiteral(" else ") + column + QStringLiteral(" end where (")
                           + matches.join(QStringLiteral(" or ")) + QStringLiteral(") and ") + single.join(QStringLiteral(" and "));
    qint64 changed = 0;
    if (!run(update, caseBound + matchBound + singleBound, changed))
        return false;
    if (changed >= 0)
        return changed == qint64(rows.size());

    // No count: the rows that hold their new values now, each found as it was written.
    QStringList written;
    QVariantList writtenBound;
    for (const Row &row : rows) {
        const Match match = matchAsWritten(row);
        written << match.sql;
        writtenBound << match.bound;
    }
    qint64 holding = 0;
    return run(QStringLiteral("select count(*) from ") + m_table + QStringLiteral(" where ") + written.join(QStringLiteral(" or ")),
               writtenBound, holding)
           && holding == qint64(rows.size());
}

}  // namespace db
