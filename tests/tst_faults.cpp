// Faults of the embedded engine, met through the real window: missing or broken databases,
// tables and columns, a read-only file, another program's lock, a year that would lead outside
// the data directory, and the tool killed in the middle of an end-flag walk. Each fault is
// reported in a box, the window goes on, and no file is left changed or half-written.
#include "support/FormDriver.h"
#include "support/SqliteFixture.h"

#include "app/Form1.h"
#include "app/MessageBox.h"
#include "db/ODBC.h"
#include "demo/DemoData.h"

#include <QComboBox>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

#include <memory>

namespace {

const QString SystemScript = QStringLiteral(
    "create table KS_Account(cAcc_Id TEXT, cAcc_Name TEXT);"
    "insert into KS_Account values('001','演示');"
    "create table KS_period(cacc_id TEXT, iyear INTEGER, iperiod INTEGER, bisdelete INTEGER);"
    "insert into KS_period values('001',2006,1,0),('001',2007,1,0);");

const QString YearScript = QStringLiteral(
    "create table code(ccode TEXT, ccode_name TEXT, bend INTEGER);"
    "insert into code values('1001','现金',1),('100101','人民币',0),('1011','存款',1),('101101','工行',1);"
    "create table GL_accsum(ccode TEXT, iperiod INTEGER, mb NUMERIC, md NUMERIC, mc NUMERIC);"
    "insert into GL_accsum values('1011',9,1.5,2,3),('1011',12,4,5,6.25),('1001',10,7,8,9);");

// Box patterns over "title | style | prompt".
QString box(const QString &title, int style, const QString &promptPattern)
{
    return QLatin1Char('^') + QRegularExpression::escape(QStringLiteral("%1 | %2 | ").arg(title).arg(style)) + promptPattern
        + QLatin1Char('$');
}
QString connectionBox(const QString &name, const QString &description)
{
    return box(QStringLiteral("数据库连接错误"), 16,
               QStringLiteral("数据库%1连接错误 \r\n%2\r\n请正确配置数数据连接").arg(QRegularExpression::escape(name), description));
}
QString appBox(int style, const QString &promptPattern)
{
    return box(QStringLiteral("N3新会计制度科目增加工具"), style, promptPattern);
}
const QString Failed = appBox(0, QStringLiteral("修复失败！"));
QString walkBox(const QString &description)
{
    return appBox(16, QStringLiteral("重建末级科目标志时出错：\r\n") + description);
}
const QString NotOpen = walkBox(QStringLiteral("数据库连接未打开，无法执行操作。"));
QString yearListBox(const QString &description)
{
    return appBox(16, QStringLiteral("读取会计年度时出错：\r\n") + description);
}

QStringList boxes()
{
    QStringList list;
    for (const MessageBox::Shown &shown : MessageBox::takeShown())
        list << QStringLiteral("%1 | %2 | %3").arg(shown.title).arg(shown.style).arg(shown.prompt);
    return list;
}

// Every file under `root`: a database with its schema and every row, any other file with its bytes.
QMap<QString, QByteArray> files(const QString &root)
{
    QMap<QString, QByteArray> all;
    for (QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories); it.hasNext();) {
        QFile file(it.next());
        file.open(QIODevice::ReadOnly);
        const QByteArray bytes = file.readAll();
        all.insert(QDir(root).relativeFilePath(file.fileName()),
                   bytes.startsWith(QByteArrayLiteral("SQLite format 3")) ? SqliteFixture::dumpAll(file.fileName()).toUtf8() : bytes);
    }
    return all;
}

} // namespace

class Faults : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_root;  // data/ is the data directory; x.db lies outside it
    std::unique_ptr<Form1> m_form;
    std::unique_ptr<QProcess> m_helper;
    QString data(const QString &name = QString()) const { return m_root->filePath(QStringLiteral("data/") + name); }

    // Presses the button (or picks the account set) and checks the boxes against the patterns.
    void perform(const QString &action, const QStringList &expected)
    {
        if (action == QLatin1String("pick"))
            FormDriver::pickFromList(m_form->Combo3, 0);
        else
            QTest::mouseClick(action == QLatin1String("Command1") ? m_form->Command1 : m_form->Command2, Qt::LeftButton);
        const QStringList shown = boxes();
        QCOMPARE(shown.size(), expected.size());
        for (int i = 0; i < shown.size(); ++i)
            QVERIFY2(QRegularExpression(expected[i]).match(shown[i]).hasMatch(), qPrintable(shown[i]));
    }

