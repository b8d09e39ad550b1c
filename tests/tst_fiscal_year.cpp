// The fiscal-year list: what the hidden account-set number (Combo4) and the year list (Combo5)
// hold after the user picks from or types in the account-set list (Combo3), on real LQsystem
// databases in a temporary data directory.
#include "support/FormDriver.h"
#include "support/SqliteFixture.h"

#include "app/Form1.h"
#include "app/MessageBox.h"
#include "db/ODBC.h"

#include <QtTest>
#include <QtWidgets>

// 001 has repeated years, rows out of order, the 9999 placeholder, a NULL year, a year whose
// only row is deleted (2004) and one with a deleted and a live row (2005). 123 and 12345 tell
// the first three characters of a long number from the whole number.
static const QString PeriodRows = QStringLiteral(
    "create table KS_period(cacc_id text, iyear integer, iperiod integer, bisdelete integer); insert into KS_period values('001',2003,1,0),"
    "('001',2001,1,0),('001',2001,2,0),('001',2001,3,NULL),('001',9999,1,0),('001',NULL,1,0),('001',2002,1,NULL),('001',2004,1,1),"
    "('001',2005,1,1),('001',2005,2,0),('002',2020,1,0),('0''1',2030,1,NULL),('123',2040,1,0),('12345',2041,1,0);");
static const QString Initial = QStringLiteral("2006,2007|"), Years001 = QStringLiteral("2001,2002,2003,2005|");
static const QString TwoSets = QStringLiteral("('001','A'),('002','B')");

class TestFiscalYear : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Form1> m_form;
    QString systemDb() const { return m_dir->filePath(QStringLiteral("LQsystem.db")); }

    // Gestures on the account-set list (Combo3), or on the year list (Combo5) for "pickyear" and
    // "typeyear": "pick:N" picks entry N from the open list; "type:T" clicks into the box and
    // types T over its text ("type:" deletes the text); "return" presses Enter in Combo3;
    // "leave" clicks into the code box; "away" moves LQsystem.db away; "sql:S" runs S on it.
    // The event loop runs after each gesture, as it does between a person's actions.
    void perform(const QString &gesture)
    {
        const QString what = gesture.section(':', 0, 0), arg = gesture.section(':', 1);
        QComboBox *combo = what.endsWith("year") ? m_form->Combo5 : m_form->Combo3;
        if (what.startsWith("pick")) {
            FormDriver::pickFromList(combo, arg.toInt());
        } else if (what.startsWith("type")) {
            QTest::mouseClick(combo->lineEdit(), Qt::LeftButton);
            QTRY_VERIFY(combo->lineEdit()->hasFocus());
            FormDriver::typeOver(combo, arg);
        } else if (what == "return") {
            QTest::keyClick(combo->lineEdit(), Qt::Key_Return);
        } else if (what == "leave") {
            QTest::mouseClick(m_form->txtCode, Qt::LeftButton);
            QTRY_VERIFY(m_form->txtCode->hasFocus());
        } else if (what == "away") {
            QVERIFY(QFile::rename(systemDb(), systemDb() + ".away"));
        } else {  // "sql:S"
            SqliteFixture::run(systemDb(), arg);
        }
        QCoreApplication::processEvents();
    }

