#include "app/PatternMatch.h"

#include <QList>

#include <utility>
#include <vector>

namespace app {

namespace {

// One compiled pattern element. Every kind but Star stands for exactly one text character.
struct Token {
    enum Kind { Literal, Any, Digit, Set, Star } kind;
    char32_t ch = 0;                                    // Literal
    bool negated = false;                               // Set: "[!...]"
    std::vector<std::pair<char32_t, char32_t>> ranges;  // Set: inclusive ranges; a single
                                                        // character c is stored as (c, c)
};

bool tokenMatches(const Token &t, char32_t c)
{
    switch (t.kind) {
    case Token::Literal:
        return c == t.ch;
    case Token::Any:
        return true;
    case Token::Digit:
        return c >= U'0' && c <= U'9';
    case Token::Set: {
        bool inList = false;
        for (const auto &r : t.ranges) {
            if (r.first <= c && c <= r.second) {  // a backwards range never holds
                inList = true;
                break;
            }
        }
        return inList != t.negated;
    }
    case Token::Star:
        break;
    }
    return false;
}

// Turns the pattern into tokens, collapsing runs of '*' into one Star. Linear in the
// pattern length: the last ']' is found once, so an unclosed '[' is recognised without
// searching the rest of the pattern again, and a closed list's body is read only once.
std::vector<Token> compile(const std::vector<char32_t> &p)
{
    std::vector<Token> tokens;
    const long n = long(p.size());
    long lastClose = -1;
    for (long i = n - 1; i >= 0; --i) {
        if (p[size_t(i)] == U']') {
            lastClose = i;
            break;
        }
    }

    for (long i = 0; i < n; ++i) {
        const char32_t c = p[size_t(i)];
        Token t{Token::Literal, 0, false, {}};
        if (c == U'*') {
            if (!tokens.empty() && tokens.back().kind == Token::Star)
                continue;
            t.kind = Token::Star;
        } else if (c == U'?') {
            t.kind = Token::Any;
        } else if (c == U'#') {
            t.kind = Token::Digit;
        } else if (c == U'[') {
            long start = i + 1;
            const bool negated = start < n && p[size_t(start)] == U'!';
            if (negated)
                ++start;
            if (lastClose < start) {  // no ']' after the list would begin: literal '['
                t.ch = c;
                tokens.push_back(std::move(t));
                continue;
            }
            long end = start;
            while (p[size_t(end)] != U']')
                ++end;
            t.kind = Token::Set;
            t.negated = negated;
            for (long k = start; k < end; ++k) {
                const char32_t a = p[size_t(k)];
                // "a-b" is a range unless the '-' is last; a '-' first is a plain member.
                const bool leadingHyphen = (k == start && a == U'-');
                if (!leadingHyphen && k + 2 < end && p[size_t(k + 1)] == U'-') {
                    t.ranges.emplace_back(a, p[size_t(k + 2)]);
                    k += 2;
                } else {
                    t.ranges.emplace_back(a, a);
                }
            }
            i = end;
        } else {
            t.ch = c;
        }
        tokens.push_back(std::move(t));
    }
    return tokens;
}

}  // namespace

bool matchesPattern(const QString &text, const QString &pattern)
{
    const auto textUcs4 = text.toUcs4();
    const auto patternUcs4 = pattern.toUcs4();
    const std::vector<char32_t> s(textUcs4.begin(), textUcs4.end());
    const std::vector<char32_t> p(patternUcs4.begin(), patternUcs4.end());
    const std::vector<Token> tokens = compile(p);

    // Greedy wildcard matching with one backtrack point: the most recent Star. Because every
    // other token consumes exactly one character, letting that Star absorb one more character
    // and retrying is enough; earlier Stars never need revisiting. Worst case O(n*m).
    const size_t n = s.size(), m = tokens.size();
    size_t ti = 0, pi = 0;
    size_t starPi = size_t(-1), starTi = 0;
    while (ti < n) {
        if (pi < m && tokens[pi].kind == Token::Star) {
            starPi = pi++;
            starTi = ti;
        } else if (pi < m && tokenMatches(tokens[pi], s[ti])) {
            ++pi;
            ++ti;
        } else if (starPi != size_t(-1)) {
            pi = starPi + 1;
            ti = ++starTi;
        } else {
            return false;
        }
    }
    while (pi < m && tokens[pi].kind == Token::Star)
        ++pi;
    return pi == m;
}

}  // namespace app
