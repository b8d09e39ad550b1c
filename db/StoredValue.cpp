#include "StoredValue.h"

#include <limits>

namespace db {

StorageClass storageClass(const QVariant &value)
{
    if (value.isNull())
        return StorageClass::Null;
    switch (value.typeId()) {
    case QMetaType::Bool:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
        return StorageClass::Integer;
    case QMetaType::ULongLong:
        // Beyond the signed 64 bits no SQLite integer holds it: it is kept as its digits.
        return value.toULongLong() <= quint64(std::numeric_limits<qint64>::max()) ? StorageClass::Integer : StorageClass::Other;
    case QMetaType::Float:
    case QMetaType::Double:
        return StorageClass::Real;
    case QMetaType::QString:
        return StorageClass::Text;
    case QMetaType::QByteArray:
        return StorageClass::Blob;
    default:
        return StorageClass::Other;
    }
}

QJsonValue jsonValue(const QVariant &value)
{
    switch (storageClass(value)) {
    case StorageClass::Null:
        return QJsonValue::Null;
    case StorageClass::Integer:
        return QJsonValue(value.toLongLong());
    case StorageClass::Real:
        return QJsonValue(value.toDouble());
    case StorageClass::Blob:
        return QStringLiteral("X'%1'").arg(QString::fromLatin1(value.toByteArray().toHex()));
    case StorageClass::Text:
    case StorageClass::Other:
        break;
    }
    return value.toString();
}

QString shownValue(const QVariant &value)
{
    if (value.isNull())
        return QStringLiteral("NULL");
    return jsonValue(value).toVariant().toString();
}

QVariant codeValue(const QString &code)
{
    return code.isNull() ? QVariant() : QVariant(code);
}

} // namespace db
