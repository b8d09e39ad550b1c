#pragma once

#include "repair/RepairRecord.h"

#include <QFileSystemWatcher>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

// The journal folder of the engine in use, followed while repairs and undos begin and end in any
// process, this one included. A change in the folder (a journal made, its outcome written, a
// running repair's lock let go) is looked at once a short burst of them is over; so is a running
// repair whose process died, which changes no file, by a look at its lock each second. Each look
// reads the folder's journals, lists the repairs of the engine in use (listed()) and names those
// that ended since the look before (ended()): the journal window lists them, the check window
// checks their databases again. A folder that doesn't exist yet is waited for: its parent is
// watched, or, when that is missing too, looked for each second.
class JournalFolderWatch : public QObject {
    Q_OBJECT
public:
    explicit JournalFolderWatch(QObject *parent = nullptr);

    // The folder followed: the journal directory of the engine in use.
    const QString &directory() const { return m_directory; }

    // Reads the folder now and follows what it holds: emits listed() with every repair of the
    // engine in use, newest first, then ended() if some ended since the look before. The first look
    // ends nothing: it learns what had ended before it.
    void look();

signals:
    void listed(const QList<repair::RepairRecord> &repairs);
    // Repairs (and undos) whose outcome was recorded, or whose process went without recording it,
    // since the look before; each names its database.
    void ended(const QList<repair::RepairRecord> &repairs);

private:
    void lookSoon();
    void watch(const QList<repair::RepairRecord> &repairs);
    void poll();

    QString m_directory;
    QFileSystemWatcher m_watcher;
    QTimer m_lookSoon;  // one look for a burst of changes, however long the burst goes on
    QTimer m_poll;      // locks of running repairs, or a folder that can't be watched
    bool m_looked = false;
    QHash<QString, bool> m_over;  // by journal id, at the last look: whether the repair had ended
};