private slots:
    // The number Combo3's text matches last (none: "") and that number's years, without 9999,
    // NULL, repeats or deleted rows; the year text is kept. Each gesture lists the years once:
    // with LQsystem.db moved away every run shows a connection box (C) and a read error (R),
    // so the boxes count the runs. A failure (K: KS_period missing) leaves the lists as they
    // were and the window goes on.
    void yearsFollowTheAccountSet_data()
    {
        QTest::addColumn<QString>("accounts");  // KS_Account rows (number, name), in list order
        QTest::addColumn<QStringList>("gestures");
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("years");  // as seen(Combo5) shows them
        QTest::addColumn<QString>("boxes");
        QTest::newRow("pick 002(B), then 001(A)") << TwoSets << QStringList{"pick:1", "pick:0"} << "001" << Years001 << "";
        QTest::newRow("type 0: both match, the last decides") << TwoSets << QStringList{"type:0"} << "002"
                                                              << "2020|"
                                                              << "";
        QTest::newRow("no match") << TwoSets << QStringList{"type:X"} << "" << Initial << "";
        QTest::newRow("no match after a pick keeps the lists")
            << TwoSets << QStringList{"pick:0", "type:9"} << "001" << Years001 << "";
        QTest::newRow("cleared: all match") << TwoSets << QStringList{"type:"} << "002"
                                            << "2020|"
                                            << "";
        QTest::newRow("typed [!2] excludes 002") << TwoSets << QStringList{"type:00[!2]"} << "001" << Years001 << "";
        QTest::newRow("picked 005(A[1]) does not match itself")
            << "('001','A'),('005','A[1]')" << QStringList{"pick:1"} << "" << Initial << "";
        QTest::newRow("long number: first three characters") << "('12345','L')" << QStringList{"pick:0"} << "12345"
                                                             << "2040|"
                                                             << "";
        QTest::newRow("number with a quote") << "('0''1','Q')" << QStringList{"pick:0"} << "0'1"
                                             << "2030|"
                                             << "";
        QTest::newRow("no years at all") << "('777','N')" << QStringList{"pick:0"} << "777"
                                         << "|"
                                         << "";
        QTest::newRow("typed year kept") << TwoSets << QStringList{"typeyear:2019", "pick:0"} << "001" << Years001 + "2019"
                                         << "";
        QTest::newRow("picked year kept") << TwoSets << QStringList{"pickyear:0", "pick:1"} << "002"
                                          << "2020|2006"
                                          << "";
        QTest::newRow("runs: pick") << TwoSets << QStringList{"away", "pick:1"} << "002" << Initial << "CR";
        QTest::newRow("runs: pick the entry shown") << TwoSets << QStringList{"pick:1", "away", "pick:1"} << "002"
                                                    << "2020|"
                                                    << "CR";
        QTest::newRow("runs: type two characters; the first match fails")
            << TwoSets << QStringList{"away", "type:00"} << "001" << Initial << "CRCR";
        QTest::newRow("runs: Enter after typing an entry")
            << TwoSets << QStringList{"type:001(A)", "away", "return"} << "001" << Years001 << "";
        QTest::newRow("runs: leave after typing an entry")
            << TwoSets << QStringList{"type:001(A)", "away", "leave"} << "001" << Years001 << "";
        QTest::newRow("KS_period missing, then back")
            << TwoSets << QStringList{"sql:drop table KS_period", "pick:0", "sql:" + PeriodRows, "type:001"} << "001" << Years001
            << "K";
    }
    void yearsFollowTheAccountSet()
    {
        QFETCH(QString, accounts);
        QFETCH(QStringList, gestures);
        QFETCH(QString, number);
        QFETCH(QString, years);
        QFETCH(QString, boxes);
        m_form.reset();
        m_dir = std::make_unique<QTemporaryDir>();
        SqliteFixture::run(systemDb(), "create table KS_Account(cAcc_Id text, cAcc_Name text, iYear integer);"
                                       "insert into KS_Account(cAcc_Id, cAcc_Name) values"
                                           + accounts + ";" + PeriodRows);
        FormDriver::useDataDirectory(m_dir->path());
        m_form = FormDriver::openWindow();
        QVERIFY(m_form && QTest::qWaitForWindowActive(m_form.get()));
        for (const QString &gesture : gestures)
            perform(gesture);
        QString kinds;
        for (const MessageBox::Shown &box : MessageBox::takeShown())
            kinds += box.icon != MessageBox::Icon::Critical                 ? '?'
                     : box.prompt.startsWith("数据库LQsystem连接错误 \r\n") ? 'C'
                     : !box.prompt.startsWith("读取会计年度时出错：\r\n")   ? '?'
                     : box.prompt.contains("KS_period")                     ? 'K'
                                                                            : 'R';
        QCOMPARE(kinds, boxes);
        QCOMPARE(m_form->Combo4->currentText(), number.isEmpty() ? QStringLiteral("帐套编号") : number);
        QCOMPARE(m_form->accountSetNumber, number);
        QCOMPARE(FormDriver::seen(m_form->Combo5), years);
    }
};

QTEST_MAIN(TestFiscalYear)
#include "tst_fiscal_year.moc"
