#include "EndFlagVerdict.h"

#include <algorithm>

namespace repair {

std::string_view withoutPadding(std::string_view code)
{
    std::size_t end = code.size();
    while (end > 0 && code[end - 1] == ' ')
        --end;
    return code.substr(0, end);
}

std::string_view asLongerCode(std::string_view text)
{
    const std::size_t nul = text.find('\0');
    return nul != std::string_view::npos ? text.substr(0, nul) : withoutPadding(text);
}

namespace {

bool isContinuationByte(char byte)
{
    return (static_cast<unsigned char>(byte) & 0xC0) == 0x80;
}

// Whether SQLite reads the last character of `code` as one that takes the continuation bytes
// after it: one that starts with a byte of 0xC0 or more.
bool endsInLongCharacter(std::string_view code)
{
    std::size_t i = code.size();
    while (i > 0 && isContinuationByte(code[i - 1]))
        --i;
    return i > 0 && static_cast<unsigned char>(code[i - 1]) >= 0xC0;
}

}  // namespace

bool beginsWithCode(std::string_view longer, std::string_view code)
{
    return longer.size() > code.size() && longer.substr(0, code.size()) == code
           && !(isContinuationByte(longer[code.size()]) && endsInLongCharacter(code));
}

std::vector<bool> endLevelFlags(std::size_t count, const std::function<CodeBytes(std::size_t)> &codeAt)
{
    std::vector<std::string_view> longer;
    for (std::size_t i = 0; i < count; ++i)
        if (const CodeBytes code = codeAt(i); !code.isNull && code.canBeLonger)
            longer.push_back(asLongerCode(code.text));
    // A chart read in code order is usually sorted already.
    if (!std::is_sorted(longer.begin(), longer.end()))
        std::sort(longer.begin(), longer.end());
    longer.erase(std::unique(longer.begin(), longer.end()), longer.end());

    std::vector<bool> flags(count, true);
    for (std::size_t i = 0; i < count; ++i) {
        const CodeBytes code = codeAt(i);
        if (code.isNull || code.text.find('\0') != std::string_view::npos)
            continue;
        const std::string_view prefix = withoutPadding(code.text);
        auto next = std::upper_bound(longer.begin(), longer.end(), prefix);
        if (next != longer.end() && !beginsWithCode(*next, prefix) && endsInLongCharacter(prefix)) {
            // the codes that go on with continuation bytes come first: look past them
            const std::string past = std::string(prefix) + char(0xC0);
            next = std::lower_bound(next, longer.end(), std::string_view(past));
        }
        flags[i] = next == longer.end() || !beginsWithCode(*next, prefix);
    }
    return flags;
}

}  // namespace repair
