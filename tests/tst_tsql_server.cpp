// The tool on its T-SQL path through unixODBC. Debian's SQLite ODBC driver, registered as
// "SQL Server" by a test-only odbcinst.ini, plays the server with the help of a preloaded shim
// (support/tsql_server_shim.cpp): it reports "Microsoft SQL Server", answers T-SQL's left() and
// len(), counts the statements sent, and with N3_SHIM_NOCOUNT=1 gives no row counts. So
// statements reach the driver as written, the walk asks the server which codes have sub-accounts,
// rows are written back and journaled by their values, and undo finds them by those values.
#include "support/EndFlagLookup.h"
#include "support/FormDriver.h"
#include "support/JournalDriver.h"
#include "support/OdbcFixture.h"
#include "support/ProcessRun.h"
#include "support/SqliteFixture.h"
#include "app/Form1.h"
#include "db/Connection.h"
#include "db/ODBC.h"
#include "db/Recordset.h"
#include "demo/DemoData.h"
#include "repair/BalanceRecompute.h"
#include "repair/BalanceReset.h"
#include "repair/EndFlagRepair.h"
#include "repair/Journal.h"
#include "repair/JournalReader.h"
#include "repair/RepairText.h"
#include "repair/Undo.h"

#include <QtTest>
#include <QtWidgets>

#include <dlfcn.h>
#include <unistd.h>

// How many times the shim answered left() or len(); null when the shim is not loaded.
static long (*shimCalls)() = nullptr;
// How many statements have gone to the driver manager.
static long (*shimStatements)() = nullptr;

// The chart table of the database `file` replaced by `rows`, each "code:flag before:flag the walk
// writes[:flag after undo]" (N for NULL), with the flag of field `field`; every row gets a name of
// its own, so copies of a code are identical only in the columns the walk reads.
static void storeChart(const QString &file, const QStringList &rows, int field)
{
    const auto flagLiteral = [](const QString &flag) { return flag == "N" ? QString("NULL") : flag; };
    QString script = "drop table if exists code; create table code(ccode TEXT, ccode_name TEXT, bend INTEGER);";
    for (int i = 0; i < rows.size(); ++i)
        script += QString("insert into code values(%1, '科目%2', %3);")
                      .arg(SqliteFixture::literal(rows[i].section(':', 0, 0)))
                      .arg(i)
                      .arg(flagLiteral(rows[i].section(':', field, field)));
    SqliteFixture::run(file, script);
}

// A chart of 300 accounts with one sub-account each, every flag wrong: a parent holds 1, a leaf 0.
// Gives the codes in walk order: 1001, 100101, 1002, 100201, ...
static QStringList storeParentsAndLeaves(const QString &file, bool triggers)
{
    QStringList codes;
    QString script = "drop table if exists code; create table code(ccode TEXT PRIMARY KEY, ccode_name TEXT, bend INTEGER);";
    for (int parent = 1001; parent <= 1300; ++parent) {
        codes << QString::number(parent) << QString::number(parent) + "01";
        script += QString("insert into code values('%1','科目',1),('%2','科目',0);").arg(codes.at(codes.size() - 2), codes.last());
    }
    if (triggers)
        script += "create table seen(n); create trigger code_seen after update on code begin insert into seen values(1); end;";
    SqliteFixture::run(file, script);
    return codes;
}

class TsqlServer : public QObject {
    Q_OBJECT
    QTemporaryDir m_config;
    std::unique_ptr<QTemporaryDir> m_data;
    const QString m_year = "LQDATA_001_2007";

private slots:
    void initTestCase()  // the driver manager reads odbcinst.ini once, before the first ODBC call
    {
        QVERIFY(shimCalls && shimStatements);
        OdbcFixture::registerSqliteDriver(m_config.path());
    }
    void init()  // fresh demo databases, named without ".db", in the current directory
    {
        m_data = std::make_unique<QTemporaryDir>();
        OdbcFixture::useDemoDatabases(m_data->path());
        QVERIFY(QDir(repair::journalDirectory()).removeRecursively());
        qunsetenv("N3_SHIM_NOCOUNT");
    }
    void cleanup() { m_data.reset(); }

