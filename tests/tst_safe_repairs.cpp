// The check, the journal, undo and batch repairs: the command line as a real process on real
// demo databases, and the window's repairs with their journal.
#include "app/Form1.h"
#include "app/MessageBox.h"
#include "db/ODBC.h"
#include "demo/DemoData.h"
#include "repair/EndFlagCheck.h"
#include "support/DataDirectoryTest.h"
#include "support/FormDriver.h"
#include "support/ProcessRun.h"
#include "support/SqliteFixture.h"

#include <QtTest>
#include <QtWidgets>

using Run = ProcessRun;  // what one run of the command line gave

class SafeRepairs : public DataDirectoryTest {
    Q_OBJECT
    QString db(const QString &name) const { return m_dir->filePath(name + ".db"); }

    Run n3fix(QStringList arguments, bool withDataDir = true)
    {
        if (withDataDir)
            arguments << "--data-dir" << m_dir->path();
        return runProcess(N3FIX, arguments);
    }

private slots:
    void init()
    {
        useFreshDataDirectory();
        createDemoDataDirectory(m_dir->path());
    }
    void cleanup() { removeDataDirectory(); }

    // The check reads every set and year and changes nothing, not even a file's time; a database that
    // can't be read is reported and the others are still checked. After a batch repair it finds nothing,
    // and the repair's journals counted exactly what it had found.
    void checkThenRepairInBatch()
    {
        QFile broken(db("LQDATA_002_2006"));
        QVERIFY(broken.open(QIODevice::WriteOnly | QIODevice::Truncate) && broken.write(QByteArray(4096, 'x')) == 4096);
        broken.close();
        const QMap<QString, QString> before = snapshot(m_dir->path());
        const Run check = n3fix({"--check", "--json"});
        QCOMPARE(check.status, 2);
        QCOMPARE(snapshot(m_dir->path()), before);
        QMap<QString, int> wrong;
        for (const QJsonValue result : check.json().array()) {
            QCOMPARE(result["wrong_codes"].toArray().size(), result["wrong"].toInt());
            wrong[result["database"].toString()] = result["wrong"].toInt(-1);
        }
        QCOMPARE(wrong.keys(), QStringList({"LQDATA_001_2006", "LQDATA_001_2007", "LQDATA_002_2006", "LQDATA_002_2007",
                                            "LQDATA_003_2007", "LQDATA_667_2007"}));
        QCOMPARE(wrong["LQDATA_002_2006"], -1);
        QVERIFY(check.err.contains("LQDATA_002_2006"));
        // Without --json the same verdict and status, in Chinese; --verbose lists the codes.
        const Run text = n3fix({"--check", "--account-set", "001", "--year", "2007", "--verbose"});
        QCOMPARE(text.status, 1);
        QCOMPARE(text.out.count("现为"), wrong["LQDATA_001_2007"]);

        const Run repair = n3fix({"--repair-end-flags", "--json"});
        QCOMPARE(repair.status, 2);
        QStringList journals;
        for (const QJsonValue result : repair.json().array()) {
            const QString database = result["database"].toString();
            QCOMPARE(result["error"].isUndefined(), database != "LQDATA_002_2006");
            if (database != "LQDATA_002_2006") {
                QCOMPARE(result["changed"].toInt(), wrong[database]);
                journals << result["journal"].toString();
            }
        }
        QCOMPARE(journals.size(), 5);
        const Run after = n3fix({"--check", "--json"});
        QCOMPARE(after.status, 2);
        QCOMPARE(after.json().array().size(), 6);
        for (const QJsonValue result : after.json().array())
            QVERIFY(result["database"] == "LQDATA_002_2006"
                    || (result["wrong"].toInt() == 0 && result["wrong_codes"].toArray().isEmpty()));
        QCOMPARE(n3fix({"--check", "--account-set", "001"}).status, 0);

        // The journal lists them newest first, with what they changed.
        const Run list = n3fix({"--journal", "--json"});
        QCOMPARE(list.status, 0);
        QStringList listed;
        for (const QJsonValue entry : list.json().array()) {
            QCOMPARE(entry["repair"].toString(), "end-flags");
            QCOMPARE(entry["outcome"].toString(), "completed");
            QCOMPARE(entry["rows_changed"].toInt(), wrong[entry["database"].toString()]);
            listed.prepend(entry["id"].toString());
        }
        QCOMPARE(listed, journals);
    }

