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

bool isSubAccountCode(QStringView longer, QStringView code)
{
    return longer.size() > code.size() && longer.startsWith(code);
}

namespace {

// The code as the lookup reads other rows: up to its first NUL, else without trailing blanks.
QStringView asLongerCode(const QString &text)
{
    const qsizetype nul = text.indexOf(QChar(u'\0'));
    return nul >= 0 ? QStringView(text).first(nul) : withoutPadding(text);
}

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

// Whether `longer` begins with `code` and goes on after it, as SQLite's substr() and length()
// count characters.
bool beginsWithCode(std::string_view longer, std::string_view code)
{
    return longer.size() > code.size() && longer.substr(0, code.size()) == code
        && !(isContinuationByte(longer[code.size()]) && endsInLongCharacter(code));
}

} // namespace

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

std::vector<qsizetype> directParents(const std::vector<ChartCode> &codes)
{
    // Every code in two roles: as a parent (read as the lookup reads the code it asks about) and as
    // a sub-account (read as the lookup reads other rows). In sorted order the parents of a text
    // come before it, and every text between a parent and its sub-account also begins with the
    // parent; so a stack of the parents seen so far, popped to those the next text begins with,
    // holds exactly the chain of its parents, the nearest on top. Of equal texts the
    // sub-account's turn comes first, so that no code is its own parent.
    struct Turn {
        QStringView text;
        bool asParent;
        qsizetype index;
    };
    std::vector<Turn> turns;
    turns.reserve(2 * codes.size());
    for (qsizetype i = 0; i < qsizetype(codes.size()); ++i) {
        const ChartCode &code = codes[std::size_t(i)];
        if (code.text.isNull())
            continue;
        if (!code.text.contains(QChar(u'\0')))
            turns.push_back({withoutPadding(code.text), true, i});
        if (code.canBeLonger)
            turns.push_back({asLongerCode(code.text), false, i});
    }
    std::stable_sort(turns.begin(), turns.end(), [](const Turn &a, const Turn &b) {
        return a.text < b.text || (a.text == b.text && !a.asParent && b.asParent);
    });

    std::vector<qsizetype> parents(codes.size(), -1);
    std::vector<const Turn *> chain;
    for (const Turn &turn : turns) {
        while (!chain.empty() && chain.back()->text != turn.text && !isSubAccountCode(turn.text, chain.back()->text))
            chain.pop_back();
        if (!turn.asParent)
            parents[std::size_t(turn.index)] = chain.empty() ? -1 : chain.back()->index;
        else if (chain.empty() || chain.back()->text != turn.text)
            chain.push_back(&turn);  // a copy of the text on top is not pushed: the first code keeps it
    }
    return parents;
}

} // namespace repair
