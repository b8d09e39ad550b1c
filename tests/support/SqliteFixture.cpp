#include "SqliteFixture.h"

#include <QDirIterator>
#include <QTest>

#include <sqlite3.h>

namespace SqliteFixture {

namespace {

struct Handle {
    sqlite3 *db = nullptr;
    explicit Handle(const QString &path)
    {
        if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK)
            qFatal("cannot open %s: %s", qPrintable(path), sqlite3_errmsg(db));
        sqlite3_busy_timeout(db, 10000);
    }
    ~Handle() { sqlite3_close(db); }
};

QString valueText(sqlite3_stmt *statement, int column)
{
    switch (sqlite3_column_type(statement, column)) {
    case SQLITE_NULL:
        return QStringLiteral("NULL");
    case SQLITE_INTEGER:
        return QStringLiteral("i:") + QString::number(sqlite3_column_int64(statement, column));
    case SQLITE_FLOAT:
        return QStringLiteral("f:") + QString::number(sqlite3_column_double(statement, column), 'g', 17);
    default:
        return QStringLiteral("t:'")
               + QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(statement, column)),
                                   sqlite3_column_bytes(statement, column))
               + QLatin1Char('\'');
    }
}

QString query(sqlite3 *db, const QString &sql)
{
    sqlite3_stmt *statement = nullptr;
    if (sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &statement, nullptr) != SQLITE_OK)
        qFatal("cannot read: %s (%s)", sqlite3_errmsg(db), qPrintable(sql));
    QString out;
    while (sqlite3_step(statement) == SQLITE_ROW) {
        QStringList values;
        for (int i = 0; i < sqlite3_column_count(statement); ++i)
            values << valueText(statement, i);
        out += values.join(QLatin1Char('|')) + QLatin1Char('\n');
    }
    sqlite3_finalize(statement);
    return out;
}

// Every row of `table` in rowid order.
QString rows(sqlite3 *db, const QString &table)
{
    return query(db, "select * from \"" + table + "\" order by rowid");
}

}  // namespace

QString literal(QString text)
{
    return text.isNull() ? "NULL" : '\'' + text.replace('\'', "''") + '\'';
}

void run(const QString &path, const QString &script)
{
    Handle handle(path);
    char *error = nullptr;
    if (sqlite3_exec(handle.db, script.toUtf8().constData(), nullptr, nullptr, &error) != SQLITE_OK) {
        const QString message = QString::fromUtf8(error);
        sqlite3_free(error);
        QFAIL(qPrintable(QStringLiteral("fixture script failed: ") + message));
    }
}

void runLeavingLog(const QString &path, const QString &script)
{
    Handle handle(path);
    sqlite3_db_config(handle.db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    char *error = nullptr;
    if (sqlite3_exec(handle.db, ("pragma journal_mode=wal; pragma wal_autocheckpoint=0;" + script).toUtf8().constData(), nullptr,
                     nullptr, &error)
        != SQLITE_OK) {
        const QString message = QString::fromUtf8(error);
        sqlite3_free(error);
        QFAIL(qPrintable(QStringLiteral("fixture script failed: ") + message));
    }
}

QString select(const QString &path, const QString &sql)
{
    Handle handle(path);
    return query(handle.db, sql);
}

QString dump(const QString &path, const QString &table)
{
    Handle handle(path);
    return rows(handle.db, table);
}

QString dumpAll(const QString &path)
{
    Handle handle(path);
    QString out = query(handle.db, QStringLiteral("select type, name, sql from sqlite_master order by name"));
    const QString tables = query(handle.db, "select name from sqlite_master where type='table' order by name");
    for (QString table : tables.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        table = table.mid(3, table.size() - 4);  // strip the t:'...' of the dump format
        out += QStringLiteral("== ") + table + QLatin1Char('\n') + rows(handle.db, table);
    }
    return out;
}

QMap<QString, QByteArray> dumpDirectory(const QString &dir)
{
    // All names first, so that reading a database cannot add an entry to the listing.
    QMap<QString, QByteArray> all;
    QDirIterator it(dir, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo entry = it.nextFileInfo();
        const QString name = QDir(dir).relativeFilePath(entry.filePath()) + (entry.isDir() ? "/" : "");
        if (!name.startsWith("journal/") && !name.contains("/journal/"))
            all[name];
    }
    for (auto entry = all.begin(); entry != all.end(); ++entry) {
        QFile file(QDir(dir).filePath(entry.key()));
        if (!entry.key().endsWith('/') && file.open(QIODevice::ReadOnly))
            entry.value() = file.readAll();
        // A database file begins with the 16 bytes "SQLite format 3\0".
        if (entry.key().endsWith(".db") && entry.value().startsWith(QByteArray("SQLite format 3", 16)))
            entry.value() = (dumpAll(file.fileName()) + dump(file.fileName(), "pragma_journal_mode")).toUtf8();
    }
    return all;
}

}  // namespace SqliteFixture
