#include "StoredValue.h"

namespace db {

QJsonValue jsonValue(const QVariant &value)
{
    if (value.isNull())
        return QJsonValue::Null;
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::UInt:
        return QJsonValue(value.toLongLong());
    case QMetaType::Double:
        return QJsonValue(value.toDouble());
    case QMetaType::Bool:
        return QJsonValue(value.toBool() ? 1 : 0);
    case QMetaType::QByteArray:
        return QStringLiteral("X'%1'").arg(QString::fromLatin1(value.toByteArray().toHex()));
    default:
        return value.toString();
    }
}

QString shownValue(const QVariant &value)
{
    if (value.isNull())
        return QStringLiteral("NULL");
    const QJsonValue json = jsonValue(value);
    return json.isString() && value.typeId() == QMetaType::QString ? value.toString() : json.toVariant().toString();
}

QVariant codeValue(const QString &code)
{
    return code.isNull() ? QVariant() : QVariant(code);
}

} // namespace db
