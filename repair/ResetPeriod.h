#pragma once

#include <QString>
#include <QVariant>

#include <optional>

namespace repair {

// A balance reset's first period, read once from the text the user gave: a whole number, blanks
// around it and a sign allowed (" 9", "+9", "09"); anything else (empty, decimals, "3a", SQL) is
// no period at all. The reset compares it with iperiod as a number.
struct ResetPeriod {
    QString text;  // as the reset says and journals it
    // The whole number it is, a qlonglong, or a double beyond 64 bits (no stored period reaches
    // it); invalid when it is none.
    QVariant number;

    // The month it names, where it is one of the months 1 to 12 that the window's month list
    // offers; nothing for any other text (13, 0, "3a", "1.5", empty).
    std::optional<int> month() const;
};

// The period as the window's reset takes it: any whole number, said and journaled as typed.
ResetPeriod resetPeriod(const QString &given);
// The period as the command line takes it, held to a month: said and journaled as the month's
// number (" 5" and "05" as "5"); other text as given, which month() then refuses.
ResetPeriod resetMonthPeriod(const QString &given);

}  // namespace repair
