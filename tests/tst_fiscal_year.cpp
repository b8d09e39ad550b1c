// The fiscal-year list: what the hidden account-set number (Combo4) and the year list (Combo5)
// hold after the user picks from or types in the account-set list (Combo3), on real LQsystem
// databases in a temporary data directory.
#include "support/FormDriver.h"
#include "support/SqliteFixture.h"

#include "app/Form1.h"
#include "app/MessageBox.h"
#include "db/ODBC.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

// Contents the window starts with before any account set is matched.
const QString InitialNumber = QStringLiteral("帐套编号");
const QStringList InitialYears = {QStringLiteral("2006"), QStringLiteral("2007")};

const QString PeriodTable =
    QStringLiteral("create table KS_period(cacc_id text, iyear integer, iperiod integer, bisdelete integer);\n");

// 001 has repeated years, rows out of order, the 9999 placeholder, a NULL year, a year whose
// only row is deleted (2004) and a year with one deleted and one live row (2005).
// 123 and 12345 tell the first three characters of a long number from the whole number.
const QString PeriodRows = PeriodTable + QStringLiteral(R"(
insert into KS_period values
  ('001', 2003, 1, 0), ('001', 2001, 1, 0), ('001', 2001, 2, 0), ('001', 2001, 3, NULL),
  ('001', 9999, 1, 0), ('001', NULL, 1, 0), ('001', 2002, 1, NULL),
  ('001', 2004, 1, 1), ('001', 2005, 1, 1), ('001', 2005, 2, 0),
  ('002', 2020, 1, 0), ('005', 2050, 1, 0), ('0''1', 2030, 1, NULL),
  ('123', 2040, 1, 0), ('12345', 2041, 1, 0);
)");

const QStringList Years001 = {"2001", "2002", "2003", "2005"};
const QStringList TwoSets = {"001|A", "002|B"};

QString sqlText(const QString &value)
{
    return QLatin1Char('\'') + QString(value).replace(QLatin1Char('\''), QStringLiteral("''")) + QLatin1Char('\'');
}

QStringList entries(const QComboBox *combo)
{
    QStringList out;
    for (int i = 0; i < combo->count(); ++i)
        out << combo->itemText(i);
    return out;
}

} // namespace

class TestFiscalYear : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void yearsFollowTheAccountSet_data();
    void yearsFollowTheAccountSet();
    void yearTextStaysThroughRefill_data();
    void yearTextStaysThroughRefill();
    void eachGestureRunsOnce_data();
    void eachGestureRunsOnce();
    void failureIsShownAndWindowGoesOn_data();
    void failureIsShownAndWindowGoesOn();

private:
    QString systemDatabase() const { return QDir(m_dir->path()).filePath(QStringLiteral("LQsystem.db")); }
    // Builds LQsystem.db with the account sets ("number|name", in list order) and the periods.
    void createSystemDatabase(const QStringList &accounts, const QString &periods);
    // Builds LQsystem.db and opens the window on it.
    bool openWindow(const QStringList &accounts, const QString &periods = PeriodRows);
    void perform(const QString &gesture);
    void performOnly(const QString &gesture);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Form1> m_form;
};

void TestFiscalYear::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    ODBC::currentAccountSetNumber().clear();
}

void TestFiscalYear::cleanup()
{
    m_form.reset();
    m_dir.reset();
}

void TestFiscalYear::createSystemDatabase(const QStringList &accounts, const QString &periods)
{
    QString script = QStringLiteral("create table KS_Account(cAcc_Id text, cAcc_Name text, iYear integer);\n");
    for (const QString &account : accounts)
        script += QStringLiteral("insert into KS_Account(cAcc_Id, cAcc_Name) values(%1, %2);\n")
                      .arg(sqlText(account.section(QLatin1Char('|'), 0, 0)), sqlText(account.section(QLatin1Char('|'), 1)));
    SqliteFixture::run(systemDatabase(), script + periods);
}

bool TestFiscalYear::openWindow(const QStringList &accounts, const QString &periods)
{
    createSystemDatabase(accounts, periods);
    FormDriver::useDataDirectory(m_dir->path());
    m_form = std::make_unique<Form1>();
    m_form->show();
    return QTest::qWaitForWindowExposed(m_form.get()) && MessageBox::takeShown().isEmpty()
        && m_form->Combo3->count() == accounts.size();
}

