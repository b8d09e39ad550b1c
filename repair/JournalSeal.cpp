#include "JournalSeal.h"

#include <QCryptographicHash>
#include <QString>
#include <QtEndian>

#include <cstring>

#include <sqlite3.h>

namespace repair::journalseal {

namespace {

// Adds one value to `hash` as SQLite stores it: its storage class, then its bytes, so that 1,
// 1.0, '1' and x'31' all differ.
void addValue(QCryptographicHash &hash, sqlite3_stmt *statement, int column)
{
    const int type = sqlite3_column_type(statement, column);
    char bytes[9] = {};
    bytes[0] = char(type);
    switch (type) {
    case SQLITE_INTEGER:
        qToBigEndian<qint64>(sqlite3_column_int64(statement, column), bytes + 1);
        hash.addData(QByteArrayView(bytes, 9));
        break;
    case SQLITE_FLOAT: {
        const double real = sqlite3_column_double(statement, column);
        quint64 bits = 0;
        std::memcpy(&bits, &real, sizeof bits);
        qToBigEndian<quint64>(bits, bytes + 1);
        hash.addData(QByteArrayView(bytes, 9));
        break;
    }
    case SQLITE_TEXT:
    case SQLITE_BLOB: {
        // a text's bytes in the file's own encoding, untouched by any conversion
        const void *data = sqlite3_column_blob(statement, column);
        const int size = sqlite3_column_bytes(statement, column);
        qToBigEndian<qint64>(size, bytes + 1);
        hash.addData(QByteArrayView(bytes, 9));
        hash.addData(QByteArrayView(static_cast<const char *>(data), size));
        break;
    }
    default:
        hash.addData(QByteArrayView(bytes, 1));
    }
}

}  // namespace

QByteArray rowDigest(sqlite3_stmt *statement)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(QByteArrayView("n3fix journal row"));
    for (int i = 0; i < sqlite3_column_count(statement); ++i)
        addValue(hash, statement, i);
    return hash.result();
}

void combine(QByteArray &digests, const QByteArray &digest)
{
    digests.resize(DigestSize, '\0');
    for (int i = 0; i < DigestSize && i < digest.size(); ++i)
        digests[i] = char(digests.at(i) ^ digest.at(i));
}

QByteArray headerSeal(sqlite3_stmt *statement)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(QByteArrayView("n3fix journal header"));
    for (int i = 0; i < sqlite3_column_count(statement); ++i) {
        const QByteArray name(sqlite3_column_name(statement, i));
        if (name == "seal" || name == "settings_pending")
            continue;
        hash.addData(name);
        hash.addData(QByteArrayView("\0", 1));
        addValue(hash, statement, i);
    }
    return hash.result();
}

SealCheck check(sqlite3 *db, qint64 &rows, QString &error)
{
    rows = 0;
    sqlite3_stmt *statement = nullptr;
    const auto unreadable = [&] {
        error = QString::fromUtf8(sqlite3_errmsg(db));
        sqlite3_finalize(statement);
        return SealCheck::Unreadable;
    };
    if (sqlite3_prepare_v2(db, "select * from repair", -1, &statement, nullptr) != SQLITE_OK
        || sqlite3_step(statement) != SQLITE_ROW)
        return unreadable();
    QByteArray seal, rowsDigest;
    qint64 rowsSealed = -1;
    for (int i = 0; i < sqlite3_column_count(statement); ++i) {
        const QByteArray name(sqlite3_column_name(statement, i));
        const auto text = [&] {
            return QByteArray::fromHex(QByteArray(reinterpret_cast<const char *>(sqlite3_column_text(statement, i))));
        };
        if (name == "seal" && sqlite3_column_type(statement, i) == SQLITE_TEXT)
            seal = text();
        else if (name == "rows_digest" && sqlite3_column_type(statement, i) == SQLITE_TEXT)
            rowsDigest = text();
        else if (name == "rows_sealed" && sqlite3_column_type(statement, i) == SQLITE_INTEGER)
            rowsSealed = sqlite3_column_int64(statement, i);
    }
    if (seal.isEmpty()) {
        sqlite3_finalize(statement);
        return SealCheck::Unsealed;
    }
    const bool headerWhole = headerSeal(statement) == seal && sqlite3_step(statement) == SQLITE_DONE;
    sqlite3_finalize(statement);
    statement = nullptr;
    if (!headerWhole)
        return SealCheck::Altered;
    // Every row in the order of its number, which must run 1, 2, ... without a gap.
    if (sqlite3_prepare_v2(db, "select * from row order by seq", -1, &statement, nullptr) != SQLITE_OK)
        return unreadable();
    QByteArray digests(DigestSize, '\0');
    bool numbered = true;
    int stepped = SQLITE_ROW;
    while ((stepped = sqlite3_step(statement)) == SQLITE_ROW) {
        ++rows;
        numbered = numbered && sqlite3_column_type(statement, 0) == SQLITE_INTEGER && sqlite3_column_int64(statement, 0) == rows;
        combine(digests, rowDigest(statement));
    }
    if (stepped != SQLITE_DONE)
        return unreadable();
    sqlite3_finalize(statement);
    return numbered && rows == rowsSealed && digests == rowsDigest ? SealCheck::Whole : SealCheck::Altered;
}

}  // namespace repair::journalseal
