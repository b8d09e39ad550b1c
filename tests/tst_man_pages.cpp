// The Chinese manual pages as man shows them keep no space beside full-width punctuation, at
// any width.
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

class tst_ManPages : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        if (rendered("n3fix.en.1", 80).isEmpty())
            QSKIP("man can't render manual pages on this machine (groff's files left out by dpkg?)");
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
