#include "EndFlagVerdict.h"

#include <algorithm>

namespace repair {

QStringView withoutPadding(QStringView code)
{
    qsizetype end = code.size();
    while (end > 0 && code[end - 1] == u' ')
        --end;
    return code.first(end);
}

namespace {

// The code as the lookup reads other rows: up to its first NUL, else without trailing blanks.
QStringView asLongerCode(const QString &text)
{
    const qsizetype nul = text.indexOf(QChar(u'\0'));
    return nul >= 0 ? QStringView(text).first(nul) : withoutPadding(text);
}

} // namespace

std::vector<bool> endLevelFlags(const std::vector<ChartCode> &codes)
{
    std::vector<QStringView> longer;
    longer.reserve(codes.size());
    for (const ChartCode &code : codes)
        if (!code.text.isNull() && code.canBeLonger)
            longer.push_back(asLongerCode(code.text));
    // A chart read in code order is usually sorted already.
    if (!std::is_sorted(longer.begin(), longer.end()))
        std::sort(longer.begin(), longer.end());
    longer.erase(std::unique(longer.begin(), longer.end()), longer.end());

    std::vector<bool> flags;
    flags.reserve(codes.size());
    for (const ChartCode &code : codes) {
        if (code.text.isNull() || code.text.contains(QChar(u'\0'))) {
            flags.push_back(true);
            continue;
        }
        const QStringView prefix = withoutPadding(code.text);
        const auto next = std::upper_bound(longer.begin(), longer.end(), prefix);
        flags.push_back(next == longer.end() || !next->startsWith(prefix));
    }
    return flags;
}

} // namespace repair
