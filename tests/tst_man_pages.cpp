// The manual pages as man shows them: the Chinese pages keep no space beside full-width
// punctuation at any width, and both n3fix pages carry what a SQL Server set-up needs.
#include <QtTest>

// The page rendered by man at `width` columns, as plain text; empty when man can't render here.
static QString rendered(const QString &page, int width)
{
    QProcess man;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("MANWIDTH", QString::number(width));
    environment.insert("MANPAGER", "cat");
    environment.insert("MAN_KEEP_FORMATTING", "");
    environment.insert("LC_ALL", "C.UTF-8");
    man.setProcessEnvironment(environment);
    man.start("man", {"-l", QStringLiteral(N3FIX_MAN_DIR "/") + page});
    if (!man.waitForFinished(60000) || man.exitStatus() != QProcess::NormalExit || man.exitCode() != 0)
        return QString();
    QString text = QString::fromUtf8(man.readAllStandardOutput());
    static const QRegularExpression overstrike(".\b");  // bold and underline as the pager would draw them
    return text.remove(overstrike);
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
                QTest::addRow("%s at %d", page, width) << QString(page) << width;
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

    // The registration, the server's address, Kerberos, an undo id as the journal writes it.
    void sqlServerSetUp_data()
    {
        QTest::addColumn<QString>("page");
        QTest::newRow("English") << "n3fix.en.1";
        QTest::newRow("Chinese") << "n3fix.zh_CN.1";
    }
    void sqlServerSetUp()
    {
        QFETCH(QString, page);
        const QString text = rendered(page, 120);
        for (const char *needed : {"[SQL Server]", "Driver      = /usr/lib/x86_64-linux-gnu/odbc/libtdsodbc.so", "/etc/odbcinst.ini",
                                   "export TDSHOST=", "TDSPORT=1433", "kinit ", "krb5-user", "n3fix --demo --journal"})
            QVERIFY2(text.contains(needed), needed);
        QVERIFY(!text.contains("libtdsS.so"));
        // Beside the synopsis's placeholder, every id given to --undo has the journal's form.
        static const QRegularExpression undo("--undo (\\S+)"), journalId("^\\d{8}-\\d{6}-\\d{3}$");
        int examples = 0;
        for (QRegularExpressionMatchIterator it = undo.globalMatch(text); it.hasNext();) {
            const QString id = it.next().captured(1);
            if (id == "id" || id == "编号")
                continue;
            ++examples;
            QVERIFY2(journalId.match(id).hasMatch(), qPrintable(id));
        }
        QVERIFY(examples > 0);
    }
};

QTEST_GUILESS_MAIN(tst_ManPages)
#include "tst_man_pages.moc"
