// The balance reset: pressing 修正科目错误 clears mb, md and mc of exactly one account code,
// from a period on, in the year database of the chosen account set, and changes nothing else.

#include "app/Form1.h"
#include "app/MessageBox.h"
#include "db/ODBC.h"
#include "tests/support/FormDriver.h"
#include "tests/support/SqliteFixture.h"

#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QMap>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

const QString AppTitle = QStringLiteral("N3新会计制度科目增加工具");
const QString NotChosen = QStringLiteral("未选择帐套或年度！");
const QString Succeeded = QStringLiteral("修复成功！");
const QString Failed = QStringLiteral("修复失败！");

// Account set 001 has the years 2006, 2007 and 2008 (2008 has no database) besides a deleted
// year and the placeholder 9999; a second account set has an empty number and the year 2007.
const QString SystemScript = QStringLiteral(
    "create table KS_Account(cAcc_Id TEXT, cAcc_Name TEXT, cAcc_Path TEXT);"
    "insert into KS_Account values('001','演示','d:\\n3'),('','空帐套',null);"
    "create table KS_period(cacc_id TEXT, iyear INTEGER, iperiod INTEGER, bisdelete INTEGER);"
    "insert into KS_period values('001',2006,1,0),('001',2006,2,0),('001',2007,1,0),('001',2007,2,null),"
    "('001',2008,1,0),('001',2005,1,1),('001',9999,1,0),('',2007,1,0);");

// GL_accsum holds every period of the account 1011, of its parent and sub-accounts, of near
// misses, and of codes that read as SQL or as LIKE wildcards; one code is NULL, one period is NULL.
const QStringList Codes = {
    QStringLiteral("101"), QStringLiteral("1011"), QStringLiteral("101101"), QStringLiteral("10110"),
    QStringLiteral("1012"), QStringLiteral("1"), QStringLiteral("1011' or '1'='1"), QStringLiteral("1011'--"),
    QStringLiteral("'; drop table GL_accsum; --"), QStringLiteral("%"), QStringLiteral("_"), QString()};

QString quoted(const QString &text)
{
    return text.isNull() ? QStringLiteral("null") : QLatin1Char('\'') + QString(text).replace("'", "''") + '\'';
}

QString yearScript()
{
    QString script = QStringLiteral(
        "create table GL_accsum(ccode TEXT, iperiod INTEGER, mb NUMERIC, md NUMERIC, mc NUMERIC, me NUMERIC);"
        "create table code(ccode TEXT, ccode_name TEXT, bend INTEGER);"
        "insert into code values('101','现金',0),('1011','人民币',0),('101101','人民币户',1);"
        "insert into GL_accsum values('1011',null,7.5,7,7,7);");
    int n = 0;
    for (const QString &code : Codes)
        for (int period : {1, 2, 11, 12}) {
            ++n;
            script += QStringLiteral("insert into GL_accsum values(%1,%2,%3.25,%3,-%3.5,%3.75);")
                          .arg(quoted(code)).arg(period).arg(n);
        }
    return script;
}

QString boxText(const MessageBox::Shown &box)
{
    return QStringLiteral("%1 | %2 | %3").arg(box.title).arg(box.style).arg(box.prompt);
}

QStringList shownBoxes()
{
    QStringList boxes;
    for (const MessageBox::Shown &box : MessageBox::takeShown())
        boxes << boxText(box);
    return boxes;
}

QString plainBox(const QString &prompt)
{
    return boxText({prompt, AppTitle, 0});
}

} // namespace

class BalanceReset : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void clearsExactlyTheCodeFromThePeriod_data();
    void clearsExactlyTheCodeFromThePeriod();
    void refusesWithoutAccountSetOrYear_data();
    void refusesWithoutAccountSetOrYear();
    void yearWithoutDatabase_data();
    void yearWithoutDatabase();

private:
    QString path(const QString &name) const { return m_dir->filePath(name); }
    // Every file of the data directory with the whole content of its tables.
    QMap<QString, QString> dumpFiles() const;
    void chooseAccountSetAndYear(int accountRow, int yearRow);
    void enterCodeAndPeriod(const QString &code, const QString &period, bool pickPeriod);
    void pressReset() { QTest::mouseClick(m_form->Command1, Qt::LeftButton); }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Form1> m_form;
};

void BalanceReset::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    SqliteFixture::run(path("LQsystem.db"), SystemScript);
    for (const char *name : {"LQDATA_001_2006.db", "LQDATA_001_2007.db", "LQDATA__2007.db"})
        SqliteFixture::run(path(QLatin1String(name)), yearScript());
    FormDriver::useDataDirectory(m_dir->path());
    m_form = std::make_unique<Form1>();
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
    QCOMPARE(shownBoxes(), QStringList());
}

