#include "ResetPeriod.h"

#include <QRegularExpression>

namespace repair {

std::optional<int> ResetPeriod::month() const
{
    if (number.typeId() != QMetaType::LongLong)
        return std::nullopt;  // no whole number, or one beyond 64 bits
    const qlonglong value = number.toLongLong();
    if (value < 1 || value > 12)
        return std::nullopt;
    return int(value);
}

ResetPeriod resetPeriod(const QString &given)
{
    static const QRegularExpression form(QStringLiteral(R"(^ *[+-]?[0-9]+ *$)"));
    ResetPeriod period{given, QVariant()};
    if (!form.match(given).hasMatch())
        return period;
    bool fits = false;
    const qlonglong value = given.trimmed().toLongLong(&fits);
    period.number = fits ? QVariant(value) : QVariant(given.trimmed().toDouble());
    return period;
}

ResetPeriod resetMonthPeriod(const QString &given)
{
    ResetPeriod period = resetPeriod(given);
    if (const std::optional<int> month = period.month())
        period.text = QString::number(*month);
    return period;
}

}  // namespace repair
