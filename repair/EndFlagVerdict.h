#pragma once

#include <QString>

#include <vector>

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

// The end-level flag of every code, worked out in memory exactly as SQLite answers the lookup
// "does a longer code begin with this one" (left(ccode,n)=code and len(ccode)>n, rewritten to
// substr and length(rtrim(...,' '))):
//  - trailing blanks are not part of a code, on either side;
//  - texts compare by character code (BINARY), whatever the column's collation: substr()'s
//    result carries none;
//  - SQLite's text functions stop at a NUL character: a longer code is read up to its first NUL
//    (blanks before the NUL count), and a code holding a NUL is never found at all;
//  - a NULL code begins no code.
// Codes beginning with a given code follow it directly in sorted order, so one sort and one
// binary search per code decide every flag: O(n log n) for a chart of n codes.
// Returns one flag per code, in the order given: true (end level) when no longer code begins
// with it.
std::vector<bool> endLevelFlags(const std::vector<ChartCode> &codes);

// The direct parent of every code, by the same reading of codes as the end-level flags: the
// longest other code of the chart that it begins with, so that no chart code lies between the
// two. Returns one index per code, in the order given: the position of a code holding the
// parent's text (the first such code when several do), or -1 for a code without a parent.
// One sort: O(n log n) for a chart of n codes.
std::vector<qsizetype> directParents(const std::vector<ChartCode> &codes);

} // namespace repair
