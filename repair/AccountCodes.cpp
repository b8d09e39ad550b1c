#include "AccountCodes.h"

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

QStringView asLongerCode(const QString &text)
{
    const qsizetype nul = text.indexOf(QChar(u'\0'));
    return nul >= 0 ? QStringView(text).first(nul) : withoutPadding(text);
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
