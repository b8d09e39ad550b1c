#pragma once

#include <QString>

#include <vector>

// How account codes read as the chart's tree, shared by the end-flag repair, the balance check
// and the balance reset: a code's padding, which codes are sub-accounts of which, and each code's
// direct parent. Codes are read as SQLite reads them in the end-flag lookup (endLevelFlags()).
namespace repair {

// One account code as the engine's left() and len() see it.
struct ChartCode {
    QString text;             // null for a NULL code
    bool canBeLonger = true;  // false for a value left() never compares equal to text (a blob)
};

// A code without its trailing blanks: they pad fixed-width columns and are not part of it.
QStringView withoutPadding(QStringView code);

// The direct parent of every code, by the same reading of codes as the end-level flags, on the
// bytes each code is stored in (db::bytesOfText()): the longest other code of the chart that it
// begins with, so that no chart code lies between the
// two. Returns one index per code, in the order given: the position of a code holding the
// parent's text (the first such code when several do), or -1 for a code without a parent.
// One sort: O(n log n) for a chart of n codes.
std::vector<qsizetype> directParents(const std::vector<ChartCode> &codes);

}  // namespace repair
