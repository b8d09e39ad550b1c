#include "JournalIndex.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QtEndian>

#include <cstring>

#include <sqlite3.h>

namespace repair {

const QString JournalIndex::FileName = QStringLiteral("journal-index.sqlite");

namespace {

// The marks of this index in this layout, in the file's header: a file without them is made anew.
constexpr int ApplicationId = 0x6e337869;  // "n3xi"
constexpr int Layout = 1;
// How long a listing waits for another program's write to the index (each takes a moment: nothing
// is synced) before it reads the journals themselves.
constexpr int BusyTimeoutMs = 1000;

// The digest that vouches for an entry: over the layout, the journal's name, the stamp and every
// value of the header with its type, so that no part of an entry damaged in the file, nor an entry
// of another layout, passes for one.
QByteArray entryDigest(const QString &name, const JournalStamp &stamp, const journalformat::HeaderValues &header)
{
    QCryptographicHash hash(QCryptographicHash::Sha1);
    const auto number = [&hash](qint64 value) {
        char bytes[8];
        qToBigEndian<qint64>(value, bytes);
        hash.addData(QByteArrayView(bytes, sizeof bytes));
    };
    const auto text = [&hash, &number](const QString &value) {
        number(value.size());
        hash.addData(QByteArrayView(reinterpret_cast<const char *>(value.utf16()), value.size() * 2));
    };
    number(Layout);
    text(name);
    number(stamp.size);
    number(stamp.modified);
    number(stamp.changed);
    for (const QVariant &value : header) {
        number(value.isNull() ? -1 : value.typeId());
        switch (value.isNull() ? QMetaType::UnknownType : value.typeId()) {
        case QMetaType::QString:
            text(value.toString());
            break;
        case QMetaType::QByteArray: {
            const QByteArray bytes = value.toByteArray();
            number(bytes.size());
            hash.addData(bytes);
            break;
        }
        case QMetaType::Double: {
            const double real = value.toDouble();
            qint64 bits = 0;
            std::memcpy(&bits, &real, sizeof bits);
            number(bits);
            break;
        }
        case QMetaType::UnknownType:
            break;
        default:
            number(value.toLongLong());
        }
    }
    return hash.result();
}

}  // namespace

JournalIndex::JournalIndex(const QString &directory) : m_path(QDir(directory).filePath(FileName)) {}

JournalIndex::~JournalIndex()
{
    sqlite3_close(m_db);
}

// Opens the index, making its file when `create` is set; false when there is none or it can't be
// opened. A file that can't be written is opened to read.
bool JournalIndex::open(bool create)
{
    if (m_db)
        return true;
    if (!create && !QFileInfo::exists(m_path))
        return false;
    const int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0);
    if (sqlite3_open_v2(m_path.toUtf8().constData(), &m_db, flags, nullptr) != SQLITE_OK) {
        sqlite3_close(m_db);
        m_db = nullptr;
        return false;
    }
    sqlite3_busy_timeout(m_db, BusyTimeoutMs);
    // A copy whose entries each vouch for themselves needs no sync, nor a rollback journal on disk
    // (no file comes and goes beside the journals): a write cut off by a crash leaves a file that
    // SQLite reports damaged, which is made anew, or entries whose digests fail, which are passed over.
    exec("PRAGMA synchronous=OFF");
    return true;
}