    // A file in write-ahead-log mode, with no log beside it: the check reads it and leaves no log
    // file behind, nor touches any file.
    void checkLeavesNoLogFileBehind()
    {
        SqliteFixture::run(db("LQDATA_001_2007"), "pragma journal_mode=wal");
        QVERIFY(!QFile::exists(db("LQDATA_001_2007") + "-wal"));
        const QMap<QString, QString> before = snapshot(m_dir->path());
        const Run check = n3fix({"--check", "--account-set", "001", "--year", "2007"});
        QCOMPARE(check.status, 1);
        QCOMPARE(snapshot(m_dir->path()), before);
    }

    // On a file left in the write-ahead log with changes in its log, the checks and the reset's dry
    // run read it read-only: the database and its -wal stay byte for byte as they were (SQLite may
    // update the -shm index, which every reader of a log uses), and they see the changes the log
    // holds.
    void checksAndDryRunLeaveTheLogAsItIs()
    {
        const QString year = db("LQDATA_001_2007");
        const QString code =
            SqliteFixture::select(year, "select ccode from GL_accsum group by ccode having count(*) > 3 limit 1").section('\'', 1, 1);
        const QString first = SqliteFixture::select(year, "select ccode from code order by ccode limit 1").section('\'', 1, 1);
        SqliteFixture::runLeavingLog(year, "update code set bend=7 where ccode='" + first + "';");
        QVERIFY(QFileInfo(year + "-wal").size() > 0);
        const auto bytes = [&] {
            QFile file(year), log(year + "-wal");
            return file.open(QIODevice::ReadOnly) && log.open(QIODevice::ReadOnly) ? file.readAll() + "|" + log.readAll()
                                                                                   : QByteArray();
        };
        const QByteArray before = bytes();
        const QStringList selection{"--account-set", "001", "--year", "2007"};
        const Run check = n3fix(QStringList{"--check", "--verbose"} + selection);
        QCOMPARE(check.status, 1);
        QVERIFY2(check.out.contains(first.toUtf8() + "  现为 7"), check.out.constData());
        QCOMPARE(bytes(), before);
        QCOMPARE(n3fix(QStringList{"--check-balances"} + selection).status, 1);  // the demo's planted disagreements
        QCOMPARE(bytes(), before);
        const Run dryRun = n3fix(QStringList{"--reset-balance", "--code", code, "--from-period", "1", "--dry-run"} + selection);
        QCOMPARE(dryRun.status, 0);
        QCOMPARE(bytes(), before);
        QVERIFY(QFile::exists(year + "-shm"));
    }

    // A change cut off mid-write leaves a hot rollback journal beside the file: the checks and the
    // dry run, which open the database read-only, can't read it, say why and what to do (the
    // commands by their options, the windows by the journal window), and change nothing. A repair
    // opens the file for writing, SQLite rolls the change back, and the check then reads the file
    // again.
    void checkAfterAnInterruptedChange()
    {
        const QString year = db("LQDATA_001_2007");
        QProcess dying;
        dying.start(N3_LOCK_HOLDER, {year, "die"});
        QVERIFY(dying.waitForFinished(60000) && dying.exitCode() == 0);
        QVERIFY(QFileInfo(year + "-journal").size() > 0);
        const QMap<QString, QString> before = snapshot(m_dir->path());
        const QStringList selection{"--account-set", "001", "--year", "2007"};
        for (const QStringList &command : {QStringList{"--check"}, QStringList{"--check-balances"},
                                           QStringList{"--reset-balance", "--code", "1001", "--from-period", "1", "--dry-run"}}) {
            const Run run = n3fix(command + selection);
            QCOMPARE(run.status, 2);
            QVERIFY2(run.err.contains("要先回滚这次改动才能读取。检查和预览只以只读方式打开数据库，不会回滚它：请先对这个数据库"
                                      "做一次修复或撤销（例如用 n3fix --journal 找到那次未记录结束的修复，再 n3fix --undo "
                                      "它的编号），以读写方式打开时会自动回滚："),
                     run.err.constData());
            QVERIFY2(!run.err.contains("数据库文件是只读的"), run.err.constData());
            QCOMPARE(snapshot(m_dir->path()), before);
        }
        const QString inWindow = repair::checkEndFlags("LQDATA_001_2007").failure;
        QVERIFY2(inWindow.contains("请先对这个数据库做一次修复或撤销（例如在“修复日志”窗口中找到那次未记录结束的修复，撤销它），"
                                   "以读写方式打开时会自动回滚：")
                     && !inWindow.contains("n3fix"),
                 qPrintable(inWindow));
        QCOMPARE(snapshot(m_dir->path()), before);
        QCOMPARE(n3fix(QStringList{"--repair-end-flags"} + selection).status, 0);
        QVERIFY(!QFile::exists(year + "-journal"));
        QCOMPARE(n3fix(QStringList{"--check"} + selection).status, 0);
    }

