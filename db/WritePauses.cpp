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
    // The clock is read for every row: where each row waits for a sync, rows counted between two
    // looks could add up to a waiter's whole busy timeout.
    if (!m_applies || m_sincePause.elapsed() < IntervalMs)
        return;
    QThread::msleep(PauseMs);
    m_sincePause.restart();
}

}  // namespace db
