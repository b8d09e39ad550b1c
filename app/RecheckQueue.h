#pragma once

#include "JournalFolderWatch.h"

#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QTimer>

#include <functional>

// The databases the check-and-repair window is to check again by itself: those whose repair or
// undo ended anywhere (the journal window, the command line, another program) since the window
// last checked them, as the journal folder tells (JournalFolderWatch). They are handed out one at
// a time, and only while the window is free: no work of its own runs and no box is open. The
// window's own repairs are left out, as it checks their databases itself; a database the window
// begins to check meanwhile is dropped, that check seeing what the repair left.
class RecheckQueue : public QObject {
    Q_OBJECT
public:
    // `free` says whether the window could start a check now.
    RecheckQueue(std::function<bool()> free, QObject *parent);

    // The journal of a repair the window made itself.
    void ownRepair(const QString &journal);
    // The window begins to check `database`, or (empty) every database.
    void checking(const QString &database = QString());

signals:
    // Check `database` again: the window is free.
    void due(const QString &database);

private:
    void repairsEnded(const QList<repair::RepairRecord> &repairs);
    void handOut();

    struct Ended {
        QString journal;
        QString database;
    };
    std::function<bool()> m_free;
    JournalFolderWatch m_folder;
    QList<Ended> m_ended;  // in the order they were seen, not yet checked
    QSet<QString> m_own;   // journals of the window's own repairs
    QTimer m_handOut;      // while some wait: the next, once the window is free
};