    // Undo puts back every flag the walk changed except one changed since, which it lists; the undo is
    // journaled and can itself be undone.
    void undoLeavesAloneARowChangedSince()
    {
        const QString file = db("LQDATA_003_2007");
        const QString original = SqliteFixture::dump(file, "code");
        const Run repair = n3fix({"--repair-end-flags", "--account-set", "003", "--json"});
        QCOMPARE(repair.status, 0);
        const QString id = repair.json().array().first()["journal"].toString();
        const QString repaired = SqliteFixture::dump(file, "code");
        // A user changes one of the repaired flags again after the repair.
        qint64 rowid = 0;
        for (const QJsonValue row : n3fix({"--journal", id, "--json"}).json()["rows"].toArray())
            if (!rowid && row.toObject().value("old") != row.toObject().value("new"))
                rowid = row.toObject().value("key").toObject().value("rowid").toInteger();
        QVERIFY(rowid > 0);
        SqliteFixture::run(file, QString("update code set bend=5 where rowid=%1").arg(rowid));

        const Run undo = n3fix({"--undo", id, "--json"});
        QCOMPARE(undo.status, 1);
        const QJsonArray left = undo.json()["left_alone"].toArray();
        QCOMPARE(left.size(), 1);
        QCOMPARE(left[0].toObject().value("key").toObject().value("rowid").toInteger(), rowid);
        QCOMPARE(left[0].toObject().value("now").toObject().value("bend").toInt(), 5);
        QStringList expected = original.split('\n');
        QStringList now = SqliteFixture::dump(file, "code").split('\n');
        QVERIFY(now[rowid - 1].contains("|i:5|"));
        now[rowid - 1] = expected[rowid - 1];
        QCOMPARE(now, expected);

        const Run redo = n3fix({"--undo", undo.json()["journal"].toString()});
        QCOMPARE(redo.status, 0);  // the undo journaled only the rows it restored: the user's row is not among them
        now = SqliteFixture::dump(file, "code").split('\n');
        QStringList want = repaired.split('\n');
        now[rowid - 1] = want[rowid - 1];
        QCOMPARE(now, want);
    }

    // A balance reset from the window, undone from the command line: GL_accsum is as before, value for
    // value, and the journal shows the reset's inputs.
    void balanceResetUndone()
    {
        const QString file = db("LQDATA_001_2007");
        const QString before = SqliteFixture::dump(file, "GL_accsum");
        const QString code = before.section('|', 0, 0).mid(3).chopped(1);
        const std::unique_ptr<Form1> form = FormDriver::openWindow();
        QVERIFY(form);
        FormDriver::pickFromList(form->Combo3, 0);
        FormDriver::pickFromList(form->Combo5, 1);
        QTest::keyClicks(form->txtCode, code);
        FormDriver::pickFromList(form->Combo1, 0);
        QTest::mouseClick(form->Command1, Qt::LeftButton);
        QCOMPARE(FormDriver::boxesShown(), QStringList{"0|N3新会计制度科目增加工具|修复成功！"});
        QVERIFY(SqliteFixture::dump(file, "GL_accsum") != before);
        const QJsonObject journal = n3fix({"--journal", "--json"}).json().array().first().toObject();
        QCOMPARE(journal["repair"].toString(), "balance-reset");
        QCOMPARE(journal["inputs"].toObject(),
                 QJsonObject({{"account_set", "001"}, {"year", "2007"}, {"code", code}, {"period", "1"}}));
        QCOMPARE(journal["rows_changed"].toInt(), 12);

        const Run undo = n3fix({"--undo", journal["id"].toString()});
        QCOMPARE(undo.status, 0);
        QCOMPARE(SqliteFixture::dump(file, "GL_accsum"), before);
    }

