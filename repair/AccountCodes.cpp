#include "AccountCodes.h"

#include "EndFlagVerdict.h"

#include "db/StoredValue.h"

#include <algorithm>

namespace repair {

QStringView withoutPadding(QStringView code)
{
    qsizetype end = code.size();
    while (end > 0 && code[end - 1] == u' ')
        --end;
    return code.first(end);
}

std::vector<qsizetype> directParents(const std::vector<ChartCode> &codes)
{
    // Every code by its stored bytes (db::bytesOfText()), read as the end-level lookup reads them
    // (endLevelFlags()), in two roles: as a parent (the code the lookup asks about) and as a
    // sub-account (another row the lookup reads). In sorted order every byte-prefix of a text
    // comes before it, and every text between a prefix and the text also begins with that prefix;
    // so a stack of the parents seen so far, popped to those that are byte-prefixes of the next
    // text, holds exactly its prefixes, the longest on top. The nearest of them that the lookup
    // counts as a beginning (beginsWithCode()) is the direct parent. Of equal texts the
    // sub-account's turn comes first, so that no code is its own parent.
    std::vector<QByteArray> bytes;
    bytes.reserve(codes.size());
    for (const ChartCode &code : codes)
        bytes.push_back(db::bytesOfText(code.text));
    struct Turn {
        std::string_view text;
        bool asParent;
        qsizetype index;
    };
    std::vector<Turn> turns;
    turns.reserve(2 * codes.size());
    for (qsizetype i = 0; i < qsizetype(codes.size()); ++i) {
        const ChartCode &code = codes[std::size_t(i)];
        if (code.text.isNull())
            continue;
        const QByteArray &stored = bytes[std::size_t(i)];
        const std::string_view text(stored.constData(), std::size_t(stored.size()));
        if (text.find('\0') == std::string_view::npos)
            turns.push_back({withoutPadding(text), true, i});
        if (code.canBeLonger)
            turns.push_back({asLongerCode(text), false, i});
    }
    std::stable_sort(turns.begin(), turns.end(), [](const Turn &a, const Turn &b) {
        return a.text < b.text || (a.text == b.text && !a.asParent && b.asParent);
    });

    std::vector<qsizetype> parents(codes.size(), -1);
    std::vector<const Turn *> chain;
    for (const Turn &turn : turns) {
        while (!chain.empty() && turn.text.substr(0, chain.back()->text.size()) != chain.back()->text)
            chain.pop_back();
        if (turn.asParent) {
            if (chain.empty() || chain.back()->text != turn.text)
                chain.push_back(&turn);  // a copy of the text on top is not pushed: the first code keeps it
            continue;
        }
        for (auto prefix = chain.rbegin(); prefix != chain.rend(); ++prefix)
            if (beginsWithCode(turn.text, (*prefix)->text)) {
                parents[std::size_t(turn.index)] = (*prefix)->index;
                break;
            }
    }
    return parents;
}

}  // namespace repair