void BalanceReset::cleanup()
{
    MessageBox::takeShown();
    m_form.reset();
    ODBC::DbConn().reset();
    m_dir.reset();
}

QMap<QString, QString> BalanceReset::dumpFiles() const
{
    QMap<QString, QString> files;
    for (const QString &name : QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden))
        files.insert(name, name.endsWith(".db") ? SqliteFixture::dumpAll(path(name)) : QString());
    return files;
}

// Picks the account set from Combo3's list and, unless yearRow is -1, the year from Combo5's.
void BalanceReset::chooseAccountSetAndYear(int accountRow, int yearRow)
{
    FormDriver::pickFromList(m_form->Combo3, accountRow);
    QTRY_VERIFY(m_form->Combo5->count() > 0);
    if (yearRow >= 0)
        FormDriver::pickFromList(m_form->Combo5, yearRow);
}

// A null period leaves Combo1 at the text the window starts with (9).
void BalanceReset::enterCodeAndPeriod(const QString &code, const QString &period, bool pickPeriod)
{
    QTest::keyClicks(m_form->txtCode, code);
    QCOMPARE(m_form->txtCode->text(), code);
    if (pickPeriod)
        FormDriver::pickFromList(m_form->Combo1, period.toInt() - 1);
    else if (period.isEmpty() && !period.isNull())
        FormDriver::clearByKeyboard(m_form->Combo1);
    else if (!period.isNull())
        FormDriver::typeOver(m_form->Combo1, period);
    QCOMPARE(m_form->Combo1->currentText(), period.isNull() ? QStringLiteral("9") : period);
}

void BalanceReset::clearsExactlyTheCodeFromThePeriod_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("period");
    QTest::addColumn<bool>("pickPeriod");
    QTest::addColumn<QString>("box");
    QTest::addColumn<int>("changedRows");  // rows of GL_accsum the reset must change

    QTest::newRow("period 1: every period") << "1011" << "1" << true << Succeeded << 4;
    QTest::newRow("period 12: only 12") << "1011" << "12" << true << Succeeded << 1;
    QTest::newRow("typed period 11") << "1011" << "11" << false << Succeeded << 2;
    QTest::newRow("period left at 9") << "1011" << QString() << false << Succeeded << 2;
    QTest::newRow("sub-account") << "101101" << "1" << false << Succeeded << 4;
    QTest::newRow("parent account") << "101" << "2" << false << Succeeded << 3;
    QTest::newRow("unknown code") << "9999" << "1" << false << Succeeded << 0;
    QTest::newRow("empty code") << "" << "1" << false << Succeeded << 0;
    QTest::newRow("empty period") << "1011" << "" << false << Failed << 0;
    QTest::newRow("blank period") << "1011" << "   " << false << Failed << 0;
    QTest::newRow("decimal period") << "1011" << "3.5" << false << Failed << 0;
    QTest::newRow("period with statement") << "1011" << "3; drop table code" << false << Failed << 0;
    QTest::newRow("period or 1=1") << "1011" << "1 or 1=1" << false << Failed << 0;
    QTest::newRow("period comment") << "1011" << "1--" << false << Failed << 0;
    QTest::newRow("hostile code, hostile period") << "1011'--" << "1 or 1=1" << false << Failed << 0;
    QTest::newRow("code or '1'='1'") << "1011' or '1'='1" << "1" << false << Succeeded << 4;
    QTest::newRow("code with comment") << "1011'--" << "1" << false << Succeeded << 4;
    QTest::newRow("code dropping the table") << "'; drop table GL_accsum; --" << "11" << false << Succeeded << 2;
    QTest::newRow("code %") << "%" << "1" << false << Succeeded << 4;
    QTest::newRow("code _") << "_" << "12" << true << Succeeded << 1;
}

