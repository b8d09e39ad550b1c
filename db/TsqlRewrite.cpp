#include "db/TsqlRewrite.h"

#include <algorithm>
#include <vector>

namespace db {

namespace {

enum class Call { None, Left, Len };

// One open parenthesis: the call it belongs to (if any) and what has been seen inside it.
struct Group {
    Call call = Call::None;
    qsizetype namePos = 0, nameLen = 0, openPos = 0;
    int commas = 0;
    qsizetype firstComma = -1;
    bool argEmpty = true;      // the argument being read has no code in it yet
    bool anyArgEmpty = false;  // an argument before the last comma was blank
};

// One replacement of the text at [pos, pos+len).
struct Edit {
    qsizetype pos, len;
    const char *text;
};

// Characters that make up a T-SQL identifier (or a number, or a @variable / #temp name).
bool isIdentChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'_' || c == u'@' || c == u'#' || c == u'$';
}

// Index just past a quoted run starting at `i` (the opening quote); a doubled closing
// quote stands for itself. An unterminated run reaches the end of the text.
qsizetype skipQuoted(const QString &s, qsizetype i, QChar close)
{
    const qsizetype n = s.size();
    for (++i; i < n; ++i) {
        if (s[i] == close) {
            if (i + 1 < n && s[i + 1] == close)
                ++i;
            else
                return i + 1;
        }
    }
    return n;
}

// The call a name starts when it is followed, after optional whitespace, by '('.
Call callNamed(QStringView name)
{
    if (name.compare(u"left", Qt::CaseInsensitive) == 0)
        return Call::Left;
    if (name.compare(u"len", Qt::CaseInsensitive) == 0)
        return Call::Len;
    return Call::None;
}

// The text the server's left() and len() see for their first argument x: SQLite turns a whole
// REAL such as 1001.0 into the text "1001.0", where the server writes a whole float as "1001".
// The argument is evaluated once, as the single column of a subquery, so the rewrite stays
// linear in the statement's length however deeply the calls nest.
const char *const TextOpen = "(select case when typeof(n3_text)='real' and n3_text=cast(n3_text as integer)"
                             " then cast(n3_text as integer) else n3_text end from (select ";
const char *const TextClose = " as n3_text))";

// Edits that turn a closed group into its SQLite form, or none when its arguments don't fit.
void finishCall(const Group &g, qsizetype closePos, std::vector<Edit> &edits)
{
    if (g.anyArgEmpty || g.argEmpty)
        return;
    if (g.call == Call::Left && g.commas == 1) {
        edits.push_back({g.namePos, g.nameLen, "substr"});
        edits.push_back({g.openPos + 1, 0, TextOpen});
        edits.push_back({g.firstComma, 0, TextClose});
        edits.push_back({g.firstComma, 1, ",1,"});
    } else if (g.call == Call::Len && g.commas == 0) {
        edits.push_back({g.namePos, g.nameLen, "length(rtrim"});
        edits.push_back({g.openPos + 1, 0, TextOpen});
        edits.push_back({closePos, 0, TextClose});
        edits.push_back({closePos, 1, ",' '))"});
    }
}

}  // namespace

// A single pass over the text keeps a stack of open parentheses; when a parenthesis that
// opened a left/len call closes with the right number of arguments, the few characters that
// differ (the name, the separating comma, the closing parenthesis) are recorded as edits.
// Nested calls therefore need no recursion, and the work stays linear in the text's length.
QString rewriteTsqlForSqlite(const QString &sql)
{
    const qsizetype n = sql.size();
    std::vector<Group> open;
    std::vector<Edit> edits;
    bool afterDot = false;

    qsizetype i = 0;
    while (i < n) {
        const QChar c = sql[i];
        if (c.isSpace()) {
            ++i;
            continue;
        }
        if (c == u'-' && i + 1 < n && sql[i + 1] == u'-') {
            const qsizetype eol = sql.indexOf(u'\n', i);
            i = eol < 0 ? n : eol;
            continue;
        }
        if (c == u'/' && i + 1 < n && sql[i + 1] == u'*') {
            const qsizetype end = sql.indexOf(QLatin1String("*/"), i + 2);
            i = end < 0 ? n : end + 2;
            continue;
        }

        // Everything below is code and fills the argument being read, except the ')' and ','
        // that end it.
        if (!open.empty() && c != u')' && c != u',')
            open.back().argEmpty = false;
        const bool dotBefore = afterDot;
        afterDot = c == u'.';

        if (c == u'\'') {
            i = skipQuoted(sql, i, u'\'');
        } else if (c == u'"' || c == u'`') {
            i = skipQuoted(sql, i, c);
        } else if (c == u'[') {
            i = skipQuoted(sql, i, u']');
        } else if (c == u'(') {
            open.push_back(Group{});
            ++i;
        } else if (c == u')') {
            if (!open.empty()) {
                if (open.back().call != Call::None)
                    finishCall(open.back(), i, edits);
                open.pop_back();
            }
            ++i;
        } else if (c == u',') {
            if (!open.empty()) {
                Group &g = open.back();
                if (g.commas++ == 0)
                    g.firstComma = i;
                g.anyArgEmpty = g.anyArgEmpty || g.argEmpty;
                g.argEmpty = true;
            }
            ++i;
        } else if (isIdentChar(c)) {
            const qsizetype start = i;
            while (i < n && isIdentChar(sql[i]))
                ++i;
            const Call call = dotBefore ? Call::None : callNamed(QStringView(sql).mid(start, i - start));
            if (call != Call::None) {
                qsizetype j = i;
                while (j < n && sql[j].isSpace())
                    ++j;
                if (j < n && sql[j] == u'(') {
                    Group g;
                    g.call = call;
                    g.namePos = start;
                    g.nameLen = i - start;
                    g.openPos = j;
                    open.push_back(g);
                    i = j + 1;
                }
            }
        } else {
            ++i;
        }
    }

    if (edits.empty())
        return sql;
    // At one position an insertion goes before a replacement: an argument's opening text before
    // the name of a call that begins it, an argument's closing text before the ',' or ')' after it.
    std::sort(edits.begin(), edits.end(),
              [](const Edit &a, const Edit &b) { return a.pos != b.pos ? a.pos < b.pos : a.len < b.len; });
    QString out;
    out.reserve(n + qsizetype(edits.size()) * 8);
    qsizetype from = 0;
    for (const Edit &e : edits) {
        out += QStringView(sql).mid(from, e.pos - from);
        out += QLatin1String(e.text);
        from = e.pos + e.len;
    }
    out += QStringView(sql).mid(from);
    return out;
}

}  // namespace db
