// Tests for app::matchesPattern, the wildcard matcher the window uses to find account-set
// entries that begin with what the user typed.
#include <QtTest>

#include "app/PatternMatch.h"

class TestPatternMatch : public QObject
{
    Q_OBJECT

private slots:
    void matches_data();
    void matches();
};

void TestPatternMatch::matches_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<bool>("expected");

    const auto row = [](const char *name, const QString &text, const QString &pattern,
                        bool expected) {
        QTest::newRow(name) << text << pattern << expected;
    };

    // What the window does: entry vs typed text + "*".
    row("prefix: 001*", "001(ABC)", "001*", true);
    row("prefix: 0*", "001(ABC)", "0*", true);
    row("prefix: * alone", "001(ABC)", "*", true);
    row("prefix: * vs empty text", "", "*", true);
    row("prefix: whole name + *", "001(ABC)", "001(ABC)*", true);
    row("prefix: other entry", "002(XYZ)", "001*", false);
    row("prefix: longer than entry", "001", "001(*", false);
    row("whole text must match", "001(ABC)", "001", false);
    row("star in the middle", "001(ABC)", "0*C)", true);
    row("runs of stars collapse", "abc", "a***c", true);

    // Empty pattern.
    row("empty: vs empty text", "", "", true);
    row("empty: vs non-empty text", "a", "", false);

    // ? and #.
    row("?: one character", "a", "?", true);
    row("?: not zero characters", "", "?", false);
    row("?: not two characters", "ab", "?", false);
    row("#: digit 0", "0", "#", true);
    row("#: digit 9", "9", "#", true);
    row("#: letter", "a", "#", false);
    row("#: '/' just below '0'", "/", "#", false);
    row("#: ':' just above '9'", ":", "#", false);
    row("#: fullwidth digit is not ASCII", QStringLiteral("\uFF11"), "#", false);
    row("#: Arabic-Indic digit is not ASCII", QStringLiteral("\u0663"), "#", false);
    row("#: three digits", "001", "###", true);

    // Lists and ranges.
    row("list: [AB] A", "A", "[AB]", true);
    row("list: [AB] B", "B", "[AB]", true);
    row("list: [AB] C", "C", "[AB]", false);
    row("list: one character only", "AB", "[AB]", false);
    row("range: [A-C] A", "A", "[A-C]", true);
    row("range: [A-C] B", "B", "[A-C]", true);
    row("range: [A-C] C", "C", "[A-C]", true);
    row("range: [A-C] D", "D", "[A-C]", false);
    row("range: [A-C] lower b", "b", "[A-C]", false);
    row("range: mixed [a-cX0-9]", "7", "[a-cX0-9]", true);
    row("not: [!A-C] B", "B", "[!A-C]", false);
    row("not: [!A-C] D", "D", "[!A-C]", true);
    row("not: [!A-C] empty text", "", "[!A-C]", false);
    row("backwards: [C-A] B", "B", "[C-A]", false);
    row("backwards: [C-A] A", "A", "[C-A]", false);
    row("backwards: [C-A] C", "C", "[C-A]", false);
    row("backwards: [!C-A] B", "B", "[!C-A]", true);
    row("empty list: [] a", "a", "[]", false);
    row("empty list: [] empty text", "", "[]", false);
    row("empty list: []] is [] then ]", "]", "[]]", false);
    row("not empty: [!] a", "a", "[!]", true);
    row("not empty: [!] !", "!", "[!]", true);
    row("not empty: [!] empty text", "", "[!]", false);
    row("not empty: [!] two characters", "ab", "[!]", false);
    row("hyphen first: [-A] -", "-", "[-A]", true);
    row("hyphen first: [-A] A", "A", "[-A]", true);
    row("hyphen first: [-A] B", "B", "[-A]", false);
    row("hyphen last: [A-] -", "-", "[A-]", true);
    row("hyphen last: [A-] B", "B", "[A-]", false);
    row("hyphen first after !: [!-] -", "-", "[!-]", false);
    row("hyphen first after !: [!-] x", "x", "[!-]", true);
    row("hyphen alone: [-] -", "-", "[-]", true);
    row("literal in list: [?] ?", "?", "[?]", true);
    row("literal in list: [?] x", "x", "[?]", false);
    row("literal in list: [*] *", "*", "[*]", true);
    row("literal in list: [*] ab", "ab", "[*]", false);
    row("literal in list: [#] #", "#", "[#]", true);
    row("literal in list: [#] 1", "1", "[#]", false);
    row("literal in list: [[] [", "[", "[[]", true);

    // Brackets in entry names.
    row("unclosed: 001(A[* while typing", "001(A[1])", "001(A[*", true);
    row("unclosed: 001(A[1* while typing", "001(A[1])", "001(A[1*", true);
    row("unclosed: lone [ literal", "[", "[", true);
    row("unclosed: [ at end", "abc[", "abc[", true);
    row("unclosed: [ at end, text lacks it", "abc", "abc[", false);
    row("unclosed: [! at end", "a[!", "a[!", true);
    row("unclosed: [! at end vs other", "ab", "a[!", false);
    row("unclosed: [!] is closed", "a[!]", "a[!]", false);
    row("closed: 001(A[1])* is a list, not the name", "001(A[1])", "001(A[1])*", false);
    row("closed: list stands for one character", "001(A1)", "001(A[1])*", true);
    row("closed: 001(A[1]* no match", "001(A[1])", "001(A[1]*", false);
    row("closed: [[]1] matches [1]", "[1]", "[[]1]", true);
    row("] outside a list is literal", "a]", "a]", true);
    row("] outside a list, other text", "ab", "a]", false);

    // Case sensitivity.
    row("case: a vs A", "a", "A", false);
    row("case: A vs A", "A", "A", true);
    row("case: prefix abc vs A*", "abc", "A*", false);
    row("case: [a-z] vs A", "A", "[a-z]", false);

    // Chinese names and characters outside the Basic Multilingual Plane.
    row("chinese: prefix", QStringLiteral("001(演示工业)"), QStringLiteral("001(演示*"), true);
    row("chinese: whole name", QStringLiteral("001(演示工业)"), QStringLiteral("001(演示工业)"),
        true);
    row("chinese: ? for one character", QStringLiteral("001(演示工业)"),
        QStringLiteral("001(演?工业)"), true);
    row("chinese: other name", QStringLiteral("001(演示工业)"), QStringLiteral("001(演示商业*"),
        false);
    const QString pair = QString::fromUcs4(U"\U00020000"); // one character, two UTF-16 units
    row("surrogate pair: one ?", pair, "?", true);
    row("surrogate pair: not ??", pair, "??", false);
    row("surrogate pair: in a list", pair, QString("[") + pair + "]", true);
    row("surrogate pair: in a range", pair, QString::fromUcs4(U"[\U0001FFFF-\U00020001]"), true);
    row("surrogate pair: literal", QStringLiteral("a") + pair, QStringLiteral("a") + pair, true);

    // Hostile inputs: each must merely finish with the right answer.
    const QString tenThousandA(10000, QLatin1Char('a'));
    row("hostile: 10000 stars then x vs 10000 a", tenThousandA,
        QString(10000, QLatin1Char('*')) + "x", false);
    row("hostile: 10000 stars then a vs 10000 a", tenThousandA,
        QString(10000, QLatin1Char('*')) + "a", true);
    const QString hundredThousandA(100000, QLatin1Char('a'));
    QString starA;
    for (int i = 0; i < 1000; ++i)
        starA += "*a";
    row("hostile: *a*a...*b vs 100000 a", hundredThousandA, starA + "*b", false);
    row("hostile: *a*a...* vs 100000 a", hundredThousandA, starA + "*", true);
    row("hostile: *a*a...*a vs 100000 a", hundredThousandA, starA, true);
    row("hostile: *a*a...*a (1000 a) vs 999 a", QString(999, QLatin1Char('a')), starA, false);
    row("hostile: 100000 ? vs 100000 a", hundredThousandA, QString(100000, QLatin1Char('?')),
        true);
    row("hostile: 100000 a vs *a", hundredThousandA, "*a", true);
    row("hostile: 100000 a vs *?b", hundredThousandA, "*?b", false);
    row("hostile: 100000 a vs a*b*a", hundredThousandA, "a*b*a", false);
    const QString tenThousandOpen(10000, QLatin1Char('['));
    row("hostile: 10000 unclosed [ vs the same", tenThousandOpen, tenThousandOpen, true);
    row("hostile: 10000 unclosed [ vs one fewer", tenThousandOpen.left(9999), tenThousandOpen,
        false);
    QString openStar;
    for (int i = 0; i < 5000; ++i)
        openStar += "[*";
    row("hostile: [*[*... unclosed vs 100000 [", QString(100000, QLatin1Char('[')), openStar,
        true);
    row("hostile: [*[*... unclosed vs 100000 a", hundredThousandA, openStar, false);
    QString bigList = "[!";
    for (int i = 0; i < 10000; ++i)
        bigList += "b-c";
    bigList += "]";
    row("hostile: *[!b-cb-c...]*x vs 10000 a", tenThousandA, "*" + bigList + "*x", false);
}

void TestPatternMatch::matches()
{
    QFETCH(QString, text);
    QFETCH(QString, pattern);
    QFETCH(bool, expected);
    QCOMPARE(app::matchesPattern(text, pattern), expected);
}

QTEST_APPLESS_MAIN(TestPatternMatch)
#include "tst_pattern_match.moc"