// "pick:N" picks entry N from Combo3's list; "type:T" types T over Combo3's text key by key;
// "paste:T" copies T from the code box and pastes it over Combo3's text; "clear" deletes
// Combo3's text; "backspace" deletes its last character; "down" picks the next entry with the
// arrow key; "return" presses Enter in Combo3's edit field; "focus" clicks into Combo3's edit
// field; "leave" clicks into the code box. Between two gestures the event loop runs, as it
// does between a person's actions.
void TestFiscalYear::perform(const QString &gesture)
{
    performOnly(gesture);
    QCoreApplication::processEvents();
}

void TestFiscalYear::performOnly(const QString &gesture)
{
    const QString argument = gesture.section(QLatin1Char(':'), 1);
    QLineEdit *edit = m_form->Combo3->lineEdit();
    if (gesture.startsWith(QLatin1String("pick:"))) {
        FormDriver::pickFromList(m_form->Combo3, argument.toInt());
    } else if (gesture.startsWith(QLatin1String("type:"))) {
        FormDriver::typeOver(m_form->Combo3, argument);
    } else if (gesture.startsWith(QLatin1String("paste:"))) {
        FormDriver::typeOver(m_form->txtCode, argument);
        QTest::keyClick(m_form->txtCode, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(m_form->txtCode, Qt::Key_C, Qt::ControlModifier);
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(edit->text(), argument);
    } else if (gesture == QLatin1String("clear")) {
        FormDriver::clearByKeyboard(m_form->Combo3);
        QCOMPARE(edit->text(), QString());
    } else if (gesture == QLatin1String("down")) {
        QTest::keyClick(edit, Qt::Key_Down);
    } else if (gesture == QLatin1String("return")) {
        QTest::keyClick(edit, Qt::Key_Return);
    } else if (gesture == QLatin1String("focus")) {
        m_form->activateWindow();
        QTRY_VERIFY(m_form->isActiveWindow());
        QTest::mouseClick(edit, Qt::LeftButton);
        QTRY_VERIFY(edit->hasFocus());
    } else if (gesture == QLatin1String("leave")) {
        QTest::mouseClick(m_form->txtCode, Qt::LeftButton);
        QTRY_VERIFY(m_form->txtCode->hasFocus());
    } else if (gesture == QLatin1String("backspace")) {
        edit->end(false);
        QTest::keyClick(edit, Qt::Key_Backspace);
    } else {
        QFAIL(qPrintable(QStringLiteral("unknown gesture ") + gesture));
    }
}

void TestFiscalYear::yearsFollowTheAccountSet_data()
{
    QTest::addColumn<QStringList>("accounts");
    QTest::addColumn<QStringList>("gestures");
    QTest::addColumn<QString>("number");  // Combo4's text
    QTest::addColumn<QStringList>("years");

    QTest::newRow("pick 001(A)") << TwoSets << QStringList{"pick:0"} << "001" << Years001;
    QTest::newRow("pick 002(B)") << TwoSets << QStringList{"pick:1"} << "002" << QStringList{"2020"};
    QTest::newRow("pick 002 then 001") << TwoSets << QStringList{"pick:1", "pick:0"} << "001" << Years001;
    QTest::newRow("type 0: both match, the last decides") << TwoSets << QStringList{"type:0"} << "002"
                                                          << QStringList{"2020"};
    QTest::newRow("type 001") << TwoSets << QStringList{"type:001"} << "001" << Years001;
    QTest::newRow("no match leaves both lists") << TwoSets << QStringList{"type:X"} << InitialNumber << InitialYears;
    QTest::newRow("no match after a pick") << TwoSets << QStringList{"pick:0", "type:9"} << "001" << Years001;
    QTest::newRow("cleared by keyboard: all match") << TwoSets << QStringList{"clear"} << "002" << QStringList{"2020"};
    QTest::newRow("typed # is a digit") << TwoSets << QStringList{"type:#01"} << "001" << Years001;
    QTest::newRow("typed [!2] excludes 002") << TwoSets << QStringList{"type:00[!2]"} << "001" << Years001;
    QTest::newRow("pasted unclosed [ is literal") << QStringList{"001|A", "005|A[1]", "006|B"}
                                                  << QStringList{"paste:005(A["} << "005" << QStringList{"2050"};
    QTest::newRow("picked 005(A[1]) does not match itself") << QStringList{"001|A", "005|A[1]", "006|B"}
                                                            << QStringList{"pick:1"} << InitialNumber << InitialYears;
    QTest::newRow("picked 005(A[1]) matches 005(A1)") << QStringList{"005|A1", "005|A[1]", "006|B"}
                                                      << QStringList{"pick:1"} << "005" << QStringList{"2050"};
    QTest::newRow("picked 005(N#) does not match itself") << QStringList{"005|N#", "006|B"} << QStringList{"pick:0"}
                                                          << InitialNumber << InitialYears;
    QTest::newRow("picked 005(A?*) matches itself") << QStringList{"001|A", "005|A?*"} << QStringList{"pick:1"} << "005"
                                                    << QStringList{"2050"};
    QTest::newRow("long number: first three characters") << QStringList{"12345|L"} << QStringList{"pick:0"} << "12345"
                                                          << QStringList{"2040"};
    QTest::newRow("number with a quote") << QStringList{"0'1|Q"} << QStringList{"pick:0"} << "0'1"
                                         << QStringList{"2030"};
    QTest::newRow("no years at all") << QStringList{"777|N"} << QStringList{"pick:0"} << "777" << QStringList{};
}

void TestFiscalYear::yearsFollowTheAccountSet()
{
    QFETCH(QStringList, accounts);
    QFETCH(QStringList, gestures);
    QFETCH(QString, number);
    QFETCH(QStringList, years);
    QVERIFY(openWindow(accounts));

    for (const QString &gesture : gestures)
        perform(gesture);

    QCOMPARE(m_form->Combo4->currentText(), number);
    QCOMPARE(entries(m_form->Combo5), years);
    QCOMPARE(m_form->Combo5->currentText(), QString());
    QCOMPARE(ODBC::currentAccountSetNumber(), number == InitialNumber ? QString() : number);
    QCOMPARE(MessageBox::takeShown().size(), 0);
    QCOMPARE(entries(m_form->Combo4).size(), accounts.size());
}

void TestFiscalYear::yearTextStaysThroughRefill_data()
{
    QTest::addColumn<bool>("picked");
    QTest::newRow("year picked from its list") << true;
    QTest::newRow("year typed") << false;
}

void TestFiscalYear::yearTextStaysThroughRefill()
{
    QFETCH(bool, picked);
    QVERIFY(openWindow(TwoSets));
    const QString year = picked ? QStringLiteral("2006") : QStringLiteral("2019");
    if (picked)
        FormDriver::pickFromList(m_form->Combo5, 0);
    else
        FormDriver::typeOver(m_form->Combo5, year);
    QCOMPARE(m_form->Combo5->currentText(), year);

    perform(QStringLiteral("pick:0"));
    QCOMPARE(entries(m_form->Combo5), Years001);
    QCOMPARE(m_form->Combo5->currentText(), year);
    perform(QStringLiteral("pick:1"));
    QCOMPARE(entries(m_form->Combo5), QStringList{"2020"});
    QCOMPARE(m_form->Combo5->currentText(), year);
    QCOMPARE(MessageBox::takeShown().size(), 0);
}

// With LQsystem.db moved away after start, every run of the work shows the connection error
// box (it makes a new connection each time), followed by the read error when an entry
// matched. So the boxes count the runs.
void TestFiscalYear::eachGestureRunsOnce_data()
{
    QTest::addColumn<QStringList>("before");
    QTest::addColumn<QString>("gesture");
    QTest::addColumn<int>("runs");
    QTest::addColumn<bool>("matched");

    QTest::newRow("pick an entry other than the text") << QStringList{} << "pick:1" << 1 << true;
    QTest::newRow("pick the entry already shown") << QStringList{"pick:1"} << "pick:1" << 1 << true;
    QTest::newRow("pick after typing its text") << QStringList{"type:001(A)"} << "pick:0" << 1 << true;
    QTest::newRow("pick the next entry with the arrow key") << QStringList{"pick:0"} << "down" << 1 << true;
    QTest::newRow("Enter after typing an entry's text") << QStringList{"focus", "type:001(A)"} << "return" << 0 << true;
    QTest::newRow("leave after typing an entry's text") << QStringList{"focus", "type:001(A)"} << "leave" << 0 << true;
    QTest::newRow("open the list after typing an entry's text, pick it") << QStringList{"focus", "type:001(A)"}
                                                                          << "pick:0" << 1 << true;
    QTest::newRow("type one character") << QStringList{} << "type:0" << 1 << true;
    QTest::newRow("type two characters") << QStringList{} << "type:00" << 2 << true;
    QTest::newRow("type a character matching nothing") << QStringList{} << "type:X" << 1 << false;
    QTest::newRow("backspace") << QStringList{"type:00"} << "backspace" << 1 << true;
    QTest::newRow("paste") << QStringList{} << "paste:002" << 1 << true;
    QTest::newRow("clear by keyboard") << QStringList{} << "clear" << 1 << true;
}

void TestFiscalYear::eachGestureRunsOnce()
{
    QFETCH(QStringList, before);
    QFETCH(QString, gesture);
    QFETCH(int, runs);
    QFETCH(bool, matched);
    QVERIFY(openWindow(TwoSets));
    QVERIFY(QFile::rename(systemDatabase(), systemDatabase() + QStringLiteral(".away")));
    for (const QString &step : before)
        perform(step);
    MessageBox::takeShown();

    perform(gesture);

    const QList<MessageBox::Shown> shown = MessageBox::takeShown();
    QCOMPARE(shown.size(), runs * (matched ? 2 : 1));
    for (int i = 0; i < shown.size(); i += matched ? 2 : 1) {
        QCOMPARE(shown[i].title, QStringLiteral("数据库连接错误"));
        QCOMPARE(shown[i].style, 16);
        QVERIFY2(shown[i].prompt.startsWith(QStringLiteral("数据库LQsystem连接错误")), qPrintable(shown[i].prompt));
        QVERIFY2(shown[i].prompt.contains(QStringLiteral("数据库文件不存在")), qPrintable(shown[i].prompt));
        if (matched) {
            QCOMPARE(shown[i + 1].style, 16);
            QVERIFY2(shown[i + 1].prompt.startsWith(QStringLiteral("读取会计年度时出错：")), qPrintable(shown[i + 1].prompt));
        }
    }
    QCOMPARE(entries(m_form->Combo5), InitialYears);
}

void TestFiscalYear::failureIsShownAndWindowGoesOn_data()
{
    QTest::addColumn<QString>("periods");  // a null string: LQsystem.db is moved away after start
    QTest::addColumn<QString>("gesture");
    QTest::addColumn<QStringList>("prompts");  // start and a part of each box, in order
    QTest::addColumn<QString>("number");

    const QString read = QStringLiteral("读取会计年度时出错：\r\n");
    QTest::newRow("KS_period missing") << QString("") << "pick:0" << QStringList{read + "|KS_period"} << "001";
    QTest::newRow("bisdelete missing") << QString("create table KS_period(cacc_id text, iyear integer);") << "pick:1"
                                       << QStringList{read + "|bisdelete"} << "002";
    QTest::newRow("iyear missing") << QString("create table KS_period(cacc_id text, bisdelete integer);") << "type:0"
                                   << QStringList{read + "|iyear"} << "001";
    QTest::newRow("LQsystem gone, first match kept") << QString() << "type:0"
                                                     << QStringList{"数据库LQsystem连接错误|数据库文件不存在", read + "|"}
                                                     << "001";
}

void TestFiscalYear::failureIsShownAndWindowGoesOn()
{
    QFETCH(QString, periods);
    QFETCH(QString, gesture);
    QFETCH(QStringList, prompts);
    QFETCH(QString, number);
    QVERIFY(openWindow(TwoSets, periods.isNull() ? PeriodRows : periods));
    if (periods.isNull())
        QVERIFY(QFile::remove(systemDatabase()));

    perform(gesture);

    const QList<MessageBox::Shown> shown = MessageBox::takeShown();
    QCOMPARE(shown.size(), prompts.size());
    for (int i = 0; i < shown.size(); ++i) {
        QCOMPARE(shown[i].style, 16);
        QVERIFY2(shown[i].prompt.startsWith(prompts[i].section(QLatin1Char('|'), 0, 0)), qPrintable(shown[i].prompt));
        QVERIFY2(shown[i].prompt.contains(prompts[i].section(QLatin1Char('|'), 1)), qPrintable(shown[i].prompt));
        QVERIFY2(shown[i].prompt.size() > prompts[i].section(QLatin1Char('|'), 0, 0).size(), "no description");
    }
    QCOMPARE(m_form->Combo4->currentText(), number);
    QCOMPARE(entries(m_form->Combo5), InitialYears);

    // The window goes on: once the database is whole again, the next change lists the years.
    QFile::remove(systemDatabase());
    createSystemDatabase(TwoSets, PeriodRows);
    perform(QStringLiteral("type:001"));
    QCOMPARE(MessageBox::takeShown().size(), 0);
    QCOMPARE(m_form->Combo4->currentText(), QStringLiteral("001"));
    QCOMPARE(entries(m_form->Combo5), Years001);
}

QTEST_MAIN(TestFiscalYear)
#include "tst_fiscal_year.moc"
