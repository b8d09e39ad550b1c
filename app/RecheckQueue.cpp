#include "RecheckQueue.h"

#include <QApplication>

namespace {

// How often a waiting database asks whether the window is free.
constexpr int WaitMs = 250;

}  // namespace

// The folder is read once at the start, so that only repairs that end from now on count.
RecheckQueue::RecheckQueue(std::function<bool()> free, QObject *parent) : QObject(parent), m_free(std::move(free))
{
    m_handOut.setSingleShot(true);
    m_handOut.setInterval(WaitMs);
    connect(&m_handOut, &QTimer::timeout, this, &RecheckQueue::handOut);
    connect(&m_folder, &JournalFolderWatch::ended, this, &RecheckQueue::repairsEnded);
    m_folder.look();
}

void RecheckQueue::ownRepair(const QString &journal)
{
    if (!journal.isEmpty())
        m_own.insert(journal);
}

void RecheckQueue::checking(const QString &database)
{
    m_ended.removeIf([&](const Ended &ended) { return database.isEmpty() || ended.database == database; });
}

void RecheckQueue::repairsEnded(const QList<repair::RepairRecord> &repairs)
{
    for (const repair::RepairRecord &record : repairs)
        m_ended << Ended{record.id, record.database};
    if (!m_handOut.isActive())
        m_handOut.start();
}

// The window's own repairs are known by the time it is free again, whichever was seen first: the
// end of its repair in the folder, or the repair's result in the window.
void RecheckQueue::handOut()
{
    m_ended.removeIf([this](const Ended &ended) { return m_own.contains(ended.journal); });
    if (m_ended.isEmpty())
        return;
    // A box of any window holds the work behind it, as the window's own work does.
    if (!m_free() || QApplication::activeModalWidget()) {
        m_handOut.start();
        return;
    }
    const QString database = m_ended.takeFirst().database;
    checking(database);
    emit due(database);
    if (!m_ended.isEmpty())
        m_handOut.start();
}
