// The balance reset (修正科目错误): clears mb, md and mc of exactly one account code from a period
// on, in the year database of the chosen account set, and changes nothing else in any file. Its
// rules (which codes and periods it takes, what it clears) at the repair, as every front end runs
// it; the window's press for its wiring: the boxes of a reset done, not chosen and on a year with
// no database, and the notice of a trigger.
#include "app/Form1.h"
#include "app/MessageBox.h"
#include "db/DbError.h"
#include "repair/BalanceReset.h"
#include "repair/Journal.h"
#include "repair/ResetPeriod.h"
#include "tests/support/DataFiles.h"
#include "tests/support/FormDriver.h"
#include "tests/support/SqliteFixture.h"

#include <QTest>
#include <QtWidgets>

// One press of 修正科目错误: the window's inputs and the boxes it must show, in order.
// `account` is a row of Combo3's list; each box is "style|title|first line of the prompt".
struct Case {
    int account;
    QString year, code, period;
    QStringList boxes;
};
Q_DECLARE_METATYPE(Case)

// One reset as the repair is asked for it, and how it must end: `clearsFrom` is the period from
// which the code's rows are cleared, as the test reads the period given (empty where nothing is).
enum class Ends { Cleared, Refused, NotChosen, NoDatabase };
struct Reset {
    QString accountSet, year, code, period;
    Ends ends;
    QString clearsFrom;
};
Q_DECLARE_METATYPE(Reset)

// Account set 001 has 2006, 2007 and 2008 (no database) besides a deleted year; the second
// account set has an empty number.
const QString SystemScript =
    "create table KS_Account(cAcc_Id TEXT, cAcc_Name TEXT); insert into KS_Account values('001','演示'),('','空帐套');"
    "create table KS_period(cacc_id TEXT, iyear INTEGER, iperiod INTEGER, bisdelete INTEGER);"
    "insert into KS_period values('001',2006,1,0),('001',2007,1,0),('001',2008,1,0),('001',2005,1,1),('',2007,1,0);";

// Periods 1, 2, 11 and 12 of 1011, its parent, sub-account and near misses, of codes that read as
// SQL or as LIKE wildcards, and of a NULL code; one more row of 1011 has a NULL period.
const QString YearScript =
    "begin; create table code(ccode TEXT, bend INTEGER); insert into code values('1011',0),('101101',1);"
    "create table GL_accsum(ccode TEXT, iperiod INTEGER, mb NUMERIC, md NUMERIC, mc NUMERIC, me NUMERIC);"
    "insert into GL_accsum values('1011',null,7.5,7,7,7); insert into GL_accsum select c, p, k + 0.25, k, -k - 0.5,"
    " k + 0.75 from (select c.value c, p.value p, c.key * 4 + p.key + 1 k from json_each('[\"101\",\"1011\",\"101101\","
    "\"10110\",\"1012\",\"1\",\"1011'' or ''1''=''1\",\"1011''--\",\"''; drop table GL_accsum; --\",\"%\",\"_\",null]') c,"
    " json_each('[1,2,11,12]') p); commit;";

// Fills `dir` with the system database and the year databases above, and points the tool at it.
void plant(const QTemporaryDir &dir)
{
    SqliteFixture::run(systemDatabase(dir.path()), SystemScript);
    for (const char *name : {"LQDATA_001_2006.db", "LQDATA_001_2007.db", "LQDATA__2007.db"})
        SqliteFixture::run(dir.filePath(name), YearScript);
    FormDriver::useDataDirectory(dir.path());
}

QString plain(const QString &prompt)
{
    return "0|" + MessageBox::ApplicationTitle + "|" + prompt;
}

// Picks `text` from the combo box's open list when listed, otherwise types it over (or deletes the text).
void enter(QComboBox *combo, const QString &text)
{
    if (!text.isEmpty() && combo->findText(text) >= 0)
        FormDriver::pickFromList(combo, combo->findText(text));
    else
        FormDriver::typeOver(combo, text);
    QCOMPARE(combo->currentText(), text);
}

