#include "EndFlagGuardedWrites.h"

#include "EndFlagChart.h"

#include "db/DbError.h"

namespace repair {

namespace {

const QStringList ColumnsRead{QStringLiteral("ccode"), QStringLiteral("bend")};
constexpr int FlagColumn = 1;

// The columns that find a row for its write: its rowid, or its composite primary key, or none
// (found by its values alone); and row i's values of them.
QStringList writeLocator(const EndFlagChart &chart)
{
    return chart.rowIdName().isEmpty() ? chart.rowKeyNames() : QStringList{chart.rowIdName()};
}

QVariantList locatorValues(const EndFlagChart &chart, std::size_t i)
{
    if (!chart.rowIdName().isEmpty())
        return {chart.rowId(i)};
    return chart.rowKeyValues(i);
}

}  // namespace

EndFlagGuardedWrites::EndFlagGuardedWrites(std::shared_ptr<db::Connection> connection, const EndFlagChart &chart, bool batched,
                                           std::function<void(std::size_t, int)> written)
    : m_chart(chart), m_written(std::move(written)), m_single(connection, QStringLiteral("code"), writeLocator(chart), ColumnsRead)
{
    if (batched)
        m_batch.emplace(std::move(connection), QStringLiteral("code"), writeLocator(chart), ColumnsRead, FlagColumn);
}

EndFlagGuardedWrites::~EndFlagGuardedWrites() = default;

db::GuardedBatch::Row EndFlagGuardedWrites::batchRow(std::size_t i, int flag) const
{
    return {locatorValues(m_chart, i), {m_chart.code(i), m_chart.flag(i)}, qint16(flag)};
}

void EndFlagGuardedWrites::write(std::size_t i, int flag)
{
    if (!m_batch) {
        writeOne(i, flag);
        return;
    }
    const db::GuardedBatch::Row row = batchRow(i, flag);
    if (!m_batch->add(row)) {
        flush();
        m_batch->add(row);  // a statement of one row has room for it
    }
    m_gathered.emplace_back(i, flag);
}

void EndFlagGuardedWrites::flush()
{
    if (!m_batch || m_gathered.empty())
        return;
    const std::vector<std::pair<std::size_t, int>> rows = std::move(m_gathered);
    m_gathered.clear();
    if (m_batch->write()) {
        for (const auto &row : rows)
            m_written(row.first, row.second);
        return;
    }
    // Nothing of the batch was written: row by row, which finds the row in the way.
    for (const auto &[i, flag] : rows) {
        writeOne(i, flag);
        m_written(i, flag);
    }
}

void EndFlagGuardedWrites::writeOne(std::size_t i, int flag)
{
    try {
        m_single.write(locatorValues(m_chart, i), {m_chart.code(i), m_chart.flag(i)}, {FlagColumn}, {qint16(flag)});
    } catch (const db::DbError &) {
        m_failedRow = i;
        m_failedCode = m_chart.codeText(i);
        throw;
    }
}

}  // namespace repair
