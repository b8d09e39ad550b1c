// The manual pages as man shows them: every option the command line knows is described in both
// languages and in the help n3fix prints, and the Chinese pages keep no space beside full-width
// punctuation, at any width.
#include "cli/CommandLine.h"
#include "support/ProcessRun.h"

#include <QtTest>

// The page rendered by man at `width` columns, as plain text; empty when man can't render here.
static QString rendered(const QString &page, int width)
{
    QProcess man;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("MANWIDTH", QString::number(width));
    environment.insert("MANPAGER", "cat");
    environment.insert("LC_ALL", "C.UTF-8");
    man.setProcessEnvironment(environment);
    man.start("man", {"-l", QStringLiteral(N3FIX_MAN_DIR "/") + page});
    if (!man.waitForFinished(60000) || man.exitStatus() != QProcess::NormalExit || man.exitCode() != 0)
        return QString();
    return QString::fromUtf8(man.readAllStandardOutput());
}

// Whether `text` names the option `name` as a word of its own: --journal is not found in
// --journal-window.
static bool namesOption(const QString &text, const QString &name)
{
    const QRegularExpression option(QStringLiteral("--%1(?![a-z-])").arg(QRegularExpression::escape(name)));
    return option.match(text).hasMatch();
}

class tst_ManPages : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        if (rendered("n3fix.en.1", 80).isEmpty())
            QSKIP("man can't render manual pages on this machine (groff's files left out by dpkg?)");
    }

    // The option names come from the parser itself, so an option added there and described
    // nowhere fails here. Both pages are rendered wide, so that no name is split at a line's end.
    void everyOptionIsDescribed()
    {
        const QStringList names = cli::commandLineOptionNames();
        QVERIFY(names.contains("data-dir") && names.contains("recompute-balances"));
        const ProcessRun help = runProcess(N3FIX, {"--help"});
        QCOMPARE(help.status, 0);
        const QMap<QString, QString> texts = {{"n3fix --help", QString::fromUtf8(help.out)},
                                              {"n3fix.en.1", rendered("n3fix.en.1", 250)},
                                              {"n3fix.zh_CN.1", rendered("n3fix.zh_CN.1", 250)}};
        for (auto it = texts.cbegin(); it != texts.cend(); ++it) {
            QVERIFY2(it.value().contains("--odbc"), qPrintable(it.key()));
            for (const QString &name : names)
                QVERIFY2(namesOption(it.value(), name), qPrintable(QStringLiteral("--%1 is not in %2").arg(name, it.key())));
        }
    }

    // A line break in the page's source reads as a space: after a full-width mark, or before an
    // opening one, it is a stray one.
    void chineseHasNoStraySpaces_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<int>("width");
        for (const char *page : {"n3fix.zh_CN.1", "n3demo.zh_CN.1"})
            for (int width : {60, 80, 120})
                QTest::newRow(qPrintable(QStringLiteral("%1 at %2").arg(QLatin1String(page)).arg(width))) << QString(page) << width;
    }
    void chineseHasNoStraySpaces()
    {
        QFETCH(QString, page);
        QFETCH(int, width);
        const QString text = rendered(page, width);
        QVERIFY(text.contains("n3demo"));
        static const QRegularExpression stray("[，。；：、）”] +\\S|\\S +[（“]");
        const QStringList lines = text.split('\n');
        for (const QString &line : lines)
            QVERIFY2(!stray.match(line).hasMatch(), qPrintable(line));
    }
};

QTEST_GUILESS_MAIN(tst_ManPages)
#include "tst_man_pages.moc"