class BalanceReset : public QObject {
    Q_OBJECT
private slots:
    void reset_data()
    {
        QTest::addColumn<Reset>("reset");
        const auto cleared = [](const QString &code, const QString &period, const QString &from) {
            return Reset{"001", "2007", code, period, Ends::Cleared, from};
        };
        const auto refused = [](const QString &period) { return Reset{"001", "2007", "1011", period, Ends::Refused, {}}; };
        QTest::newRow("period 1: every period") << cleared("1011", "1", "1");
        QTest::newRow("period 12: only 12") << cleared("1011", "12", "12");
        QTest::newRow("period 13: none") << cleared("1011", "13", "13");
        QTest::newRow("period 0 and -1: every period") << cleared("1011", "0", "0");
        QTest::newRow("period -1") << cleared("1011", "-1", "-1");
        QTest::newRow("period with blanks") << cleared("1011", " 11 ", "11");
        QTest::newRow("period with a sign") << cleared("1011", "+11", "11");
        QTest::newRow("period with a leading 0") << cleared("1011", "012", "12");
        QTest::newRow("unknown code") << cleared("9999", "1", "1");
        QTest::newRow("empty code") << cleared("", "1", "1");
        QTest::newRow("code or '1'='1'") << cleared("1011' or '1'='1", "1", "1");
        QTest::newRow("code with comment") << cleared("1011'--", "1", "1");
        QTest::newRow("code dropping the table") << cleared("'; drop table GL_accsum; --", "11", "11");
        QTest::newRow("code %") << cleared("%", "1", "1");
        QTest::newRow("code _") << cleared("_", "12", "12");
        QTest::newRow("empty period") << refused("");
        QTest::newRow("period 3.5") << refused("3.5");
        QTest::newRow("period 3a") << refused("3a");
        QTest::newRow("period 1e1") << refused("1e1");
        QTest::newRow("period 1 or 1=1") << refused("1 or 1=1");
        QTest::newRow("period in full-width digits") << refused("１２");
        QTest::newRow("account set without number") << Reset{"", "2007", "1011", "1", Ends::NotChosen, {}};
        QTest::newRow("no year") << Reset{"001", "", "1011", "1", Ends::NotChosen, {}};
        QTest::newRow("year without database") << Reset{"001", "2099", "1011", "1", Ends::NoDatabase, {}};
    }

    // The reset ends as it must, and every file is as before except the rows a statement written
    // here clears.
    void reset()
    {
        QFETCH(Reset, reset);
        QTemporaryDir dir, referenceDir;
        plant(dir);
        QMap<QString, QByteArray> expected = SqliteFixture::dumpDirectory(dir.path());
        const QString update = "update GL_accsum set mb=0, md=0, mc=0 where ccode=%1 and iperiod>=%2;";
        SqliteFixture::run(
            yearDatabase(referenceDir.path()),
            YearScript + (reset.clearsFrom.isEmpty() ? "" : update.arg(SqliteFixture::literal(reset.code), reset.clearsFrom)));
        expected.insert(SqliteFixture::dumpDirectory(referenceDir.path()));  // the year database as it should be

        repair::BalanceResetRun run;
        bool noDatabase = false;
        try {
            run = repair::resetBalances(reset.accountSet, reset.year, reset.code, repair::resetPeriod(reset.period));
        } catch (const db::DbError &error) {
            noDatabase = true;
            QVERIFY2(error.description().contains("LQDATA_001_2099"), qPrintable(error.description()));
        }
        QCOMPARE(noDatabase, reset.ends == Ends::NoDatabase);
        switch (reset.ends) {
        case Ends::Cleared:
            QVERIFY2(run.result == repair::RunResult::Completed, qPrintable(run.failure));
            QVERIFY(run.unrecorded.isEmpty());
            break;
        case Ends::Refused:
            QCOMPARE(run.result, repair::RunResult::Failed);
            QCOMPARE(run.failure, QStringLiteral("月份“%1”不是整数。").arg(reset.period));
            QVERIFY(run.journal.isEmpty());
            break;
        case Ends::NotChosen:
            QCOMPARE(run.result, repair::RunResult::NotChosen);
            break;
        case Ends::NoDatabase:
            break;
        }
        QCOMPARE(SqliteFixture::dumpDirectory(dir.path()), expected);
    }