    // 彻底根除 through the real window: the driver reports SQL Server, so the walk asks the server
    // with left()/len() sent as written (only the shim answers them), and writes each wrong flag
    // back by the row's values. Copies of a code, identical or not, all get the right flag, whether
    // the server reports row counts or not.
    void walkAsksTheServer_data()
    {
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<bool>("nocount");
        const QStringList chart{"1001:0:1",   "1002:1:0",     "100201:1:1", "100202:0:1", "2001:N:0",
                                "200101:1:0", "20010101:0:1", "3001  :0:0", "300101:0:1"};
        const QStringList identical{"1001:1:0", "1001:1:0", "100101:0:1", "1002:0:1", "1002:0:1", "1003:1:1", "1003:1:1"};
        const QStringList different{"2001:0:1", "2001:1:1", "2001:N:1", "2002:1:0", "2002:0:0", "200201:0:1"};
        for (const bool nocount : {false, true}) {
            const char *counts = nocount ? " (NOCOUNT)" : "";
            QTest::addRow("chart%s", counts) << chart << nocount;
            QTest::addRow("identical copies%s", counts) << identical << nocount;
            QTest::addRow("copies with different flags%s", counts) << different << nocount;
        }
    }
    void walkAsksTheServer()
    {
        QFETCH(QStringList, rows);
        QFETCH(bool, nocount);
        storeChart(m_year, rows, 1);
        QTemporaryDir expected;
        storeChart(expected.filePath("code"), rows, 2);
        if (nocount)
            qputenv("N3_SHIM_NOCOUNT", "1");
        const std::unique_ptr<Form1> form = FormDriver::openWindow();
        QVERIFY(form);
        FormDriver::pickFromList(form->Combo3, 0);
        FormDriver::pickFromList(form->Combo5, form->Combo5->findText("2007"));
        const long callsBefore = shimCalls();
        QTest::mouseClick(form->Command2, Qt::LeftButton);
        QCOMPARE(FormDriver::boxesShown(), QStringList());
        QCOMPARE(form->Label1->text(), "修复完毕复");
        QVERIFY(shimCalls() > callsBefore);
        QCOMPARE(SqliteFixture::dump(m_year, "code"), SqliteFixture::dump(expected.filePath("code"), "code"));
        const std::shared_ptr<db::Connection> server = ODBC::openConnection(m_year, false);
        QCOMPARE(server->dialect(), db::SqlDialect::TransactSql);
        QCOMPARE(server->execute("update code set bend=bend"), nocount ? -1 : int(rows.size()));  // counts as the case says
    }

