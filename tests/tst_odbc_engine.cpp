// The tool on the real ODBC path: the unchanged connection string goes through the system's
// driver manager (unixODBC) to a driver registered as "SQL Server" — here the SQLite ODBC
// driver, which opens DATABASE=X as the file X in the current directory. Start-up, the
// fiscal-year list and both repairs run on demo data; a database name that would add an
// attribute to the connection string opens nothing.
#include "support/FormDriver.h"
#include "support/SqliteFixture.h"

#include "app/Form1.h"
#include "app/MessageBox.h"
#include "db/ConnectionString.h"
#include "db/ODBC.h"
#include "demo/DemoData.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

const QString SqliteOdbcDriver = QStringLiteral("/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so");

QStringList entries(const QComboBox *combo)
{
    QStringList list;
    for (int i = 0; i < combo->count(); ++i)
        list << combo->itemText(i);
    return list;
}

QStringList boxes()
{
    QStringList list;
    for (const MessageBox::Shown &box : MessageBox::takeShown())
        list << QStringLiteral("%1 | %2 | %3").arg(box.title).arg(box.style).arg(box.prompt);
    return list;
}

// Every file of the current directory with its bytes.
QMap<QString, QByteArray> filesHere()
{
    QMap<QString, QByteArray> files;
    for (const QString &name : QDir::current().entryList(QDir::Files | QDir::Hidden)) {
        QFile file(name);
        file.open(QIODevice::ReadOnly);
        files.insert(name, file.readAll());
    }
    return files;
}

} // namespace

class OdbcEngine : public QObject {
    Q_OBJECT

    QTemporaryDir m_config;
    std::unique_ptr<QTemporaryDir> m_data;
    std::unique_ptr<Form1> m_form;

    // A reference copy of database `name`, changed by `script` as the repair should change it.
    QString expectedAfter(const QString &name, const QString &script)
    {
        const QString copy = m_config.filePath(QStringLiteral("expected-") + name);
        QFile::remove(copy);
        QFile::copy(name, copy);
        SqliteFixture::run(copy, script);
        return SqliteFixture::dumpAll(copy);
    }

    void chooseAccountSetAndYear(int accountSet, const QString &year)
    {
        FormDriver::pickFromList(m_form->Combo3, accountSet);
        QVERIFY(entries(m_form->Combo5).contains(year));
        FormDriver::pickFromList(m_form->Combo5, m_form->Combo5->findText(year));
        QCOMPARE(m_form->Combo5->currentText(), year);
    }

private slots:
    // The driver manager reads only our odbcinst.ini, once per process, before any ODBC call.
    void initTestCase()
    {
        QVERIFY2(QFile::exists(SqliteOdbcDriver), "the SQLite ODBC driver (libsqliteodbc) is not installed");
        QFile ini(m_config.filePath(QStringLiteral("odbcinst.ini")));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write(QStringLiteral("[SQL Server]\nDescription=SQLite through ODBC\nDriver=%1\n").arg(SqliteOdbcDriver).toUtf8());
        ini.close();
        QFile(m_config.filePath(QStringLiteral("odbc.ini"))).open(QIODevice::WriteOnly);
        qputenv("ODBCSYSINI", QFile::encodeName(m_config.path()));
        qputenv("ODBCINI", QFile::encodeName(m_config.filePath(QStringLiteral("odbc.ini"))));
    }

    // Fresh demo databases, named without ".db" as the driver opens them, in the current directory.
    void init()
    {
        m_data = std::make_unique<QTemporaryDir>();
        createDemoDataDirectory(m_data->path());
        QDir dir(m_data->path());
        for (const QString &name : dir.entryList({QStringLiteral("*.db")}, QDir::Files))
            QVERIFY(dir.rename(name, name.chopped(3)));
        QVERIFY(QDir::setCurrent(m_data->path()));
        FormDriver::useDataDirectory(m_data->path());
        ODBC::setEngine({db::EngineKind::Odbc, QString()});
        m_form = std::make_unique<Form1>();
        m_form->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
        QCOMPARE(boxes(), QStringList());
    }

    void cleanup()
    {
        m_form.reset();
        ODBC::DbConn().reset();
        QDir::setCurrent(QDir::rootPath());
        m_data.reset();
    }

    void startUpListsTheAccountSets()
    {
        QCOMPARE(entries(m_form->Combo3),
                 QStringList({"001(演示工业有限公司)", "002(演示商贸有限公司)", "003(演示服务有限公司)", "667(澄岚示范单位)"}));
        QCOMPARE(entries(m_form->Combo4), QStringList({"001", "002", "003", "667"}));
        QCOMPARE(m_form->Combo1->currentText(), QStringLiteral("9"));
        // The string went to the driver unchanged; the driver reports SQLite, so T-SQL is rewritten.
        QCOMPARE(ODBC::DbConn()->connectionString(), db::buildConnectionString(ODBC::SystemDatabase));
        QVERIFY(ODBC::DbConn()->isOpen());
        QCOMPARE(ODBC::DbConn()->dialect(), db::SqlDialect::Sqlite);
    }

