#pragma once

#include <QString>

namespace app {

// Decides whether the whole of `text` matches `pattern`. The window uses it to find the
// account-set entries that begin with what the user typed: matchesPattern(entry, typed + "*").
//
// Characters are compared one Unicode code point at a time (a surrogate pair is one
// character), case-sensitively, by exact character code:
//   ?         any one character
//   *         any run of characters, including none
//   #         any one ASCII digit 0-9
//   [list]    any one character of the list; "a-z" inside the list is the range between the
//             two characters by character code, both ends included
//   [!list]   any one character not in the list
//   other     that character itself
//
// Decisions for the awkward cases:
//   - A '[' with no ']' anywhere after it is a literal '[', so an entry name containing
//     brackets still matches while the user has typed only its opening bracket.
//     A ']' outside a list is literal. A list ends at the first ']' after its '[' (and '!').
//   - "[]" matches no character; "[!]" matches any one character.
//   - A backwards range ("[z-a]") contains no character.
//   - A '-' first (after the optional '!') or last in a list is literal.
//   - Inside a list '?', '*' and '#' are literal.
//   - Every input gets a plain yes/no; the time is at most proportional to
//     text length x pattern length (no exponential backtracking).
bool matchesPattern(const QString &text, const QString &pattern);

}  // namespace app