    // Charts as import tools leave them: the walk's flags agree with the server asked row by row
    // (support/EndFlagLookup, the server's own left() and len()), and the walk sends a handful of
    // statements besides one UPDATE for each row whose flag is wrong (the chart and its flags are
    // read at the start and again at the end). Codes are stored with the flags 0, 1, NULL, 7 in turn.
    void verdictAgreesWithTheLookup_data()
    {
        QTest::addColumn<QStringList>("codes");  // "NULL" is a NULL code
        QTest::newRow("trailing blanks") << QStringList{"1001", "1001  ", "100101 ", "2001 ", "200101",
                                                        "3001", "3001 1", "4 ",      "4  1"};
        QTest::newRow("mixed case") << QStringList{"a1", "A1", "a101", "b", "B01", "Bb", "c", "C"};
        QTest::newRow("pattern characters") << QStringList{"10%", "10%1", "10_", "10x1", "[1", "[1]2",
                                                           "1'",  "1'2",  "_",   "%",    "]",  "]]"};
        QTest::newRow("duplicates and NULL")
            << QStringList{"5001", "5001", "500101", "NULL", "NULL", "6001", "6001", "7", "NULL"};
        QTest::newRow("wide characters and inner blanks")
            << QStringList{"现金", "现金01", "银行 ", "银行 存款", "1 2", "1", "1 ", "𠀀", "𠀀1", "𠀀𠀀"};
        QStringList chain;  // 130 lengths: more than one statement's worth of them
        const QString digits = QString("1234567890").repeated(13);
        for (int length = 1; length <= 130; ++length)
            chain << digits.left(length) << digits.left(length - 1) + "x";
        QTest::newRow("130 code lengths") << chain;
    }
    void verdictAgreesWithTheLookup()
    {
        QFETCH(QStringList, codes);
        QString script = "drop table if exists code; create table code(ccode TEXT, ccode_name TEXT, bend INTEGER);";
        const QStringList flags{"0", "1", "NULL", "7"};
        for (int i = 0; i < codes.size(); ++i)
            script += QString("insert into code values(%1, '科目%2', %3);")
                          .arg(codes[i] == "NULL" ? "NULL" : SqliteFixture::literal(codes[i]), QString::number(i), flags[i % 4]);
        SqliteFixture::run(m_year, script);

        // the server asked for each row, in the order the rows are stored
        QStringList expected;
        int wrong = 0;
        {
            const std::shared_ptr<db::Connection> server = ODBC::openConnection(m_year, true);
            QCOMPARE(server->dialect(), db::SqlDialect::TransactSql);
            EndFlagLookup lookup(server);
            db::Recordset rows;
            rows.open("select ccode, bend from code order by rowid", server, db::CursorType::Static, db::LockType::ReadOnly);
            for (; !rows.eof(); rows.moveNext()) {
                const int flag = lookup.flagOf(rows.field(0));
                expected << QString("i:%1").arg(flag);
                wrong += rows.field(1).isNull() || rows.field(1).toInt() != flag;
            }
        }
        QCOMPARE(expected.size(), codes.size());

        const long before = shimStatements();
        JournalDriver::Walk progress;
        const repair::EndFlagRun walk = repair::repairEndFlags("001", "2007", progress);
        const long sent = shimStatements() - before;
        QVERIFY2(walk.result == repair::RunResult::Completed, qPrintable(walk.failure));
        QCOMPARE(SqliteFixture::select(m_year, "select bend from code order by rowid").split('\n', Qt::SkipEmptyParts), expected);
        QCOMPARE(walk.rowsWritten, wrong);
        QVERIFY2(sent > 0 && sent <= wrong + 20, qPrintable(QString("%1 statements for %2 wrong flags").arg(sent).arg(wrong)));
    }

