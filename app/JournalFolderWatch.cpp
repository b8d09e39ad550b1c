#include "JournalFolderWatch.h"

#include "db/ODBC.h"
#include "repair/Journal.h"
#include "repair/JournalFormat.h"
#include "repair/JournalLock.h"
#include "repair/JournalReader.h"

#include <QFileInfo>
#include <QStringList>

namespace {

// Changes in the folder within this long of the first are looked at together.
constexpr int BurstMs = 200;
// How often the locks of running repairs, or a folder that can't be watched, are looked at.
constexpr int PollMs = 1000;

// A repair is over once its outcome is recorded, or once its process no longer holds its lock:
// it died, or could not record its end, and will write nothing more.
bool over(const repair::RepairRecord &record)
{
    return record.outcome != repair::Outcome::Unrecorded || !record.running;
}

}  // namespace

JournalFolderWatch::JournalFolderWatch(QObject *parent) : QObject(parent), m_directory(repair::journalDirectory())
{
    m_lookSoon.setSingleShot(true);
    m_lookSoon.setInterval(BurstMs);
    connect(&m_lookSoon, &QTimer::timeout, this, &JournalFolderWatch::look);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, &JournalFolderWatch::lookSoon);
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, this, &JournalFolderWatch::lookSoon);
    m_poll.setInterval(PollMs);
    connect(&m_poll, &QTimer::timeout, this, &JournalFolderWatch::poll);
}

// The first change of a burst sets the look going; the rest are seen by it, or start the next.
void JournalFolderWatch::lookSoon()
{
    if (!m_lookSoon.isActive())
        m_lookSoon.start();
}

void JournalFolderWatch::look()
{
    m_lookSoon.stop();
    // The folder is watched before it is read: a journal made while it is read brings another look.
    if (QFileInfo(m_directory).isDir() && !m_watcher.directories().contains(m_directory))
        m_watcher.addPath(m_directory);
    QList<repair::RepairRecord> repairs, endedNow;
    QHash<QString, bool> wasOver;
    wasOver.swap(m_over);
    // Only the engine and server in use: a repair made elsewhere is read and undone there.
    for (const repair::RepairRecord &record : repair::listRepairs(m_directory)) {
        if (record.engine != ODBC::engineName())
            continue;
        repairs << record;
        m_over.insert(record.id, over(record));
        if (m_looked && over(record) && !wasOver.value(record.id, false))
            endedNow << record;
    }
    m_looked = true;
    watch(repairs);
    emit listed(repairs);
    if (!endedNow.isEmpty())
        emit ended(endedNow);
}

// Watches the folder, where a journal appears and its outcome is written (SQLite's own journal
// file comes and goes beside it, and a repair's lock file goes when it ends), and the journals of
// running repairs. Before the first repair the folder doesn't exist: its parent is watched until it
// does. The locks of running repairs are polled, and a folder that can't be watched is looked at.
void JournalFolderWatch::watch(const QList<repair::RepairRecord> &repairs)
{
    QStringList wanted;
    bool running = false;
    if (QFileInfo(m_directory).isDir()) {
        wanted << m_directory;
        for (const repair::RepairRecord &record : repairs)
            if (!over(record)) {
                wanted << repair::journalformat::journalPath(m_directory, record.id);
                running = true;
            }
    } else if (QFileInfo(QFileInfo(m_directory).absolutePath()).isDir()) {
        wanted << QFileInfo(m_directory).absolutePath();
    }
    const QStringList watched = m_watcher.directories() + m_watcher.files();
    for (const QString &path : watched)
        if (!wanted.contains(path))
            m_watcher.removePath(path);
    for (const QString &path : std::as_const(wanted))
        if (!watched.contains(path))
            m_watcher.addPath(path);
    const bool pollNeeded = running || m_watcher.directories().isEmpty();
    if (pollNeeded != m_poll.isActive())
        pollNeeded ? m_poll.start() : m_poll.stop();
}

// A running repair whose process died lets its journal's lock go and changes nothing else: only
// its lock is looked at, so a large folder costs nothing here until one has gone.
void JournalFolderWatch::poll()
{
    if (m_watcher.directories().isEmpty()) {
        look();
        return;
    }
    for (auto it = m_over.cbegin(); it != m_over.cend(); ++it)
        if (!it.value() && !repair::JournalLock::isHeld(repair::journalformat::journalPath(m_directory, it.key()))) {
            look();
            return;
        }
}
