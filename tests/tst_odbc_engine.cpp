// The tool through unixODBC: the unchanged connection string reaches Debian's SQLite ODBC driver,
// registered as "SQL Server" by a test-only odbcinst.ini; it opens DATABASE=X as the file X here.
#include "support/FormDriver.h"
#include "support/OdbcFixture.h"
#include "support/SqliteFixture.h"
#include "app/Form1.h"
#include "db/ConnectionString.h"
#include "db/ODBC.h"
#include "demo/DemoData.h"
#include <QtTest>
#include <QtWidgets>

// The code of the first balance row of the database `file`.
static QString firstCode(const QString &file)
{
    return SqliteFixture::dump(file, "GL_accsum").section('|', 0, 0).mid(3).chopped(1);
}

class OdbcEngine : public QObject {
    Q_OBJECT
    QTemporaryDir m_config;
    std::unique_ptr<QTemporaryDir> m_data;
    std::unique_ptr<Form1> m_form;
private slots:
    void initTestCase()  // the driver manager reads odbcinst.ini once, before the first ODBC call
    {
        OdbcFixture::registerSqliteDriver(m_config.path());
    }
    void init()  // fresh demo databases, named without ".db", in the current directory
    {
        m_data = std::make_unique<QTemporaryDir>();
        OdbcFixture::useDemoDatabases(m_data->path());
        m_form = FormDriver::openWindow();
        QVERIFY(m_form);
    }
    void cleanup()
    {
        m_form.reset();
        m_data.reset();
    }

    // Start-up fills the lists through the driver (dialect SQLite: T-SQL is rewritten), each set lists its
    // live years, and both repairs change the file exactly as the same change made by hand.
    void startUpListsAndRepairs()
    {
        QCOMPARE(FormDriver::entries(m_form->Combo3),
                 QStringList({"001(演示工业有限公司)", "002(演示商贸有限公司)", "003(演示服务有限公司)", "667(澄岚示范单位)"}));
        QCOMPARE(ODBC::DbConn()->connectionString(), db::buildConnectionString(ODBC::SystemDatabase));
        QCOMPARE(ODBC::DbConn()->dialect(), db::SqlDialect::Sqlite);
        // no 9999, no deleted year
        const QStringList years = {"001:2006,2007", "002:2006,2007", "003:2007", "667:2007"};
        for (int row = 3; row >= 0; --row) {  // ends on 001
            FormDriver::pickFromList(m_form->Combo3, row);
            QCOMPARE(m_form->Combo4->currentText() + ':' + FormDriver::entries(m_form->Combo5).join(','), years[row]);
        }
        FormDriver::pickFromList(m_form->Combo5, 1);
        QTemporaryDir expected;
        const QString file = "LQDATA_001_2007", copy = expected.filePath(file), code = firstCode(file);
        QTest::keyClicks(m_form->txtCode, code);
        FormDriver::pickFromList(m_form->Combo1, 2);
        QVERIFY(QFile::copy(file, copy));
        SqliteFixture::run(copy, QStringLiteral("update GL_accsum set mb=0,md=0,mc=0 where ccode='%1' and iperiod>=3").arg(code));
        QVERIFY(SqliteFixture::dumpAll(copy) != SqliteFixture::dumpAll(file));
        QTest::mouseClick(m_form->Command1, Qt::LeftButton);
        QCOMPARE(FormDriver::boxesShown(), QStringList{"0|N3新会计制度科目增加工具|修复成功！"});
        QCOMPARE(SqliteFixture::dumpAll(file), SqliteFixture::dumpAll(copy));
        SqliteFixture::run(
            copy, "update code set bend = not exists(select 1 from code longer where length(longer.ccode) > length(code.ccode)"
                  " and substr(longer.ccode, 1, length(code.ccode)) = code.ccode)");
        QVERIFY(SqliteFixture::dumpAll(copy) != SqliteFixture::dumpAll(file));  // the demo data has wrong flags
        QTest::mouseClick(m_form->Command2, Qt::LeftButton);
        QCOMPARE(m_form->Label1->text(), "修复完毕复");
        QCOMPARE(FormDriver::boxesShown(), QStringList());
        QCOMPARE(SqliteFixture::dumpAll(file), SqliteFixture::dumpAll(copy));
    }

    // A year name that would add an attribute to the connection string (DATABASE=other) opens nothing.
    void nameThatWouldAddAnAttributeOpensNothing_data()
    {
        QTest::addColumn<QString>("year");  // each row is named after the character the box names
        QTest::newRow(";") << "2007;Database=other";
        QTest::newRow("}") << "2007};Database={other}";
        QTest::newRow("{") << "{2007;Database=other}";
    }
    void nameThatWouldAddAnAttributeOpensNothing()
    {
        QFETCH(QString, year);
        FormDriver::pickFromList(m_form->Combo3, 0);
        QVERIFY(QFile::copy("LQDATA_001_2007", "other"));
        FormDriver::typeOver(m_form->Combo5, year);
        QTest::keyClicks(m_form->txtCode, firstCode("other"));
        const QMap<QString, QByteArray> before = SqliteFixture::dumpDirectory(m_data->path());
        QTest::mouseClick(m_form->Command1, Qt::LeftButton);
        QTest::mouseClick(m_form->Command2, Qt::LeftButton);
        const QString connection =
            QStringLiteral("16|数据库连接错误|数据库LQDATA_001_%1连接错误 \r\n数据库名称中含有不允许的字符 “%2”："
                           "名称只能由字母、数字和下划线组成。\r\n请正确配置数数据连接")
                .arg(year, QTest::currentDataTag());
        QCOMPARE(FormDriver::boxesShown(),
                 QStringList({connection, "0|N3新会计制度科目增加工具|修复失败！", connection,
                              "16|N3新会计制度科目增加工具|重建末级科目标志时出错：\r\n数据库连接未打开，无法执行操作。"}));
        QCOMPARE(SqliteFixture::dumpDirectory(m_data->path()), before);
    }
};

QTEST_MAIN(OdbcEngine)
#include "tst_odbc_engine.moc"
