#pragma once

#include "AccountCodes.h"

#include <QString>

#include <functional>
#include <string_view>
#include <vector>

namespace repair {

// One account code as the engine's left() and len() see it, in UTF-8: on SQLite the bytes it is
// stored in.
struct CodeBytes {
    std::string_view text;
    bool isNull = false;
    bool canBeLonger = true;  // false for a value left() never compares equal to text (a blob)
};

// A code's bytes without its trailing blanks.
std::string_view withoutPadding(std::string_view code);
// A code's bytes as the lookup reads other rows: up to its first NUL, else without trailing blanks.
std::string_view asLongerCode(std::string_view text);
// Whether `longer` begins with `code` and goes on after it, as SQLite's substr() and length()
// count characters (see below). Both are taken as given (already without padding).
bool beginsWithCode(std::string_view longer, std::string_view code);

// The end-level flag of every code, worked out in memory exactly as SQLite answers the lookup
// "does a longer code begin with this one" (left(ccode,n)=code and len(ccode)>n, rewritten to
// substr and length(rtrim(...,' ')), the code bound as the bytes it is stored in):
//  - trailing blanks are not part of a code, on either side;
//  - texts compare byte for byte (BINARY), whatever the column's collation: substr()'s result
//    carries none;
//  - SQLite's text functions stop at a NUL character: a longer code is read up to its first NUL
//    (blanks before the NUL count), and a code holding a NUL is never found at all;
//  - substr() counts characters as SQLite does: a byte of 0xC0 or more starts a character that
//    takes every continuation byte (0x80 to 0xBF) after it, any other byte is one character. So a
//    longer code that goes on with continuation bytes right after the code's last character (text
//    not valid UTF-8) does not begin with it;
//  - a NULL code begins no code.
// Codes beginning with a given code follow it directly in sorted order, so one sort and one
// binary search per code decide every flag: O(n log n) for a chart of n codes. `codeAt` gives
// code i of `count`. Returns one flag per code, in the order given: true (end level) when no
// longer code begins with it.
std::vector<bool> endLevelFlags(std::size_t count, const std::function<CodeBytes(std::size_t)> &codeAt);

}  // namespace repair
