#pragma once

#include "JournalFormat.h"

#include <QHash>
#include <QString>
#include <QStringList>

struct sqlite3;

// The headers of a folder's journals, kept in one SQLite file beside them so that a listing need
// not open every journal. It is a copy, never the record: each entry holds one journal's header as
// read from the journal, with the file's name, size and times at that moment, and a digest over
// all of that, so an entry damaged in the file is never taken for one. When an entry is still
// current, and which may be kept, is decided by the listing (JournalHeaders).
//
// The file is opened only through SQLite, and SQLite's locks keep two programs' listings apart. An
// index that is not one (not a database, another layout, damaged) is made anew, empty; one that is
// busy, or can't be written (a read-only folder, a full disk), is read as it is or not at all.
// Nothing here raises or reports: without an index the listing reads every journal, as it can.
namespace repair {

// What a stat of a journal file tells, without opening it.
struct JournalStamp {
    qint64 size = -1;
    qint64 modified = 0;  // the time of its last write, in ms since the epoch
    qint64 changed = 0;   // the time its metadata last changed (any write, a rename, a time set), ms
    bool operator==(const JournalStamp &other) const
    {
        return size == other.size && modified == other.modified && changed == other.changed;
    }
    bool operator!=(const JournalStamp &other) const { return !(*this == other); }
};

class JournalIndex {
public:
    // The index's name in the journal folder: never a journal's (those end in ".journal").
    static const QString FileName;

    struct Entry {
        JournalStamp stamp;  // of the journal's file when its header was read
        journalformat::HeaderValues header;
    };

    explicit JournalIndex(const QString &directory);
    ~JournalIndex();
    JournalIndex(const JournalIndex &) = delete;
    JournalIndex &operator=(const JournalIndex &) = delete;

    // Every entry whose digest holds, by its journal's file name; the names of entries that don't
    // hold go to `unusable`. Empty when there is no index, or it is busy or unreadable; one that is
    // not an index is made anew where it can be written.
    QHash<QString, Entry> entries(QStringList &unusable);
    // Puts `put` in (each replacing the entry of its name) and takes `dropped` out, in one
    // transaction; does nothing when the index is busy or can't be written. The index is made
    // where there is none.
    void update(const QHash<QString, Entry> &put, const QStringList &dropped);

private:
    bool open(bool create);
    bool busy() const;
    bool layoutKnown();
    bool makeAnew();
    bool exec(const char *sql);
    qint64 pragma(const char *name);

    QString m_path;
    sqlite3 *m_db = nullptr;
};

}  // namespace repair
