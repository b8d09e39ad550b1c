#include "StoredText.h"

#include "db/Connection.h"
#include "db/QuotedName.h"

#include <QSqlQuery>
#include <QStringDecoder>

namespace repair {

namespace {

// Whether `bytes` are valid UTF-8.
bool isUtf8(const QByteArray &bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = decoder(bytes);  // decoding sets the error
    return !decoder.hasError();
}

}  // namespace

QVariant storedText(db::Connection &connection, const QString &table, const QString &rowidName, const QVariant &rowid,
                    const QString &column, const QVariant &read)
{
    // only a decoded text that holds a replaced byte can differ from what is stored
    if (read.typeId() != QMetaType::QString || !read.toString().contains(QChar::ReplacementCharacter)
        || connection.dialect() != db::SqlDialect::Sqlite || rowidName.isEmpty() || rowid.isNull())
        return read;
    QSqlQuery query(connection.openDatabase());
    query.prepare(QStringLiteral("select cast(%1 as blob) from %2 where %3=?")
                      .arg(db::quotedName(column), db::quotedName(table), db::quotedName(rowidName)));
    query.addBindValue(rowid);
    if (!query.exec() || !query.next())
        return read;
    const QByteArray bytes = query.value(0).toByteArray();
    return isUtf8(bytes) ? read : QVariant(bytes);
}

}  // namespace repair
