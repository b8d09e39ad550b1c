#include "WritePauses.h"

#include "Connection.h"

#include <QThread>

namespace db {

WritePauses::WritePauses(const Connection &connection) : m_applies(connection.dialect() == SqlDialect::Sqlite)
{
    m_sincePause.start();
}

void WritePauses::rowWritten()
{
    // The clock is read every RowsPerLook rows only: a row takes microseconds, a look at the clock
    // a fair share of one.
    if (!m_applies || ++m_rows % RowsPerLook != 0 || m_sincePause.elapsed() < IntervalMs)
        return;
    QThread::msleep(PauseMs);
    m_sincePause.restart();
}

} // namespace db
