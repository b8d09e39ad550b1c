#include "StoredValue.h"

#include <QStringDecoder>

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

bool storedAsInteger(const QVariant &stored, qint64 value)
{
    return storageClass(stored) == StorageClass::Integer && stored.toLongLong() == value;
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
    // a leading U+FEFF is invisible, and JSON readers drop it: the code would read as another
    if (holdsUndecodedBytes(code) || code.startsWith(QChar(0xFEFF)))
        return bytesOfText(code);
    return code.isNull() ? QVariant() : QVariant(code);
}

QString shownCode(const QString &code)
{
    return shownValue(codeValue(code));
}

QString codeBytesExpression(const QString &column)
{
    return QStringLiteral("case when typeof(%1)='blob' or (typeof(%1)='text' and %1 glob '*[^ -~]*') then cast(%1 as blob) end")
        .arg(column);
}

namespace {

// Whether the unit at `i` stands for an undecoded byte: a low surrogate in U+DC80..U+DCFF that is
// not the second half of a pair (a byte below 0x80 is always valid UTF-8 on its own).
bool isUndecodedByte(const QString &text, qsizetype i)
{
    const char16_t unit = text.at(i).unicode();
    return unit >= 0xDC80 && unit <= 0xDCFF && (i == 0 || !text.at(i - 1).isHighSurrogate());
}

// How many bytes a UTF-8 sequence beginning with `lead` takes, or 0 for a byte no sequence begins with.
qsizetype sequenceLength(unsigned char lead)
{
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        return 2;
    if (lead >= 0xE0 && lead <= 0xEF)
        return 3;
    return lead >= 0xF0 && lead <= 0xF4 ? 4 : 0;
}

}  // namespace

QString textOfBytes(QByteArrayView bytes)
{
    // A leading byte-order mark is kept as U+FEFF: it is part of what is stored, and a code that
    // begins with one is another code than the same code without it.
    constexpr auto flags = QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom;
    {
        QStringDecoder whole(QStringDecoder::Utf8, flags);
        QString text = whole(bytes);
        if (!whole.hasError())
            return text;
    }
    // One character at a time: each sequence that decodes on its own is kept, any other byte escaped.
    QString text;
    text.reserve(bytes.size());
    for (qsizetype i = 0; i < bytes.size();) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        const qsizetype length = sequenceLength(lead);
        if (length > 0 && i + length <= bytes.size()) {
            QStringDecoder one(QStringDecoder::Utf8, flags);
            const QString character = one(bytes.sliced(i, length));
            if (!one.hasError()) {
                text += character;
                i += length;
                continue;
            }
        }
        text += QChar(char16_t(0xDC00 | lead));
        ++i;
    }
    return text;
}

bool holdsUndecodedBytes(const QString &text)
{
    for (qsizetype i = 0; i < text.size(); ++i)
        if (isUndecodedByte(text, i))
            return true;
    return false;
}

QByteArray bytesOfText(const QString &text)
{
    QByteArray bytes;
    qsizetype start = 0;  // the start of the run of decoded text not yet added
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (!isUndecodedByte(text, i))
            continue;
        bytes += QStringView(text).sliced(start, i - start).toUtf8();
        bytes += char(text.at(i).unicode() & 0xFF);
        start = i + 1;
    }
    return bytes + QStringView(text).sliced(start).toUtf8();
}

}  // namespace db
