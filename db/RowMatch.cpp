#include "RowMatch.h"

#include "QuotedName.h"
#include "StoredValue.h"

namespace db {

Condition allEqual(const QStringList &columns, const QVariantList &values, bool bytesAsText)
{
    QStringList parts;
    QVariantList bound;
    for (int i = 0; i < columns.size(); ++i) {
        const QString column = quotedName(columns.at(i));
        QVariant value = values.value(i);  // a value missing is a null
        if (value.isNull()) {
            parts << column + QStringLiteral(" is null");
            continue;
        }
        // A text beginning with U+FEFF, bound as UTF-16, would lose it: SQLite takes it for a
        // byte-order mark. It is compared by its bytes instead.
        if (bytesAsText && value.typeId() == QMetaType::QString && value.toString().startsWith(QChar(0xFEFF)))
            value = bytesOfText(value.toString());
        const bool bytes = bytesAsText && value.typeId() == QMetaType::QByteArray;
        parts << (bytes ? QStringLiteral("cast(%1 as blob)=?").arg(column) : column + QStringLiteral("=?"));
        bound << value;
    }
    return {parts.isEmpty() ? QStringLiteral("1=1") : parts.join(QStringLiteral(" and ")), bound};
}

}  // namespace db