    // A chart of 300 accounts with one sub-account each, every flag wrong: the walk writes its 600
    // rows a batch of statements at a time (3, each of at most 250 rows, with or without row
    // counts), or one a row where triggers are on the table. A row another program changes while
    // it waits in a batch stops the walk right there: the rows before it are written, it keeps the
    // other program's value, the rows after it, in its batch or not, are untouched, and undo puts
    // back what the walk wrote. A stopped walk has written every row up to where it stopped.
    void batchesOnTheServer_data()
    {
        QTest::addColumn<bool>("nocount");
        QTest::addColumn<QString>("meddleAt");  // the code at which another program changes 1050
        QTest::addColumn<QString>("stopAt");    // the code after which the walk is stopped
        QTest::addColumn<bool>("triggers");
        for (const bool nocount : {false, true}) {
            const char *counts = nocount ? " (NOCOUNT)" : "";
            QTest::addRow("whole chart%s", counts) << nocount << ""
                                                   << "" << false;
            QTest::addRow("a waiting row changed%s", counts) << nocount << "1100"
                                                             << "" << false;
            QTest::addRow("stopped%s", counts) << nocount << ""
                                               << "1100" << false;
        }
        QTest::newRow("triggers") << false << ""
                                  << "" << true;
    }
    void batchesOnTheServer()
    {
        QFETCH(bool, nocount);
        QFETCH(QString, meddleAt);
        QFETCH(QString, stopAt);
        QFETCH(bool, triggers);
        const QStringList codes = storeParentsAndLeaves(m_year, triggers);
        const QString before = SqliteFixture::dump(m_year, "code");
        if (nocount)
            qputenv("N3_SHIM_NOCOUNT", "1");

        class Meddler : public repair::EndFlagProgress {
        public:
            QString file, meddleAt, stopAt, current;
            void rowStarted(const QString &code) override
            {
                current = code;
                if (code == meddleAt)
                    SqliteFixture::run(file, "update code set bend=5 where ccode='1050'");
            }
            bool rowDone() override { return current != stopAt; }
        } progress;
        progress.file = m_year;
        progress.meddleAt = meddleAt;
        progress.stopAt = stopAt;
        const long sentBefore = shimStatements();
        const repair::EndFlagRun walk = repair::repairEndFlags("001", "2007", progress);
        const long sent = shimStatements() - sentBefore;

        // the rows the walk is to have written, by their place in the walk, and the flags then
        int written = int(codes.size());
        if (!meddleAt.isEmpty())
            written = int(codes.indexOf("1050"));
        if (!stopAt.isEmpty())
            written = int(codes.indexOf(stopAt)) + 1;
        QStringList expected;
        for (int i = 0; i < codes.size(); ++i) {
            const bool parent = codes[i].size() == 4;
            const QString flag = codes[i] == "1050" && !meddleAt.isEmpty() ? "5" : QString::number(parent == (i < written) ? 0 : 1);
            expected << QString("t:'%1'|i:%2").arg(codes[i], flag);
        }
        QCOMPARE(SqliteFixture::select(m_year, "select ccode, bend from code order by ccode").split('\n', Qt::SkipEmptyParts),
                 expected);
        QCOMPARE(walk.rowsWritten, written);
        QCOMPARE(walk.rowsReached, written);
        QCOMPARE(walk.result, !meddleAt.isEmpty() ? repair::RunResult::Failed
                              : !stopAt.isEmpty() ? repair::RunResult::Stopped
                                                  : repair::RunResult::Completed);
        if (!meddleAt.isEmpty())
            QCOMPARE(walk.failure, db::rowChangedSinceRead());
        if (triggers)
            QVERIFY2(sent > written, qPrintable(QString("%1 statements for %2 rows").arg(sent).arg(written)));
        else if (meddleAt.isEmpty())
            QVERIFY2(sent <= 20, qPrintable(QString("%1 statements for %2 rows").arg(sent).arg(written)));

        const repair::RepairRecord record = repair::readRepair(repair::journalDirectory(), walk.journal);
        QCOMPARE(record.rowsDone, qint64(written));
        const repair::UndoRun undo = repair::undoRepair(walk.journal);
        QVERIFY2(undo.failure.isEmpty(), qPrintable(undo.failure));
        QCOMPARE(undo.rowsChanged, written);
        QString restored = before;
        if (!meddleAt.isEmpty())
            restored.replace("t:'1050'|t:'科目'|i:1", "t:'1050'|t:'科目'|i:5");
        QCOMPARE(SqliteFixture::dump(m_year, "code"), restored);
    }

