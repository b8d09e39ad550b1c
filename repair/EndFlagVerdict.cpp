#include "EndFlagVerdict.h"

#include <algorithm>

namespace repair {

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
        flags.push_back(next == longer.end() || !isSubAccountCode(*next, prefix));
    }
    return flags;
}

} // namespace repair