void BalanceReset::clearsExactlyTheCodeFromThePeriod()
{
    QFETCH(QString, code);
    QFETCH(QString, period);
    QFETCH(bool, pickPeriod);
    QFETCH(QString, box);
    QFETCH(int, changedRows);

    chooseAccountSetAndYear(0, 1);
    QCOMPARE(m_form->Combo3->currentText(), QStringLiteral("001(演示)"));
    QCOMPARE(m_form->Combo5->currentText(), QStringLiteral("2007"));
    enterCodeAndPeriod(code, period, pickPeriod);
    QMap<QString, QString> expected = dumpFiles();
    const QString yearFile = path("LQDATA_001_2007.db");
    const QStringList rowsBefore = SqliteFixture::dump(yearFile, "GL_accsum").split('\n');

    // The same file with the expected rows cleared by a statement written out by hand.
    QTemporaryDir referenceDir;
    const QString reference = referenceDir.filePath("reference.db");
    SqliteFixture::run(reference, yearScript());
    if (changedRows > 0) {
        const int from = period.isNull() ? 9 : period.toInt();
        SqliteFixture::run(reference, QStringLiteral("update GL_accsum set mb=0,md=0,mc=0 where ccode=%1 and iperiod>=%2")
                                          .arg(quoted(code)).arg(from));
    }
    expected["LQDATA_001_2007.db"] = SqliteFixture::dumpAll(reference);

    pressReset();

    QCOMPARE(shownBoxes(), QStringList{plainBox(box)});
    QCOMPARE(dumpFiles(), expected);
    const QStringList rowsAfter = SqliteFixture::dump(yearFile, "GL_accsum").split('\n');
    QCOMPARE(rowsAfter.size(), rowsBefore.size());
    int changed = 0;
    for (int i = 0; i < rowsBefore.size(); ++i)
        changed += rowsBefore[i] != rowsAfter[i];
    QCOMPARE(changed, changedRows);
}

void BalanceReset::refusesWithoutAccountSetOrYear_data()
{
    QTest::addColumn<int>("accountRow");
    QTest::addColumn<int>("yearRow");
    QTest::addColumn<bool>("clearYear");
    QTest::addColumn<QString>("accountSetNumber");

    // KS_Account's second entry has an empty number: picking it leaves Combo4 empty.
    QTest::newRow("account set with empty number") << 1 << 0 << false << "";
    QTest::newRow("year cleared by keyboard") << 0 << 1 << true << "001";
    QTest::newRow("year never chosen") << 0 << -1 << false << "001";
}

void BalanceReset::refusesWithoutAccountSetOrYear()
{
    QFETCH(int, accountRow);
    QFETCH(int, yearRow);
    QFETCH(bool, clearYear);
    QFETCH(QString, accountSetNumber);

    chooseAccountSetAndYear(accountRow, yearRow);
    if (clearYear)
        FormDriver::clearByKeyboard(m_form->Combo5);
    QCOMPARE(m_form->Combo4->currentText(), accountSetNumber);
    QCOMPARE(m_form->Combo5->currentText().isEmpty(), yearRow < 0 || clearYear);
    enterCodeAndPeriod("1011", "1", true);
    const QMap<QString, QString> before = dumpFiles();
    const db::Connection *connection = ODBC::DbConn().get();

    pressReset();

    QCOMPARE(shownBoxes(), QStringList{plainBox(NotChosen)});
    QCOMPARE(ODBC::DbConn().get(), connection);  // no database was opened
    QCOMPARE(dumpFiles(), before);
}

void BalanceReset::yearWithoutDatabase_data()
{
    QTest::addColumn<int>("yearRow");  // -1: the year is typed
    QTest::addColumn<QString>("year");

    QTest::newRow("listed year") << 2 << "2008";
    QTest::newRow("typed year") << -1 << "2099";
}

void BalanceReset::yearWithoutDatabase()
{
    QFETCH(int, yearRow);
    QFETCH(QString, year);

    chooseAccountSetAndYear(0, yearRow);
    if (yearRow < 0)
        FormDriver::typeOver(m_form->Combo5, year);
    QCOMPARE(m_form->Combo5->currentText(), year);
    enterCodeAndPeriod("1011", "1", true);
    const QMap<QString, QString> before = dumpFiles();

    pressReset();

    const QList<MessageBox::Shown> shown = MessageBox::takeShown();
    QCOMPARE(shown.size(), 2);
    QCOMPARE(shown[0].title, QStringLiteral("数据库连接错误"));
    QCOMPARE(shown[0].style, 16);
    QVERIFY2(shown[0].prompt.startsWith(QStringLiteral("数据库LQDATA_001_%1连接错误").arg(year)),
             qPrintable(shown[0].prompt));
    QVERIFY(shown[0].prompt.endsWith(QStringLiteral("请正确配置数数据连接")));
    QCOMPARE(boxText(shown[1]), plainBox(Failed));
    QVERIFY(!QFile::exists(path(QStringLiteral("LQDATA_001_%1.db").arg(year))));
    QCOMPARE(dumpFiles(), before);
}

QTEST_MAIN(BalanceReset)
#include "tst_balance_reset.moc"