    // n3fix --odbc on the server's path, killed at every sync of the file or the journal (strace):
    // each batch's statement is whole or absent, the file is whole, and the walk is listed and its
    // undo (n3fix --odbc --undo) gives back the chart exactly.
    void killedAtEverySyncOnTheServer()
    {
        if (QStandardPaths::findExecutable("strace").isEmpty() || runProcess("strace", {"-o", "/dev/null", "true"}).status != 0)
            SKIP_UNLESS_CI("strace is missing or may not trace processes here (scripts/install-deps installs it)");
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("ASAN_OPTIONS", environment.value("ASAN_OPTIONS") + ":detect_leaks=0");
        int kills = 0, undone = 0;
        for (int n = 1; n < 100; ++n) {
            const QStringList codes = storeParentsAndLeaves(m_year, false);
            QTemporaryDir home;  // the journals of this run alone
            environment.insert("XDG_DATA_HOME", home.path());
            const QString before = SqliteFixture::dump(m_year, "code");
            const ProcessRun walk =
                runProcess("strace",
                           QStringList{"-f", "-qq", "-o", "/dev/null", "-e", "trace=fdatasync,fsync", "-e",
                                       QString("inject=fdatasync,fsync:signal=KILL:when=%1").arg(n), "--", N3FIX, "--odbc",
                                       "--json", "--repair-end-flags", "--account-set", "001", "--year", "2007"},
                           environment);
            const QString step = QString("killed at sync #%1").arg(n);
            QCOMPARE(SqliteFixture::select(m_year, "pragma integrity_check"), QString("t:'ok'\n"));
            // whole statements of 250 rows: the rows written are the first 0, 250, 500 or all 600 of the walk
            const QStringList written = SqliteFixture::select(m_year, "select ccode from code where bend = (length(ccode) = 6)"
                                                                      " order by ccode")
                                            .split('\n', Qt::SkipEmptyParts);
            QVERIFY2(QList<qsizetype>({0, 250, 500, 600}).contains(written.size()), qPrintable(step));
            QCOMPARE(written, codes.mid(0, written.size()).replaceInStrings(QRegularExpression("^(.*)$"), "t:'\\1'"));
            const QJsonArray listed = runProcess(N3FIX, {"--odbc", "--json", "--journal"}, environment).json().array();
            if (SqliteFixture::dump(m_year, "code") != before) {
                QVERIFY2(listed.size() == 1, qPrintable(step + ": the chart changed but no walk is listed"));
                const ProcessRun undo = runProcess(N3FIX, {"--odbc", "--json", "--undo", listed[0]["id"].toString()}, environment);
                QVERIFY2(undo.status == 0, qPrintable(step + ": " + undo.out + undo.err));
                QVERIFY2(SqliteFixture::dump(m_year, "code") == before, qPrintable(step + ": undo did not give back the chart"));
                ++undone;
            }
            if (walk.status == 0)
                break;  // the n-th sync never came
            ++kills;
        }
        QVERIFY(kills > 3 && undone > 0);
        qDebug("killed at %d syncs, %d times after the chart changed", kills, undone);
    }

    // The walk's journal keys rows by code (no rowid on a server), and undo puts back each row that
    // still holds the flag the walk wrote; a row changed since, and copies of a code whose old flags
    // differ (no value says which row had which), are left alone and listed.
    void undoFindsRowsByValue_data()
    {
        QTest::addColumn<QStringList>("rows");  // code:before:walk:after undo
        QTest::addColumn<QString>("meddle");    // run between the walk and the undo
        QTest::addColumn<int>("restored");
        QTest::addColumn<QStringList>("leftAlone");  // code:reason
        const QString changed = "修复之后已被改动", ambiguous = "有多条相同的记录，原值各不相同，无法分辨";
        QTest::newRow("restored") << QStringList{"1001:0:1:0", "1002:1:0:1",   "100201:1:1:1",
                                                 "2001:N:1:N", "3001  :1:0:1", "300101:1:1:1"}
                                  << "" << 4 << QStringList();
        QTest::newRow("changed since") << QStringList{"1001:0:1:5", "1002:1:0:1", "100201:1:1:1"}
                                       << "update code set bend=5 where ccode='1001'" << 1 << QStringList{"1001:" + changed};
        QTest::newRow("identical copies") << QStringList{"1001:1:0:1", "1001:1:0:1", "100101:0:1:0"} << "" << 3 << QStringList();
        QTest::newRow("copies with different flags")
            << QStringList{"2001:0:1:1", "2001:1:1:1", "2002:N:1:1", "2002:0:1:1", "3001:0:1:0"} << "" << 1
            << QStringList{"2001:" + ambiguous, "2002:" + ambiguous, "2002:" + ambiguous};
    }
    void undoFindsRowsByValue()
    {
        QFETCH(QStringList, rows);
        QFETCH(QString, meddle);
        QFETCH(int, restored);
        QFETCH(QStringList, leftAlone);
        storeChart(m_year, rows, 1);
        QTemporaryDir expected;
        storeChart(expected.filePath("walked"), rows, 2);
        storeChart(expected.filePath("undone"), rows, 3);
        JournalDriver::Walk progress;
        const repair::EndFlagRun walk = repair::repairEndFlags("001", "2007", progress);
        QVERIFY2(walk.result == repair::RunResult::Completed, qPrintable(walk.failure));
        QCOMPARE(SqliteFixture::dump(m_year, "code"), SqliteFixture::dump(expected.filePath("walked"), "code"));
        const repair::RepairRecord record = repair::readRepair(repair::journalDirectory(), walk.journal);
        QCOMPARE(record.rowidName + '|' + record.keyColumns.join(','), "|ccode");
        for (const repair::JournalRow &row : repair::readRows(repair::journalDirectory(), walk.journal, 0, INT_MAX))
            QVERIFY(row.rowid.isNull() && row.key.size() == 1);

        if (!meddle.isEmpty())
            SqliteFixture::run(m_year, meddle);
        const repair::UndoRun undo = repair::undoRepair(walk.journal);
        QVERIFY2(undo.failure.isEmpty(), qPrintable(undo.failure));
        QCOMPARE(undo.rowsChanged, restored);
        QStringList listed;
        for (const repair::LeftAlone &row : undo.leftAlone)
            listed << row.row.key.value(0).toString() + ':' + repair::RepairText::leftAloneReason(row);
        QCOMPARE(listed, leftAlone);
        QCOMPARE(SqliteFixture::dump(m_year, "code"), SqliteFixture::dump(expected.filePath("undone"), "code"));
    }