    // A journal that can't be written stops both repairs before they change anything: the window shows
    // its own failure boxes, the command line says why.
    void unwritableJournalChangesNothing()
    {
        QFile blocker(m_dir->filePath("journal"));  // a file where the journal directory should be
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        const QString file = db("LQDATA_001_2007");
        const QMap<QString, QByteArray> before = SqliteFixture::dumpDirectory(m_dir->path());
        const std::unique_ptr<Form1> form = FormDriver::openWindow();
        QVERIFY(form);
        FormDriver::pickFromList(form->Combo3, 0);
        FormDriver::pickFromList(form->Combo5, 1);
        QTest::keyClicks(form->txtCode, SqliteFixture::dump(file, "GL_accsum").section('|', 0, 0).mid(3).chopped(1));
        QTest::mouseClick(form->Command1, Qt::LeftButton);
        QTest::mouseClick(form->Command2, Qt::LeftButton);
        const QStringList boxes = FormDriver::boxesShown();
        QCOMPARE(boxes.size(), 2);
        QCOMPARE(boxes[0], "0|N3新会计制度科目增加工具|修复失败！");
        QVERIFY2(boxes[1].startsWith("16|N3新会计制度科目增加工具|重建末级科目标志时出错：\r\n无法创建修复日志目录"),
                 qPrintable(boxes[1]));
        const Run repair = n3fix({"--repair-end-flags", "--account-set", "001"});
        QCOMPARE(repair.status, 2);
        QVERIFY(repair.err.contains("无法创建修复日志目录"));
        QCOMPARE(SqliteFixture::dumpDirectory(m_dir->path()), before);
    }

    // Options: every output parses as JSON; a bad command line is refused with a Chinese message and
    // status 2; Qt's own options reach Qt.
    void commandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("stderrHas");
        QTest::newRow("--data-dir --odbc") << QStringList{"--check", "--data-dir", "--odbc"} << 2 << "--data-dir";
        QTest::newRow("two commands") << QStringList{"--check", "--journal"} << 2 << "每次只能用一个";
        QTest::newRow("unknown option") << QStringList{"--fix-everything"} << 2 << "无法识别的选项";
        QTest::newRow("--undo without id") << QStringList{"--undo"} << 2 << "--undo";
        QTest::newRow("--year without command") << QStringList{"--year", "2007"} << 2 << "--year";
        QTest::newRow("unknown journal") << QStringList{"--undo", "20000101-000000-000", "--json"} << 2 << "找不到编号";
        QTest::newRow("no such account set")
            << QStringList{"--check", "--account-set", "00", "--json"} << 2 << "没有编号为“00”的帐套";
        QTest::newRow("no data directory") << QStringList{"--check", "--data-dir", "/nonexistent/n3fix"} << 2
                                           << "数据目录不存在：/nonexistent/n3fix\n";
        QTest::newRow("help with Qt options") << QStringList{"-style", "fusion", "-reverse", "--help"} << 0 << "";
    }
    void commandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, stderrHas);
        const Run run = n3fix(arguments, !arguments.contains("--data-dir"));
        QCOMPARE(run.status, status);
        QVERIFY2(QString::fromUtf8(run.err).contains(stderrHas), run.err.constData());
        if (arguments.contains("--json"))
            QVERIFY(!run.json().isNull());
    }

    // -platform chooses the window system as in any Qt program: with no X display, -platform offscreen
    // opens the window (it waits for the user) instead of failing at once.
    void qtPlatformOption()
    {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove("DISPLAY");
        environment.remove("WAYLAND_DISPLAY");
        environment.insert("QT_QPA_PLATFORM", "xcb");
        process.setProcessEnvironment(environment);
        process.start(N3FIX, {"-platform", "offscreen", "-reverse", "--data-dir", m_dir->path()});
        QVERIFY(process.waitForStarted());
        QVERIFY2(!process.waitForFinished(3000), process.readAllStandardError().constData());
        process.kill();
        process.waitForFinished();
    }
};

QTEST_MAIN(SafeRepairs)
#include "tst_safe_repairs.moc"
