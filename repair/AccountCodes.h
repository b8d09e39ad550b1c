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

// Whether `longer` is a sub-account code of `code`: longer than it, and beginning with it. Both
// are taken as given (already without padding).
bool isSubAccountCode(QStringView longer, QStringView code);

// The code as the lookup reads other rows, those that may begin with a code: up to its first NUL
// (SQLite's text functions stop there), else without trailing blanks.
QStringView asLongerCode(const QString &text);

// The direct parent of every code, by the same reading of codes as the end-level flags: the
// longest other code of the chart that it begins with, so that no chart code lies between the
// two. Returns one index per code, in the order given: the position of a code holding the
// parent's text (the first such code when several do), or -1 for a code without a parent.
// One sort: O(n log n) for a chart of n codes.
std::vector<qsizetype> directParents(const std::vector<ChartCode> &codes);

} // namespace repair