private slots:
    void init()
    {
        m_root = std::make_unique<QTemporaryDir>();
        QVERIFY(QDir(m_root->path()).mkdir(QStringLiteral("data")));
        SqliteFixture::run(data(QStringLiteral("LQsystem.db")), SystemScript);
        SqliteFixture::run(data(QStringLiteral("LQDATA_001_2007.db")), YearScript);
        SqliteFixture::run(m_root->filePath(QStringLiteral("x.db")), YearScript);  // bait outside
        FormDriver::useDataDirectory(data());
    }

    void cleanup()
    {
        if (m_helper && m_helper->state() != QProcess::NotRunning) {
            m_helper->kill();
            m_helper->waitForFinished();
        }
        m_helper.reset();
        m_form.reset();
        ODBC::DbConn().reset();
        QFile::setPermissions(data(QStringLiteral("LQDATA_001_2007.db")), QFile::ReadOwner | QFile::WriteOwner);
        m_root.reset();
    }

    void faultIsReportedAndNothingChanges_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("action");
        QTest::addColumn<QStringList>("expected");
        const QString year = QStringLiteral("LQDATA_001_2007");
        const QString missing = connectionBox(year, QStringLiteral("数据库文件不存在：.*/data/LQDATA_001_2007\\.db"));
        const QString garbage = connectionBox(year, QStringLiteral("文件不是有效的数据库：file is not a database.*"));
        const QString outside = connectionBox(year + QStringLiteral("/../../x"),
                                              QStringLiteral("数据库名称中含有不允许的字符 “/”：名称只能由字母、数字和下划线组成。"));
        QTest::newRow("missing database, 1") << "missing database" << "Command1" << QStringList{missing, Failed};
        QTest::newRow("missing database, 2") << "missing database" << "Command2" << QStringList{missing, NotOpen};
        QTest::newRow("missing table code") << "drop table code" << "Command2" << QStringList{walkBox("数据库中缺少数据表：no such table: code.*")};
        QTest::newRow("missing table GL_accsum") << "drop table GL_accsum" << "Command1" << QStringList{Failed};
        QTest::newRow("missing table KS_period") << "drop table KS_period" << "pick" << QStringList{yearListBox("数据库中缺少数据表：no such table: KS_period.*")};
        QTest::newRow("missing column bend") << "alter table code drop column bend" << "Command2" << QStringList{walkBox(".*no such column: bend.*")};
        QTest::newRow("missing column mb") << "alter table GL_accsum drop column mb" << "Command1" << QStringList{Failed};
        QTest::newRow("missing column bisdelete") << "alter table KS_period drop column bisdelete" << "pick" << QStringList{yearListBox(".*no such column: bisdelete.*")};
        QTest::newRow("garbage file, 1") << "garbage" << "Command1" << QStringList{garbage, Failed};
        QTest::newRow("garbage file, 2") << "garbage" << "Command2" << QStringList{garbage, NotOpen};
        QTest::newRow("read-only file, 1") << "read-only" << "Command1" << QStringList{Failed};
        QTest::newRow("read-only file, 2") << "read-only" << "Command2" << QStringList{walkBox(".*readonly database.*")};
        QTest::newRow("locked by another program, 1") << "locked" << "Command1" << QStringList{Failed};
        QTest::newRow("locked by another program, 2") << "locked" << "Command2" << QStringList{walkBox(".*database is locked.*")};
        QTest::newRow("year leading outside, 1") << "outside" << "Command1" << QStringList{outside, Failed};
        QTest::newRow("year leading outside, 2") << "outside" << "Command2" << QStringList{outside, NotOpen};
    }

    void faultIsReportedAndNothingChanges()
    {
        QFETCH(QString, fault);
        QFETCH(QString, action);
        QFETCH(QStringList, expected);
        const QString yearDb = data(QStringLiteral("LQDATA_001_2007.db"));
        if (fault == QLatin1String("missing database")) {
            QVERIFY(QFile::remove(yearDb));
        } else if (fault == QLatin1String("garbage")) {
            QFile file(yearDb);
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            QRandomGenerator random(7);
            for (int i = 0; i < 4096; ++i)
                file.putChar(char(random.bounded(256)));
        } else if (fault == QLatin1String("read-only")) {
            if (geteuid() == 0)  // file modes do not stop root from writing
                QSKIP("running as root: a read-only file mode does not stop writes");
            QVERIFY(QFile::setPermissions(yearDb, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        } else if (fault == QLatin1String("outside")) {
            // With this directory, data/LQDATA_001_2007/../../x.db would be the bait x.db.
            QVERIFY(QDir(data()).mkdir(QStringLiteral("LQDATA_001_2007")));
        } else if (fault != QLatin1String("locked")) {
            SqliteFixture::run(fault.contains(QLatin1String("KS_period")) ? data(QStringLiteral("LQsystem.db")) : yearDb, fault);
        }
        const QMap<QString, QByteArray> before = files(m_root->path());
        if (fault == QLatin1String("locked")) {
            m_helper = std::make_unique<QProcess>();
            m_helper->setProcessChannelMode(QProcess::ForwardedErrorChannel);
            m_helper->start(QStringLiteral(N3_LOCK_HOLDER), {yearDb});
            QTRY_VERIFY_WITH_TIMEOUT(m_helper->canReadLine(), 30000);
            QCOMPARE(m_helper->readLine(), QByteArray("locked\n"));
        }

        m_form = std::make_unique<Form1>();
        m_form->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
        QCOMPARE(boxes(), QStringList());
        if (action != QLatin1String("pick")) {
            FormDriver::pickFromList(m_form->Combo3, 0);
            FormDriver::pickFromList(m_form->Combo5, 1);
            if (fault == QLatin1String("outside"))
                FormDriver::typeOver(m_form->Combo5, QStringLiteral("2007/../../x"));
            QTest::keyClicks(m_form->txtCode, QStringLiteral("1011"));
            QCOMPARE(boxes(), QStringList());
        }

        // The window reports the fault and goes on: the same action reports it again.
        for (int attempt = 0; attempt < 2; ++attempt) {
            perform(action, expected);
            if (QTest::currentTestFailed())
                return;
            QVERIFY(m_form->isVisible() && m_form->Command1->isEnabled() && m_form->Command2->isEnabled());
        }
        if (m_helper) {
            m_helper->closeWriteChannel();
            QVERIFY(m_helper->waitForFinished());
            QCOMPARE(m_helper->exitCode(), 0);
        }
        QCOMPARE(files(m_root->path()), before);
    }

    // The tool is killed while it walks a chart of 20000 accounts. The file is intact, and the
    // rows are a clean prefix: in code order, rows up to some k hold their right flags and
    // every row after k its old one.
    void killedWalkLeavesACleanPrefix()
    {
        const QVector<ChartAccount> chart = generateChart(20000, {4, 2, 2, 2});
        const QString yearDb = data(QStringLiteral("LQDATA_001_2007.db"));
        QVERIFY(QFile::remove(data(QStringLiteral("LQsystem.db"))) && QFile::remove(yearDb));
        writeSystemDatabase(data(QStringLiteral("LQsystem.db")), {{"001", "演示", {2007}, {}}});
        writeAccountSetDatabase(yearDb, chart, 0.1, 7);
        const QStringList old = SqliteFixture::dump(yearDb, QStringLiteral("code")).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        const QString sums = SqliteFixture::dump(yearDb, QStringLiteral("GL_accsum"));
        const QStringList schema = SqliteFixture::dump(yearDb, QStringLiteral("sqlite_master")).split(QLatin1Char('\n'));
        QCOMPARE(old.size(), chart.size());
        QStringList right;  // rows are stored in code order: columns ccode, ccode_name, igrade, bend, cclass
        for (int i = 0; i < old.size(); ++i) {
            QStringList fields = old[i].split(QLatin1Char('|'));
            QCOMPARE(fields[0], QStringLiteral("t:'%1'").arg(chart[i].code));
            fields[3] = QStringLiteral("i:%1").arg(int(chart[i].endLevel));
            right << fields.join(QLatin1Char('|'));
        }
        const auto changedRows = [&] {
            const QStringList now = SqliteFixture::dump(yearDb, QStringLiteral("code")).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
            int changed = 0;
            for (int i = 0; i < now.size() && i < old.size(); ++i)
                changed += now[i] != old[i];
            return changed;
        };

        m_helper = std::make_unique<QProcess>();
        m_helper->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_helper->start(QStringLiteral(N3_WALK_RUNNER), {data(), QStringLiteral("2007"), chart[chart.size() / 2].code});
        QTRY_VERIFY_WITH_TIMEOUT(m_helper->canReadLine(), 60000);
        QCOMPARE(m_helper->readLine(), QByteArray("walking\n"));
        QTRY_VERIFY_WITH_TIMEOUT(changedRows() >= 30, 60000);
        m_helper->kill();  // SIGKILL
        QVERIFY(m_helper->waitForFinished());
        QCOMPARE(m_helper->exitStatus(), QProcess::CrashExit);
        qInfo("left by the killed walk: journal %d, write-ahead log %d", int(QFile::exists(yearDb + QStringLiteral("-journal"))),
              int(QFile::exists(yearDb + QStringLiteral("-wal"))));

        QString journalMode;
        {
            // The next program to open the file (read-write, as the tool does) recovers it.
            QSqlDatabase check = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("check"));
            check.setDatabaseName(yearDb);
            QVERIFY(check.open());
            QSqlQuery integrity(check);
            QVERIFY(integrity.exec(QStringLiteral("PRAGMA integrity_check")) && integrity.next());
            QCOMPARE(integrity.value(0).toString(), QStringLiteral("ok"));
            QVERIFY(integrity.exec(QStringLiteral("PRAGMA journal_mode")) && integrity.next());
            journalMode = integrity.value(0).toString();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("check"));

        const QStringList after = SqliteFixture::dump(yearDb, QStringLiteral("code")).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(after.size(), old.size());
        int k = 0;
        while (k < after.size() && after[k] == right[k])
            ++k;
        QVERIFY2(k > 0 && k < after.size(), qPrintable(QStringLiteral("prefix of %1 rows").arg(k)));
        for (int i = k; i < after.size(); ++i)
            QVERIFY2(after[i] == old[i], qPrintable(QStringLiteral("row %1 after the prefix of %2 rows: %3").arg(i).arg(k).arg(after[i])));
        QCOMPARE(SqliteFixture::dump(yearDb, QStringLiteral("GL_accsum")), sums);

        // The killed walk's indexes and write-ahead log are still there; the next walk, run to
        // its end, repairs every flag and takes them away.
        QCOMPARE(journalMode, QStringLiteral("wal"));
        m_helper = std::make_unique<QProcess>();
        m_helper->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_helper->start(QStringLiteral(N3_WALK_RUNNER), {data(), QStringLiteral("2007"), QStringLiteral("~")});
        QVERIFY(m_helper->waitForFinished(120000));
        QCOMPARE(m_helper->exitCode(), 0);
        QCOMPARE(SqliteFixture::dump(yearDb, QStringLiteral("code")).split(QLatin1Char('\n'), Qt::SkipEmptyParts), right);
        QCOMPARE(SqliteFixture::dump(yearDb, QStringLiteral("sqlite_master")).split(QLatin1Char('\n')), schema);
        QVERIFY(!QFile::exists(yearDb + QStringLiteral("-wal")));
    }
};

QTEST_MAIN(Faults)
#include "tst_faults.moc"
