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
    if (!m_applies || m_sincePause.elapsed() < IntervalMs)
        return;
    QThread::msleep(PauseMs);
    m_sincePause.restart();
}

} // namespace db
