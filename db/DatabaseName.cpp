#include "DatabaseName.h"

#include <QList>

namespace db {

QString databaseNameFault(const QString &name)
{
    if (name.isEmpty())
        return QStringLiteral("数据库名称为空。");
    for (const uint code : name.toUcs4()) {
        const char32_t c = code;
        if (c == U'_' || QChar::isLetterOrNumber(c))
            continue;
        // Control characters have no face of their own, so they are named by their code.
        const QString shown = c < 0x20 || c == 0x7f ? QStringLiteral("U+%1").arg(uint(c), 4, 16, QLatin1Char('0')).toUpper()
                                                    : QStringLiteral("“%1”").arg(QString::fromUcs4(&c, 1));
        return QStringLiteral("数据库名称中含有不允许的字符 %1：名称只能由字母、数字和下划线组成。").arg(shown);
    }
    return QString();
}

}  // namespace db
