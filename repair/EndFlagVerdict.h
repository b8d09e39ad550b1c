#pragma once

#include "AccountCodes.h"

#include <QString>

#include <vector>

namespace repair {

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

} // namespace repair
