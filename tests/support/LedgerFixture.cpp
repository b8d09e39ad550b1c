#include "LedgerFixture.h"

namespace LedgerFixture {

QString spelled(const QJsonValue &value)
{
    if (value.isNull())
        return "null";
    if (value.isString())
        return '\'' + value.toString() + '\'';
    return QString::number(value.toDouble(), 'g', 15);
}

QString amount(const QJsonValue &value)
{
    return value.isString() ? value.toString() : value.isNull() ? QString("null") : "number " + spelled(value);
}

}  // namespace LedgerFixture