    // Presses in the window: the boxes in order, and nothing opened for a press without a choice.
    void press_data()
    {
        QTest::addColumn<Case>("press");
        const QStringList ok{plain("修复成功！")}, failed{plain("修复失败！")}, notChosen{plain("未选择帐套或年度！")};
        QTest::newRow("cleared") << Case{0, "2007", "1011", "11", ok};
        QTest::newRow("period refused") << Case{0, "2007", "1011", "3.5", failed};
        QTest::newRow("account set without number") << Case{1, "2007", "1011", "1", notChosen};
        const QString noDatabase = "16|数据库连接错误|数据库LQDATA_001_%1连接错误 ";
        QTest::newRow("listed year, no database") << Case{0, "2008", "1011", "1", {noDatabase.arg(2008), failed[0]}};
    }

    void press()
    {
        QFETCH(Case, press);
        QTemporaryDir dir, referenceDir;
        plant(dir);
        const std::unique_ptr<Form1> form = FormDriver::openWindow();
        QVERIFY(form);
        FormDriver::pickFromList(form->Combo3, press.account);
        enter(form->Combo5, press.year);
        QTest::keyClicks(form->txtCode, press.code);
        enter(form->Combo1, press.period);
        QMap<QString, QByteArray> expected = SqliteFixture::dumpDirectory(dir.path());
        const QString update = "update GL_accsum set mb=0, md=0, mc=0 where ccode=%1 and iperiod>=%2;";
        const bool succeeds = press.boxes == QStringList{plain("修复成功！")};
        SqliteFixture::run(yearDatabase(referenceDir.path()),
                           YearScript + (succeeds ? update.arg(SqliteFixture::literal(press.code), press.period) : ""));
        expected.insert(SqliteFixture::dumpDirectory(referenceDir.path()));

        QTest::mouseClick(form->Command1, Qt::LeftButton);
        const QRegularExpression afterFirstLine("\r\n.*", QRegularExpression::DotMatchesEverythingOption);
        QCOMPARE(FormDriver::boxesShown().replaceInStrings(afterFirstLine, QString()), press.boxes);
        QCOMPARE(SqliteFixture::dumpDirectory(dir.path()), expected);
        if (press.boxes == QStringList{plain("未选择帐套或年度！")})  // nothing was begun: no journal
            QVERIFY(QDir(repair::journalDirectory()).entryList(QDir::Files).isEmpty());
    }

    // A trigger that writes another table with every row the reset clears: 修复成功！ as ever,
    // then a box naming the trigger, since its writes are not in the journal.
    void triggerNamedAfterSuccess()
    {
        QTemporaryDir dir;
        SqliteFixture::run(systemDatabase(dir.path()), SystemScript);
        SqliteFixture::run(
            yearDatabase(dir.path()),
            YearScript
                + "create table audit(ccode TEXT);"
                  "create trigger audit_writes after update on GL_accsum begin insert into audit values(new.ccode); end;");
        FormDriver::useDataDirectory(dir.path());
        const std::unique_ptr<Form1> form = FormDriver::openWindow();
        QVERIFY(form);
        FormDriver::pickFromList(form->Combo3, 0);
        enter(form->Combo5, "2007");
        QTest::keyClicks(form->txtCode, "1011");
        enter(form->Combo1, "11");
        QTest::mouseClick(form->Command1, Qt::LeftButton);
        const QStringList boxes = FormDriver::boxesShown();
        QCOMPARE(boxes.size(), 2);
        QCOMPARE(boxes[0], plain("修复成功！"));
        QVERIFY2(boxes[1].startsWith(plain("数据表 GL_accsum 上有触发器 audit_writes：")), qPrintable(boxes[1]));
        QCOMPARE(SqliteFixture::select(yearDatabase(dir.path()), "select count(*) from audit"), QStringLiteral("i:2\n"));
    }
};

QTEST_MAIN(BalanceReset)
#include "tst_balance_reset.moc"