    // 修复科目错误 through the real window on the server path: the reset's journal finds each row by the
    // values of all its other columns (NULLs and identical copies among them), and undo puts every
    // amount back exactly as it was.
    void balanceResetUndoneValueForValue_data()
    {
        QTest::addColumn<QString>("extra");  // rows added to the demo balances; their code is 'X'
        QTest::newRow("demo balances") << "";
        QTest::newRow("identical copies and NULLs")
            << "insert into GL_accsum values('X',3,NULL,1.5,2.25,-3,NULL,7),('X',3,NULL,1.5,2.25,-3,NULL,7),('X',4,'借',0,0,0,NULL,NULL),"
               "('X',5,'贷',NULL,10,0.01,'平',NULL),('X',2,'借',9,9,9,'借',9)";
    }
    void balanceResetUndoneValueForValue()
    {
        QFETCH(QString, extra);
        SqliteFixture::run(m_year, extra);
        const QString code = extra.isEmpty() ? SqliteFixture::dump(m_year, "GL_accsum").section('|', 0, 0).mid(3).chopped(1) : "X";
        const QString before = SqliteFixture::dumpAll(m_year);
        QTemporaryDir expected;
        const QString reset = expected.filePath("reset");
        QVERIFY(QFile::copy(m_year, reset));
        SqliteFixture::run(reset, QString("update GL_accsum set mb=0,mc=0,md=0 where ccode='%1' and iperiod>=3").arg(code));

        const std::unique_ptr<Form1> form = FormDriver::openWindow();
        QVERIFY(form);
        FormDriver::pickFromList(form->Combo3, 0);
        FormDriver::pickFromList(form->Combo5, form->Combo5->findText("2007"));
        QTest::keyClicks(form->txtCode, code);
        FormDriver::pickFromList(form->Combo1, form->Combo1->findText("3"));
        QTest::mouseClick(form->Command1, Qt::LeftButton);
        QCOMPARE(FormDriver::boxesShown(), QStringList{"0|N3新会计制度科目增加工具|修复成功！"});
        QCOMPARE(ODBC::openConnection(m_year, true)->dialect(), db::SqlDialect::TransactSql);
        QCOMPARE(SqliteFixture::dumpAll(m_year), SqliteFixture::dumpAll(reset));

        const QList<repair::RepairRecord> repairs = repair::listRepairs(repair::journalDirectory());
        QCOMPARE(repairs.size(), 1);
        QCOMPARE(repairs[0].rowidName + '|' + repairs[0].keyColumns.join(','), "|ccode,iperiod,cbegind_c,cendd_c,me");
        const repair::UndoRun undo = repair::undoRepair(repairs[0].id);
        QVERIFY2(undo.failure.isEmpty() && undo.leftAlone.isEmpty(), qPrintable(undo.failure));
        QCOMPARE(undo.rowsChanged, repairs[0].rowsChanged);
        QCOMPARE(SqliteFixture::dumpAll(m_year), before);
    }