    void fiscalYearsOfThePickedAccountSet_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<QStringList>("years");
        QTest::newRow("001: the placeholder 9999 is not listed") << 0 << QStringList{"2006", "2007"};
        QTest::newRow("002: the deleted 2005 is not listed") << 1 << QStringList{"2006", "2007"};
        QTest::newRow("003: deleted 2006") << 2 << QStringList{"2007"};
        QTest::newRow("667") << 3 << QStringList{"2007"};
    }
    void fiscalYearsOfThePickedAccountSet()
    {
        QFETCH(int, row);
        QFETCH(QStringList, years);
        FormDriver::pickFromList(m_form->Combo3, row);
        QCOMPARE(m_form->Combo4->currentText(), entries(m_form->Combo4).at(row));
        QCOMPARE(entries(m_form->Combo5), years);
        QCOMPARE(boxes(), QStringList());
    }

    void balanceResetClearsTheCodeFromThePeriod()
    {
        chooseAccountSetAndYear(0, QStringLiteral("2007"));
        const QString file = QStringLiteral("LQDATA_001_2007");
        const QString code = SqliteFixture::dump(file, QStringLiteral("GL_accsum")).section(QLatin1Char('|'), 0, 0).mid(3).chopped(1);
        QVERIFY(!code.isEmpty());
        QTest::keyClicks(m_form->txtCode, code);
        FormDriver::pickFromList(m_form->Combo1, 2);
        QCOMPARE(m_form->Combo1->currentText(), QStringLiteral("3"));
        const QString expected = expectedAfter(
            file, QStringLiteral("update GL_accsum set mb=0,md=0,mc=0 where ccode='%1' and iperiod>=3").arg(code));
        QVERIFY(expected != SqliteFixture::dumpAll(file));

        QTest::mouseClick(m_form->Command1, Qt::LeftButton);

        QCOMPARE(boxes(), QStringList{QStringLiteral("N3新会计制度科目增加工具 | 0 | 修复成功！")});
        QCOMPARE(SqliteFixture::dumpAll(file), expected);
    }

    void endFlagRepairSetsEveryFlag()
    {
        chooseAccountSetAndYear(1, QStringLiteral("2006"));
        const QString file = QStringLiteral("LQDATA_002_2006");
        const QString expected = expectedAfter(file, QStringLiteral(
            "update code set bend = not exists(select 1 from code longer where length(longer.ccode) > length(code.ccode)"
            " and substr(longer.ccode, 1, length(code.ccode)) = code.ccode)"));
        QVERIFY(expected != SqliteFixture::dumpAll(file));  // the demo data has wrong flags

        QTest::mouseClick(m_form->Command2, Qt::LeftButton);

        QCOMPARE(m_form->Label1->text(), QStringLiteral("修复完毕复"));
        QCOMPARE(boxes(), QStringList());
        QCOMPARE(SqliteFixture::dumpAll(file), expected);
    }

    void nameThatWouldAddAnAttributeOpensNothing_data()
    {
        QTest::addColumn<QString>("year");
        QTest::addColumn<QString>("fault");
        QTest::newRow(";") << "2007;Database=other" << "“;”";
        QTest::newRow("}") << "2007};Database={other}" << "“}”";
        QTest::newRow("{") << "{2007;Database=other}" << "“{”";
    }
    // "other" is a year database a second DATABASE attribute would open and repair.
    void nameThatWouldAddAnAttributeOpensNothing()
    {
        QFETCH(QString, year);
        QFETCH(QString, fault);
        chooseAccountSetAndYear(0, QStringLiteral("2007"));
        QVERIFY(QFile::copy(QStringLiteral("LQDATA_001_2007"), QStringLiteral("other")));
        FormDriver::typeOver(m_form->Combo5, year);
        QCOMPARE(m_form->Combo5->currentText(), year);
        QTest::keyClicks(m_form->txtCode, SqliteFixture::dump(QStringLiteral("other"), QStringLiteral("GL_accsum"))
                                              .section(QLatin1Char('|'), 0, 0).mid(3).chopped(1));
        const QMap<QString, QByteArray> before = filesHere();

        QTest::mouseClick(m_form->Command1, Qt::LeftButton);
        QVERIFY(!ODBC::DbConn()->isOpen());
        QTest::mouseClick(m_form->Command2, Qt::LeftButton);
        QVERIFY(!ODBC::DbConn()->isOpen());

        const QString connectionBox = QStringLiteral("数据库连接错误 | 16 | 数据库LQDATA_001_%1连接错误 \r\n"
                                                     "数据库名称中含有不允许的字符 %2：名称只能由字母、数字和下划线组成。\r\n"
                                                     "请正确配置数数据连接").arg(year, fault);
        QCOMPARE(boxes(), QStringList({connectionBox, QStringLiteral("N3新会计制度科目增加工具 | 0 | 修复失败！"), connectionBox,
                                       QStringLiteral("N3新会计制度科目增加工具 | 16 | 重建末级科目标志时出错：\r\n"
                                                      "数据库连接未打开，无法执行操作。")}));
        QVERIFY(m_form->Label1->text().isEmpty());
        QCOMPARE(filesHere(), before);
    }
};

QTEST_MAIN(OdbcEngine)
#include "tst_odbc_engine.moc"
