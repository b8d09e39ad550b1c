#include "Journal.h"

#include "DurableFiles.h"
#include "JournalFormat.h"
#include "JournalSeal.h"

#include "db/DbError.h"
#include "db/Engine.h"
#include "db/ODBC.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

namespace repair {

using namespace journalformat;

namespace {

// A text the journal keeps, or NULL for one not known.
QVariant orNull(const QString &text)
{
    return text.isEmpty() ? QVariant() : QVariant(text);
}

}  // namespace

QString journalDirectory()
{
    return journalDirectory(ODBC::engine());
}

QString journalDirectory(const db::EngineSettings &engine)
{
    const QString dataDirectory = engine.kind == db::EngineKind::Embedded ? engine.dataDirectory : db::defaultDataDirectory();
    return QDir(dataDirectory).filePath(QStringLiteral("journal"));
}

Journal::Journal(const QString &directory, RepairRecord record) : m_record(std::move(record))
{
    try {
        create(directory);
    } catch (const db::DbError &) {
        sqlite3_finalize(m_insert);
        sqlite3_finalize(m_readRow);
        sqlite3_finalize(m_readHeader);
        sqlite3_close(m_db);
        if (!m_path.isEmpty())
            QFile::remove(m_path);  // a journal never flushed belongs to a repair that changed nothing
        throw;
    }
}

// Claims the journal's file, takes its lock and writes its header and the empty table of rows,
// all in one transaction that flush() commits.
void Journal::create(const QString &directory)
{
    if (!QDir().mkpath(directory))
        throw db::DbError(QStringLiteral("无法创建修复日志目录 %1").arg(QDir::toNativeSeparators(directory)));
    // The id is the start time; a second repair in the same millisecond gets a suffix. The name
    // is claimed by creating the file, so two programs never share one.
    const QDateTime now = QDateTime::currentDateTime();
    m_record.time = now.toOffsetFromUtc(now.offsetFromUtc());  // written with its offset from UTC
    const QString stamp = m_record.time.toString(QStringLiteral("yyyyMMdd-HHmmss-zzz"));
    for (int n = 1; m_path.isEmpty(); ++n) {
        const QString id = n == 1 ? stamp : QStringLiteral("%1-%2").arg(stamp).arg(n);
        QFile file(journalPath(directory, id));
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            m_record.id = id;
            m_path = file.fileName();
        } else if (!file.exists() || n > 1000) {
            throw db::DbError(
                QStringLiteral("无法写入修复日志 %1：%2").arg(QDir::toNativeSeparators(file.fileName()), file.errorString()));
        }
    }
    if (!m_lock.hold(m_path))
        throw db::DbError(QStringLiteral("无法锁定修复日志 %1").arg(QDir::toNativeSeparators(m_path)));
    if (sqlite3_open_v2(m_path.toUtf8().constData(), &m_db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
        fail(QStringLiteral("打开"));
    sqlite3_busy_timeout(m_db, db::EmbeddedBusyTimeoutMs);
    exec("PRAGMA synchronous=FULL");
    // The new file has nothing to roll back to: its first transaction needs no rollback journal,
    // and flush() then costs one sync of the file instead of three. A program killed before flush()
    // returns leaves a file that may not read back, as a repair that never began (listRepairs).
    exec("PRAGMA journal_mode=OFF");
    exec("PRAGMA cache_spill=0");  // nothing reaches the file before flush(), however many rows
    exec("BEGIN");
    exec((QByteArray("create table repair(") + HeaderColumns + ")").constData());

    QStringList rowColumns{QStringLiteral("seq integer primary key"), QStringLiteral("row_id")};
    for (int i = 0; i < m_record.changedColumns.size(); ++i)
        rowColumns << QStringLiteral("old%1").arg(i) << QStringLiteral("new%1").arg(i);
    for (int i = 0; i < m_record.keyColumns.size(); ++i)
        rowColumns << QStringLiteral("key%1").arg(i);
    rowColumns << QStringLiteral("\"row\"");  // JournalRow::position
    exec(("create table row(" + rowColumns.join(QLatin1Char(',')) + ")").toUtf8().constData());

    sqlite3_stmt *header = nullptr;
    const QByteArray insertHeader =
        QByteArray("insert into repair values(") + QByteArray("?,").repeated(HeaderColumnCount - 1) + "?)";
    if (sqlite3_prepare_v2(m_db, insertHeader.constData(), -1, &header, nullptr) != SQLITE_OK)
        fail(QStringLiteral("写入"));
    const RepairRecord &r = m_record;
    const QVariantList values{r.id,
                              r.time.toString(Qt::ISODateWithMs),
                              r.database,
                              r.engine,
                              storedName(r.repair),
                              r.accountSet,
                              r.year,
                              r.code,
                              r.period,
                              r.undoes,
                              r.table,
                              r.rowidName,
                              jsonList(r.changedColumns),
                              jsonList(r.keyColumns),
                              QVariant(),
                              QVariant(),
                              QVariant(),
                              QVariant(),
                              r.journalModeToRestore.isEmpty() ? QVariant() : QVariant(r.journalModeToRestore),
                              r.settingsPending ? 1 : 0,
                              QVariant()};
    // the columns after those: user_name, host_name, and rows_sealed, rows_digest and seal, which seal() sets
    const QVariantList rest{orNull(r.user), orNull(r.host), 0, QString(), QVariant()};
    for (int i = 0; i < rest.size(); ++i)
        bind(header, int(values.size()) + i + 1, rest.at(i));
    for (int i = 0; i < values.size(); ++i)
        bind(header, i + 1, values.at(i));
    const int stepped = sqlite3_step(header);
    sqlite3_finalize(header);
    if (stepped != SQLITE_DONE)
        fail(QStringLiteral("写入"));

    const QString insertRow =
        QStringLiteral("insert into row values(null%1)").arg(QStringLiteral(",?").repeated(rowColumns.size() - 1));
    if (sqlite3_prepare_v2(m_db, insertRow.toUtf8().constData(), -1, &m_insert, nullptr) != SQLITE_OK
        || sqlite3_prepare_v2(m_db, "select * from row where seq=?", -1, &m_readRow, nullptr) != SQLITE_OK
        || sqlite3_prepare_v2(m_db, "select * from repair", -1, &m_readHeader, nullptr) != SQLITE_OK)
        fail(QStringLiteral("写入"));
}

Journal::~Journal()
{
    sqlite3_finalize(m_insert);
    sqlite3_finalize(m_readRow);
    sqlite3_finalize(m_readHeader);
    sqlite3_close(m_db);  // an unflushed journal is rolled back to an empty file
}

void Journal::fail(const QString &what)
{
    throw db::DbError(
        QStringLiteral("无法%1修复日志 %2：%3").arg(what, QDir::toNativeSeparators(m_path), QString::fromUtf8(sqlite3_errmsg(m_db))));
}

// Gives up a journal that could not be made durable, before the repair has changed anything:
// the file goes, its lock is let go, and `reason` is raised.
void Journal::discard(const QString &reason)
{
    sqlite3_finalize(m_insert);
    m_insert = nullptr;
    sqlite3_finalize(m_readRow);
    m_readRow = nullptr;
    sqlite3_finalize(m_readHeader);
    m_readHeader = nullptr;
    sqlite3_close(m_db);
    m_db = nullptr;
    QFile::remove(m_path);
    m_lock.release();
    throw db::DbError(QStringLiteral("无法写入修复日志 %1：%2").arg(QDir::toNativeSeparators(m_path), reason));
}

void Journal::exec(const char *sql)
{
    if (sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
        fail(QStringLiteral("写入"));
}

// Inserts the row; once the journal is on disk, its digest, as the file stores it, joins the
// rows' combined digest (flush() takes those of the rows before it in one read).
qint64 Journal::insertRow(const JournalRow &row)
{
    int i = 1;
    bind(m_insert, i++, row.rowid);
    for (int c = 0; c < m_record.changedColumns.size(); ++c) {
        bind(m_insert, i++, row.oldValues.value(c));
        bind(m_insert, i++, row.newValues.value(c));
    }
    for (int k = 0; k < m_record.keyColumns.size(); ++k)
        bind(m_insert, i++, row.key.value(k));
    bind(m_insert, i++, row.position > 0 ? QVariant(row.position) : QVariant());
    const int stepped = sqlite3_step(m_insert);
    sqlite3_reset(m_insert);
    if (stepped != SQLITE_DONE)
        fail(QStringLiteral("写入"));
    const qint64 seq = sqlite3_last_insert_rowid(m_db);
    if (m_flushed) {
        journalseal::combine(m_rowsDigest, storedRowDigest(seq));
        ++m_rowsSealed;
    }
    return seq;
}

qint64 Journal::addRow(const JournalRow &row)
{
    return m_flushed ? appendRow(row) : insertRow(row);
}

// The digest of row `seq` as the file holds it.
QByteArray Journal::storedRowDigest(qint64 seq)
{
    sqlite3_bind_int64(m_readRow, 1, seq);
    const bool found = sqlite3_step(m_readRow) == SQLITE_ROW;
    QByteArray digest = found ? journalseal::rowDigest(m_readRow) : QByteArray();
    sqlite3_reset(m_readRow);
    if (!found)
        fail(QStringLiteral("写入"));
    return digest;
}

// Runs one statement with `values` bound to it; raises what the file refused.
void Journal::execBound(const char *sql, const QVariantList &values)
{
    sqlite3_stmt *statement = nullptr;
    if (sqlite3_prepare_v2(m_db, sql, -1, &statement, nullptr) != SQLITE_OK)
        fail(QStringLiteral("写入"));
    for (int i = 0; i < values.size(); ++i)
        bind(statement, i + 1, values.at(i));
    const int stepped = sqlite3_step(statement);
    sqlite3_finalize(statement);
    if (stepped != SQLITE_DONE)
        fail(QStringLiteral("写入"));
}

// Brings the header's seal up to date with the rows and the header as they now stand, inside the
// transaction that changed them.
void Journal::seal()
{
    execBound("update repair set rows_sealed=?, rows_digest=?", {m_rowsSealed, QString::fromLatin1(m_rowsDigest.toHex())});
    const bool read = sqlite3_step(m_readHeader) == SQLITE_ROW;
    const QByteArray headerSeal = read ? journalseal::headerSeal(m_readHeader) : QByteArray();
    sqlite3_reset(m_readHeader);
    if (!read)
        fail(QStringLiteral("写入"));
    execBound("update repair set seal=?", {QString::fromLatin1(headerSeal.toHex())});
}

// Runs `change` and the new seal as one transaction of the journal file; on a failure the file
// and the seal kept here are as they were, and the failure is raised.
template <typename Change> void Journal::sealed(Change change)
{
    const QByteArray digest = m_rowsDigest;
    const qint64 rows = m_rowsSealed;
    try {
        exec("BEGIN");
        change();
        seal();
        exec("COMMIT");
    } catch (const db::DbError &) {
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
        m_rowsDigest = digest;
        m_rowsSealed = rows;
        throw;
    }
}

// The digests of every row so far, as the file stores them, combined, in one read of the rows.
void Journal::sealRows()
{
    sqlite3_stmt *rows = nullptr;
    if (sqlite3_prepare_v2(m_db, "select * from row", -1, &rows, nullptr) != SQLITE_OK)
        fail(QStringLiteral("写入"));
    int stepped = SQLITE_ROW;
    while ((stepped = sqlite3_step(rows)) == SQLITE_ROW) {
        journalseal::combine(m_rowsDigest, journalseal::rowDigest(rows));
        ++m_rowsSealed;
    }
    sqlite3_finalize(rows);
    if (stepped != SQLITE_DONE)
        fail(QStringLiteral("写入"));
}

void Journal::flush()
{
    sealRows();
    if (m_record.rowsVisited >= 0)
        exec(QByteArray("update repair set rows_visited=" + QByteArray::number(m_record.rowsVisited)).constData());
    seal();
    // Without a rollback journal a failed first commit can leave a torn file
    if (sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK)
        discard(QString::fromUtf8(sqlite3_errmsg(m_db)));
    // a journal whose name in its folder may not survive a crash can't vouch for the repair
    const QString unsynced = syncDirectory(QFileInfo(m_path).absolutePath());
    if (!unsynced.isEmpty())
        discard(unsynced);
    // Later changes are all-or-nothing again. They only add to what is on disk already (the
    // outcome, a corrected or added row), so they need not wait for every sync a first write
    // needs; each is still on disk when its statement returns.
    exec("PRAGMA journal_mode=DELETE");
    exec("PRAGMA synchronous=NORMAL");
    m_flushed = true;
}

qint64 Journal::appendRow(const JournalRow &row)
{
    if (!m_flushed)
        return insertRow(row);
    qint64 seq = 0;
    sealed([&] { seq = insertRow(row); });  // its own transaction, on disk before it returns
    return seq;
}

void Journal::setNewValues(qint64 row, const QVariantList &values)
{
    QStringList assignments;
    for (int c = 0; c < m_record.changedColumns.size(); ++c)
        assignments << QStringLiteral("new%1=?").arg(c);
    const QByteArray sql = ("update row set " + assignments.join(QLatin1Char(',')) + " where seq=?").toUtf8();
    QVariantList bound = values.mid(0, m_record.changedColumns.size());
    while (bound.size() < m_record.changedColumns.size())
        bound << QVariant();
    bound << row;
    if (!m_flushed) {
        execBound(sql.constData(), bound);  // sealed with the others by flush()
        return;
    }
    sealed([&] {
        journalseal::combine(m_rowsDigest, storedRowDigest(row));  // the row as it was leaves the seal
        execBound(sql.constData(), bound);
        journalseal::combine(m_rowsDigest, storedRowDigest(row));  // and as it is now joins it
    });
}

QString Journal::finish(Outcome outcome, qint64 rowsDone, qint64 rowsChanged, const QString &message, bool settingsRestored)
{
    m_record.outcome = outcome;
    m_record.rowsDone = rowsDone;
    m_record.rowsChanged = rowsChanged;
    m_record.message = message;
    m_record.settingsPending = m_record.settingsPending && !settingsRestored;
    try {
        sealed([&] {
            execBound("update repair set outcome=?, rows_done=?, rows_changed=?, message=?, settings_pending=?, rows_visited=?",
                      {storedName(outcome), rowsDone, rowsChanged, message.isEmpty() ? QVariant() : QVariant(message),
                       m_record.settingsPending ? 1 : 0, m_record.rowsVisited < 0 ? QVariant() : QVariant(m_record.rowsVisited)});
        });
    } catch (const db::DbError &error) {
        m_lock.release();
        return error.description();
    }
    m_lock.release();
    return QString();
}

}  // namespace repair