bool JournalIndex::exec(const char *sql)
{
    return sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

// The integer a pragma reads; -1 when the file can't be read (not a database, damaged).
qint64 JournalIndex::pragma(const char *name)
{
    sqlite3_stmt *statement = nullptr;
    qint64 value = -1;
    if (sqlite3_prepare_v2(m_db, (QByteArray("PRAGMA ") + name).constData(), -1, &statement, nullptr) == SQLITE_OK
        && sqlite3_step(statement) == SQLITE_ROW)
        value = sqlite3_column_int64(statement, 0);
    sqlite3_finalize(statement);
    return value;
}

// Whether the last call failed because another program holds the file.
bool JournalIndex::busy() const
{
    const int code = sqlite3_errcode(m_db);
    return code == SQLITE_BUSY || code == SQLITE_LOCKED;
}

bool JournalIndex::layoutKnown()
{
    return pragma("application_id") == ApplicationId && pragma("user_version") == Layout;
}

// Empties the file, whatever it held (SQLite's reset reads none of it, so it serves for a file that
// is no database at all), and makes the index's table in it. False when the file can't be written
// or another program holds it.
bool JournalIndex::makeAnew()
{
    if (sqlite3_db_readonly(m_db, "main") != 0)
        return false;
    sqlite3_db_config(m_db, SQLITE_DBCONFIG_RESET_DATABASE, 1, nullptr);
    const bool reset = exec("VACUUM");
    sqlite3_db_config(m_db, SQLITE_DBCONFIG_RESET_DATABASE, 0, nullptr);
    if (!reset || !exec("PRAGMA journal_mode=MEMORY") || !exec("BEGIN IMMEDIATE"))
        return false;
    const QByteArray make = QByteArray("PRAGMA application_id=") + QByteArray::number(ApplicationId)
                            + "; PRAGMA user_version=" + QByteArray::number(Layout)
                            + "; create table entry(name text primary key, size integer not null, modified integer not null,"
                              " changed integer not null, digest blob not null, "
                            + journalformat::HeaderColumns + ") without rowid";
    // made by another program since the reset, or made here
    if ((layoutKnown() || exec(make.constData())) && exec("COMMIT"))
        return true;
    exec("ROLLBACK");
    return false;
}

QHash<QString, JournalIndex::Entry> JournalIndex::entries(QStringList &unusable)
{
    QHash<QString, Entry> found;
    if (!open(false))
        return found;
    if (!layoutKnown()) {
        if (!busy())
            makeAnew();
        return found;
    }
    sqlite3_stmt *statement = nullptr;
    const QByteArray select = "select name, size, modified, changed, digest, " + journalformat::HeaderColumns + " from entry";
    if (sqlite3_prepare_v2(m_db, select.constData(), -1, &statement, nullptr) != SQLITE_OK) {
        if (!busy())
            makeAnew();  // the marks without the table: not the index of this layout
        return found;
    }
    int stepped = SQLITE_ROW;
    while ((stepped = sqlite3_step(statement)) == SQLITE_ROW) {
        const QString name = journalformat::column(statement, 0).toString();
        Entry entry{{sqlite3_column_int64(statement, 1), sqlite3_column_int64(statement, 2), sqlite3_column_int64(statement, 3)},
                    journalformat::HeaderValues(journalformat::HeaderColumnCount)};
        for (int i = 0; i < journalformat::HeaderColumnCount; ++i)
            entry.header[i] = journalformat::column(statement, 5 + i);
        const QByteArrayView digest(static_cast<const char *>(sqlite3_column_blob(statement, 4)),
                                    sqlite3_column_bytes(statement, 4));
        if (digest == entryDigest(name, entry.stamp, entry.header))
            found.insert(name, entry);
        else
            unusable << name;
    }
    const int failure = sqlite3_errcode(m_db);
    sqlite3_finalize(statement);
    if (stepped != SQLITE_DONE) {
        found.clear();
        unusable.clear();
        if (failure == SQLITE_CORRUPT || failure == SQLITE_NOTADB)
            makeAnew();
    }
    return found;
}

void JournalIndex::update(const QHash<QString, Entry> &put, const QStringList &dropped)
{
    if ((put.isEmpty() && dropped.isEmpty()) || !open(true) || sqlite3_db_readonly(m_db, "main") != 0)
        return;
    if (!layoutKnown() && (busy() || !makeAnew()))
        return;
    if (!exec("PRAGMA journal_mode=MEMORY") || !exec("BEGIN IMMEDIATE"))
        return;
    sqlite3_stmt *insert = nullptr, *remove = nullptr;
    const QByteArray insertEntry =
        "insert or replace into entry values(?,?,?,?,?" + QByteArray(",?").repeated(journalformat::HeaderColumnCount) + ")";
    bool written = layoutKnown()  // still, now that no other program can change it
                   && sqlite3_prepare_v2(m_db, insertEntry.constData(), -1, &insert, nullptr) == SQLITE_OK
                   && sqlite3_prepare_v2(m_db, "delete from entry where name=?", -1, &remove, nullptr) == SQLITE_OK;
    for (auto name = dropped.cbegin(); written && name != dropped.cend(); ++name) {
        journalformat::bind(remove, 1, *name);
        written = sqlite3_step(remove) == SQLITE_DONE;
        sqlite3_reset(remove);
    }
    for (auto entry = put.cbegin(); written && entry != put.cend(); ++entry) {
        const QByteArray digest = entryDigest(entry.key(), entry->stamp, entry->header);
        journalformat::bind(insert, 1, entry.key());
        sqlite3_bind_int64(insert, 2, entry->stamp.size);
        sqlite3_bind_int64(insert, 3, entry->stamp.modified);
        sqlite3_bind_int64(insert, 4, entry->stamp.changed);
        sqlite3_bind_blob(insert, 5, digest.constData(), int(digest.size()), SQLITE_TRANSIENT);
        for (int i = 0; i < journalformat::HeaderColumnCount; ++i)
            journalformat::bind(insert, 6 + i, entry->header.value(i));
        written = sqlite3_step(insert) == SQLITE_DONE;
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    sqlite3_finalize(remove);
    if (!written || !exec("COMMIT"))
        exec("ROLLBACK");
}

}  // namespace repair