    // The recompute of the demo's planted faults on the T-SQL path: amounts come as the server's
    // text, sums go back as exact decimals, rows are found by their code, period and amounts (there
    // is no rowid), with or without row counts; a second plan finds nothing left, and undo finds
    // the rows by their values and gives back the books as they were.
    void recomputeOnTheServer_data()
    {
        QTest::addColumn<bool>("nocount");
        QTest::newRow("row counts") << false;
        QTest::newRow("NOCOUNT") << true;
    }
    void recomputeOnTheServer()
    {
        QFETCH(bool, nocount);
        if (nocount)
            qputenv("N3_SHIM_NOCOUNT", "1");
        const QString before = SqliteFixture::dumpAll(m_year);
        const repair::RecomputePlan plan = repair::planRecompute(m_year);
        QVERIFY2(plan.failure.isEmpty(), qPrintable(plan.failure));
        QCOMPARE(plan.rowidName, QString());
        QVERIFY(plan.rows.size() >= 3 && !plan.leavesSomething());
        const repair::RecomputeRun run = repair::runRecompute("001", "2007", &plan);
        QVERIFY2(run.failure.isEmpty() && run.unrecorded.isEmpty(), qPrintable(run.failure + run.unrecorded));
        QCOMPARE(run.rowsChanged, qint64(plan.rows.size()));
        QVERIFY(SqliteFixture::dumpAll(m_year) != before);
        QVERIFY(repair::planRecompute(m_year).rows.empty());
        const repair::UndoRun undo = repair::undoRepair(run.journal);
        QVERIFY2(undo.failure.isEmpty() && undo.leftAlone.isEmpty(), qPrintable(undo.failure));
        QCOMPARE(undo.rowsChanged, int(plan.rows.size()));
        QCOMPARE(SqliteFixture::dumpAll(m_year), before);
    }
};

// Runs the tests in a process that has the shim preloaded: this one when it has, otherwise the same
// program again with the shim added to LD_PRELOAD, after the sanitizer's runtime in a sanitizer
// build (that runtime must come first in the list of loaded libraries).
int main(int argc, char **argv)
{
    shimCalls = reinterpret_cast<long (*)()>(dlsym(RTLD_DEFAULT, "n3_tsql_shim_calls"));
    shimStatements = reinterpret_cast<long (*)()>(dlsym(RTLD_DEFAULT, "n3_tsql_shim_statements"));
    if (!shimCalls && !qEnvironmentVariableIsSet("N3_TSQL_SHIM_PRELOADED")) {
        QByteArray preload = N3_TSQL_SHIM;
        Dl_info sanitizer;
        if (void *init = dlsym(RTLD_DEFAULT, "__asan_init");
            init && dladdr(init, &sanitizer) && QByteArray(sanitizer.dli_fname).contains("libasan"))
            preload = QByteArray(sanitizer.dli_fname) + ':' + preload;
        if (qEnvironmentVariableIsSet("LD_PRELOAD"))
            preload += ':' + qgetenv("LD_PRELOAD");
        qputenv("LD_PRELOAD", preload);
        qputenv("N3_TSQL_SHIM_PRELOADED", "1");
        execv("/proc/self/exe", argv);
        qFatal("cannot run %s again with the shim preloaded", argv[0]);
    }
    QApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    TsqlServer test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_tsql_server.moc"
