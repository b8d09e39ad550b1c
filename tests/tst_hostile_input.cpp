// Hostile text in every field a user can type into, then both repairs: nothing crashes or hangs, and
// the files change only as the repairs are meant to (the code's balances from the period on, the flags).
#include "support/DataFiles.h"
#include "support/DataDirectoryTest.h"
#include "support/FormDriver.h"
#include "support/SqliteFixture.h"
#include "app/Form1.h"
#include "db/ODBC.h"
#include "demo/DemoData.h"
#include <QtTest>
#include <QtWidgets>

// The chart: plain codes and codes that read as SQL or patterns, each with the wrong flag 9 and balances in periods 1, 6, 12.
static const QStringList Codes = {"1001",
                                  "100101",
                                  "1011",
                                  "101101",
                                  "1011' or '1'='1",
                                  "'",
                                  "1'; drop table GL_accsum; --",
                                  "--",
                                  "/* */",
                                  "[",
                                  "[0-9]*",
                                  "%_",
                                  "%",
                                  "_",
                                  "-1",
                                  "三"};

class HostileInput : public DataDirectoryTest {
    Q_OBJECT
    std::unique_ptr<Form1> m_form;
private slots:
    void init()
    {
        useFreshDataDirectory();
        writeSystemDatabase(systemDatabase(m_dir->path()), {{"001", "演示", {2006, 2007}, {}}});
        QString script =
            "create table code(ccode TEXT, ccode_name TEXT, bend INTEGER);"
            "create table GL_accsum(ccode TEXT, iperiod INTEGER, mb NUMERIC, md NUMERIC, mc NUMERIC); insert into GL_accsum values(NULL,1,1,2,3);";
        for (int i = 0; i < Codes.size(); ++i)
            script += QStringLiteral("insert into code values(%1,'科目%2',9);"
                                     "insert into GL_accsum values(%1,1,%2.5,%2,-%2),(%1,6,%2.5,%2,-%2),(%1,12,%2.5,%2,-%2);")
                          .arg(SqliteFixture::literal(Codes[i]))
                          .arg(i + 1);
        SqliteFixture::run(yearDatabase(m_dir->path()), script);
    }
    void cleanup()
    {
        m_form.reset();
        removeDataDirectory();
    }

    void repairsChangeOnlyWhatTheyAreMeantTo_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("text");
        const std::pair<const char *, QString> texts[] = {
            {"quote, statement, comment", "1'; drop table GL_accsum; --"},
            {"block comment", "/* */"},
            {"unclosed bracket", "["},
            {"bracket list", "[0-9]*"},
            {"percent and underscore", "%_"},
            {"NUL", QString::fromUtf16(u"10\u000011", 5)},
            {"control characters", QString::fromUtf16(u"1\t\r\n\u0001\u001b\u007f\u0085")},
            {"100000 characters", QStringLiteral("'%[_;-- /*\"]) 或 ").repeated(6000).left(100000)},
            {"right-to-left", QString::fromUtf16(u"\u202Eשלום\u202C1011")},
            {"combining marks, surrogate pair", QString::fromUtf16(u"😀1011\u0301\u0336")},
            {"Chinese numeral", "三"},
            {"period too large", "99999999999"},
            {"negative period", "-1"}};
        for (const char *field : {"Combo3", "Combo5", "txtCode", "Combo1"})
            for (const auto &[name, text] : texts)
                QTest::newRow(qPrintable(QLatin1String(field) + QStringLiteral(": ") + QLatin1String(name))) << field << text;
    }
    // Account set 001, year 2007, code 1011 and the first period 9, then one field replaced by hostile text
    // (short printable ASCII typed key by key, anything else pasted), then both repairs.
    void repairsChangeOnlyWhatTheyAreMeantTo()
    {
        QFETCH(QString, field);
        QFETCH(QString, text);
        m_form = FormDriver::openWindow();
        QVERIFY(m_form);
        FormDriver::pickFromList(m_form->Combo3, 0);
        FormDriver::pickFromList(m_form->Combo5, 1);
        QTest::keyClicks(m_form->txtCode, "1011");
        // The data directory as it is now, changed below by hand as the repairs should change it.
        QTemporaryDir expected;
        for (const QString &name : QDir(m_dir->path()).entryList(QDir::Files))
            QVERIFY(QFile::copy(m_dir->filePath(name), expected.filePath(name)));

        QLineEdit *edit = field == "txtCode" ? m_form->txtCode : m_form->findChild<QComboBox *>(field)->lineEdit();
        QGuiApplication::clipboard()->setText(text);
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        if (text.size() <= 64
            && std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() >= 0x20 && c.unicode() < 0x7f; }))
            QTest::keyClicks(edit, text);
        else
            QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
        const QString shown = text.left(edit->maxLength());  // a field holds 32767 characters
        QCOMPARE(edit->text(), shown);
        QTest::mouseClick(m_form->Command1, Qt::LeftButton);
        QTest::mouseClick(m_form->Command2, Qt::LeftButton);

        // No account-set text changes the set, a hostile year opens nothing, and only "-1" and a number
        // beyond 32 bits are periods.
        const bool opens = field != "Combo5", resets = opens && (field != "Combo1" || text == "-1" || text == "99999999999");
        const QString code = field == "txtCode" ? shown : "1011";
        const QString reset = QStringLiteral("0|N3新会计制度科目增加工具|修复%1！").arg(resets ? "成功" : "失败");
        const QStringList seen = FormDriver::boxesShown();
        const QString connection = seen.value(0).startsWith("16|数据库连接错误|数据库LQDATA_001_" + shown + "连接错误 \r\n")
                                       ? seen.value(0)
                                       : "a connection box";
        QCOMPARE(seen,
                 opens ? QStringList{reset}
                       : QStringList({connection, reset, connection,
                                      "16|N3新会计制度科目增加工具|重建末级科目标志时出错：\r\n数据库连接未打开，无法执行操作。"}));

        const QString yearDb = yearDatabase(expected.path());
        if (resets && Codes.contains(code))  // the code's balances cleared from the first period on
            SqliteFixture::run(yearDb, QStringLiteral("update GL_accsum set mb=0,md=0,mc=0 where ccode=%1 and iperiod>=%2")
                                           .arg(SqliteFixture::literal(code))
                                           .arg(field == "Combo1" ? text : "9"));
        if (opens)  // every flag rewritten: 1 where no longer code begins with the code
            SqliteFixture::run(
                yearDb, "update code set bend = not exists(select 1 from code longer where length(longer.ccode) > length(code.ccode)"
                        " and substr(longer.ccode, 1, length(code.ccode)) = code.ccode)");
        QCOMPARE(SqliteFixture::dumpDirectory(m_dir->path()), SqliteFixture::dumpDirectory(expected.path()));
    }
};

QTEST_MAIN(HostileInput)
#include "tst_hostile_input.moc"
