// app::matchesPattern, the wildcard matcher the window uses to find the entries beginning with
// what the user typed (entry against typed text + "*").
#include <QtTest>

#include "app/PatternMatch.h"

class TestPatternMatch : public QObject {
    Q_OBJECT

private slots:
    void matches_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<bool>("expected");
        const auto row = [](const char *name, const QString &t, const QString &p, bool e) { QTest::newRow(name) << t << p << e; };
        const QString pair = QString::fromUcs4(U"\U00020000");  // one character, two UTF-16 units
        row("whole text must match", "001(ABC)", "001", false);
        row("stars in the middle", "001(ABC)", "0**C)", true);
        row("? is exactly one character", "a", "a?", false);
        row("# is an ASCII digit", "09", "##", true);
        row("# is not '/', ':' or a fullwidth digit", QStringLiteral("/:\uFF11"), "*#*", false);
        row("range includes both ends", "AC", "[A-C][A-C]", true);
        row("range excludes others, case-sensitive", "b", "[A-C]", false);
        row("[!range]", "B", "[!A-C]", false);
        row("?, * and # are literal in a list", "1", "[?*#]", false);
        row("[] matches nothing; the list ends at the first ]", "]", "[]]", false);
        row("[!] matches any one character", "!", "[!]", true);
        row("backwards range is empty", "B", "[C-A]", false);
        row("[!backwards range] is any character", "B", "[!C-A]", true);
        row("hyphen first or last is literal", "--", "[-A][A-]", true);
        row("hyphen right after ! is literal", "-", "[!-]", false);
        row("unclosed [ is literal while typing", "001(A[1])", "001(A[*", true);
        row("001(A[1])* has a list, so not the name", "001(A[1])", "001(A[1])*", false);
        row("001(A[1])* has a list for one character", "001(A1)", "001(A[1])*", true);
        row("] outside a list is literal", "a]", "a]", true);
        row("Chinese prefix", QStringLiteral("001(演示工业)"), QStringLiteral("001(演?*"), true);
        row("surrogate pair is one ?", pair, "?", true);
        row("surrogate pair in a range", pair, QString::fromUcs4(U"[\U0001FFFF-\U00020001]"), true);
        // Hostile inputs an exponential matcher would not finish.
        row("hostile: 10000 stars then x", QString(10000, 'a'), QString(10000, '*') + "x", false);
        row("hostile: (*a) x1000 then *b", QString(100000, 'a'), QString("*a").repeated(1000) + "*b", false);
        row("hostile: (*a) x1000 vs 999 a", QString(999, 'a'), QString("*a").repeated(1000), false);
        row("hostile: unclosed ([*) x5000", QString(100000, 'a'), QString("[*").repeated(5000), false);
    }

    void matches()
    {
        QFETCH(QString, text);
        QFETCH(QString, pattern);
        QFETCH(bool, expected);
        QCOMPARE(app::matchesPattern(text, pattern), expected);
    }
};

QTEST_APPLESS_MAIN(TestPatternMatch)
#include "tst_pattern_match.moc"
