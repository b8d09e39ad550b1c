#include "JournaledValues.h"

#include "db/StoredValue.h"

namespace repair {

namespace {

bool sameValue(const QVariant &a, const QVariant &b)
{
    if (a.isNull() || b.isNull())
        return a.isNull() && b.isNull();
    const auto isNumber = [](const QVariant &v) {
        const db::StorageClass kind = db::storageClass(v);
        return kind == db::StorageClass::Integer || kind == db::StorageClass::Real;
    };
    if (isNumber(a) && isNumber(b))
        return a.toDouble() == b.toDouble();
    return a.typeId() == b.typeId() && a == b;
}

// The form a value is stored in: whole numbers of any width are one form, reals another, every
// other type its own.
int formOf(const QVariant &value)
{
    return db::storageClass(value) == db::StorageClass::Integer ? QMetaType::LongLong : value.typeId();
}

bool identicalValue(const QVariant &a, const QVariant &b)
{
    if (a.isNull() || b.isNull())
        return a.isNull() && b.isNull();
    if (formOf(a) != formOf(b))
        return false;
    return formOf(a) == QMetaType::LongLong ? a.toLongLong() == b.toLongLong() : a == b;
}

bool allSame(const QVariantList &a, const QVariantList &b, bool (*same)(const QVariant &, const QVariant &))
{
    if (a.size() != b.size())
        return false;
    for (int i = 0; i < a.size(); ++i)
        if (!same(a.at(i), b.at(i)))
            return false;
    return true;
}

}  // namespace

bool sameValues(const QVariantList &a, const QVariantList &b)
{
    return allSame(a, b, sameValue);
}

bool identicalValues(const QVariantList &a, const QVariantList &b)
{
    return allSame(a, b, identicalValue);
}

QString valueKey(const QVariant &value)
{
    if (value.isNull())
        return QStringLiteral("N;");
    const QString text =
        db::storageClass(value) == db::StorageClass::Blob ? QString::fromLatin1(value.toByteArray().toHex()) : value.toString();
    return QStringLiteral("%1:%2:%3;").arg(formOf(value)).arg(text.size()).arg(text);
}

}  // namespace repair
