// Start-up of the real window on real database files: placement, controls, focus order and
// the account-set and period lists, and the boxes a failed connection shows.
#include "support/FormDriver.h"
#include "support/SqliteFixture.h"

#include "app/Form1.h"
#include "app/MessageBox.h"
#include "app/StartUp.h"
#include "db/ODBC.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

namespace {

QStringList entries(const QComboBox *combo)
{
    QStringList list;
    for (int i = 0; i < combo->count(); ++i)
        list << combo->itemText(i);
    return list;
}

const QString SystemTables = QStringLiteral(
    "create table KS_Account(cAcc_Id text, cAcc_Name text, iYear integer);"
    "create table KS_period(cacc_id text, iyear integer, iperiod integer, bisdelete integer);");

} // namespace

class StartUpTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString systemDb() const { return m_dir.filePath(QStringLiteral("LQsystem.db")); }

private slots:
    void init()
    {
        QFile::remove(systemDb());
        FormDriver::useDataDirectory(m_dir.path());
    }

    void placement_data()
    {
        QTest::addColumn<QSize>("screen");
        QTest::addColumn<QSize>("window");
        QTest::addColumn<QPoint>("expected");
        QTest::newRow("400 shorter and narrower") << QSize(848, 717) << QSize(448, 317) << QPoint(200, 100);
        QTest::newRow("exact fit") << QSize(448, 317) << QSize(448, 317) << QPoint(0, 0);
        QTest::newRow("larger than the screen") << QSize(400, 300) << QSize(448, 317) << QPoint(-24, -4);
    }
    void placement()
    {
        QFETCH(QSize, screen);
        QFETCH(QSize, window);
        QFETCH(QPoint, expected);
        QCOMPARE(windowPlacement(screen, window), expected);
    }

    void filledListsAndDesignTimeContents()
    {
        SqliteFixture::run(systemDb(), SystemTables + QStringLiteral(
            "insert into KS_Account values('002','乙公司',2007),('001','ABC',2007),('003',NULL,2007),(667,'数字',2007);"));
        Form1 form;
        QVERIFY(MessageBox::takeShown().isEmpty());
        QCOMPARE(entries(form.Combo3), QStringList({"002(乙公司)", "001(ABC)", "003()", "667(数字)"}));
        QCOMPARE(entries(form.Combo4), QStringList({"002", "001", "003", "667"}));
        QCOMPARE(form.Combo3->currentText(), QStringLiteral("选择帐套"));
        QCOMPARE(form.Combo4->currentText(), QStringLiteral("帐套编号"));
        QCOMPARE(form.combo3data->text(), QStringLiteral("8"));
        QStringList periods;
        for (int i = 1; i <= 12; ++i)
            periods << QString::number(i);
        QCOMPARE(entries(form.Combo1), periods);
        QCOMPARE(form.Combo1->currentText(), QStringLiteral("9"));
        QCOMPARE(entries(form.Combo5), QStringList({"2006", "2007"}));
        QCOMPARE(form.Combo5->currentText(), QString());
        QCOMPARE(form.Label1->text(), QString());
        QVERIFY(ODBC::DbConn()->isOpen());

        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QCOMPARE(form.size(), QSize(442, 285));
        QCOMPARE(form.minimumSize(), form.maximumSize());
        QVERIFY(!(form.windowFlags() & (Qt::WindowMaximizeButtonHint | Qt::WindowMinimizeButtonHint)));
        QCOMPARE(form.windowTitle(), QStringLiteral("澄岚N3科目错误修正工具（修复总账和明细账不平的错误）"));
        QVERIFY(!form.Combo4->isVisible());
        QVERIFY(!form.combo3data->isVisible());
        QCOMPARE(form.Combo3->geometry(), QRect(64, 40, 321, 20));
        QCOMPARE(form.Command2->geometry(), QRect(240, 232, 145, 33));
        QCOMPARE(form.Command1->text(), QStringLiteral("修正科目错误"));
        QCOMPARE(form.Label5->text(), QStringLiteral("记账不平科目编码"));
        QCOMPARE(form.windowIcon().pixmap(32, 32).size(), QSize(32, 32));
    }

    void secondFillReplacesTheLists()
    {
        SqliteFixture::run(systemDb(), SystemTables + QStringLiteral("insert into KS_Account values('001','ABC',2007);"));
        Form1 form;
        QCOMPARE(form.Combo3->count(), 1);
        SqliteFixture::run(systemDb(), QStringLiteral("insert into KS_Account values('002','DEF',2007);"));
        form.Form_Load();
        QCOMPARE(entries(form.Combo3), QStringList({"001(ABC)", "002(DEF)"}));
        QCOMPARE(entries(form.Combo4), QStringList({"001", "002"}));
        QCOMPARE(form.Combo1->count(), 24);  // the periods are appended again, as on any load
    }

    void emptyAccountTable()
    {
        SqliteFixture::run(systemDb(), SystemTables);
        Form1 form;
        QVERIFY(MessageBox::takeShown().isEmpty());
        QCOMPARE(form.Combo3->count(), 0);
        QCOMPARE(form.Combo4->count(), 0);
        QCOMPARE(form.combo3data->text(), QStringLiteral("8"));
        QCOMPARE(form.Combo1->count(), 12);
        QCOMPARE(form.Combo1->currentText(), QStringLiteral("9"));
    }

    void missingSystemDatabaseShowsBothBoxesAndCreatesNothing()
    {
        Form1 form;
        const QList<MessageBox::Shown> shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 2);
        QVERIFY(shown[0].prompt.startsWith(QStringLiteral("数据库LQsystem连接错误 \r\n")));
        QVERIFY(shown[0].prompt.endsWith(QStringLiteral("\r\n请正确配置数数据连接")));
        QVERIFY(shown[0].prompt.contains(QDir::toNativeSeparators(systemDb())));
        QCOMPARE(shown[0].title, QStringLiteral("数据库连接错误"));
        QCOMPARE(shown[0].style, 16);
        QCOMPARE(shown[1].prompt, QStringLiteral("连接不到澄岚数据库"));
        QCOMPARE(shown[1].title, QStringLiteral("N3新会计制度科目增加工具"));
        QCOMPARE(shown[1].style, 0);
        QVERIFY(!QFile::exists(systemDb()));
        QVERIFY(!ODBC::DbConn()->isOpen());

        QCOMPARE(form.Combo3->count(), 0);
        QCOMPARE(form.Combo1->count(), 0);
        QCOMPARE(form.Combo1->currentText(), QString());
        QCOMPARE(form.combo3data->text(), QStringLiteral("帐套选择标志"));
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
    }

    void failureWhileFillingIsReportedAndKeepsWhatWasListed()
    {
        SqliteFixture::run(systemDb(), QStringLiteral("create table KS_Account(cAcc_Id text, other text);"
                                                      "insert into KS_Account values('001','x');"));
        Form1 form;
        const QList<MessageBox::Shown> shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QVERIFY(shown[0].prompt.startsWith(QStringLiteral("读取帐套列表时出错：")));
        QVERIFY(shown[0].prompt.contains(QStringLiteral("cAcc_Name")));
        QCOMPARE(shown[0].style, 16);
        QCOMPARE(form.combo3data->text(), QStringLiteral("帐套选择标志"));
        QCOMPARE(form.Combo1->count(), 0);

        SqliteFixture::run(systemDb(), QStringLiteral("drop table KS_Account;") + SystemTables
            + QStringLiteral("insert into KS_Account values('001','A',1),(NULL,'B',1);"));
        Form1 second;
        QCOMPARE(MessageBox::takeShown().size(), 1);
        QCOMPARE(entries(second.Combo3), QStringList({"001(A)"}));
        QCOMPARE(entries(second.Combo4), QStringList({"001"}));
    }

    void garbageFileIsAConnectionFailure()
    {
        QFile file(systemDb());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(4096, '\x5a'));
        file.close();
        Form1 form;
        const QList<MessageBox::Shown> shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 2);
        QCOMPARE(shown[0].title, QStringLiteral("数据库连接错误"));
        QVERIFY(shown[0].prompt.contains(QStringLiteral("not a database")));
        QCOMPARE(shown[1].prompt, QStringLiteral("连接不到澄岚数据库"));
    }

    void tabOrderStartsInTheYearBox()
    {
        SqliteFixture::run(systemDb(), SystemTables + QStringLiteral("insert into KS_Account values('001','ABC',2007);"));
        Form1 form;
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        QTRY_COMPARE(QApplication::focusWidget(), form.Combo5);
        const QList<QWidget *> order = {form.Combo3, form.Command1, form.txtCode, form.Combo1, form.Command2, form.Combo5};
        for (QWidget *expected : order) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QTRY_COMPARE(QApplication::focusWidget(), expected);
        }
    }

    void messageBoxesAreChinese()
    {
        const std::unique_ptr<QMessageBox> box = MessageBox::build(QStringLiteral("修复成功！"), 0, QString());
        QCOMPARE(box->windowTitle(), QStringLiteral("N3新会计制度科目增加工具"));
        QCOMPARE(box->icon(), QMessageBox::NoIcon);
        QCOMPARE(box->buttons().size(), 1);
        QCOMPARE(box->buttons().first()->text(), QStringLiteral("确定"));
        const std::unique_ptr<QMessageBox> critical = MessageBox::build(QStringLiteral("x"), 16, QStringLiteral("数据库连接错误"));
        QCOMPARE(critical->icon(), QMessageBox::Critical);
        QCOMPARE(critical->windowTitle(), QStringLiteral("数据库连接错误"));
    }
};

QTEST_MAIN(StartUpTest)
#include "tst_startup.moc"
