// The repairs and undo killed at every moment they sync a file, run on a disk that fills up at every
// stage, and met by other programs at work on the same database, all as real processes: the
// database stays whole, the repair stays listed, and undo puts back exactly the rows it wrote.
#include "demo/DemoData.h"
#include "support/DataFiles.h"
#include "support/ProcessRun.h"
#include "support/SqliteFixture.h"

#include <QtTest>

#include <csignal>

#include <sys/mount.h>
#include <sys/statvfs.h>
#include <fcntl.h>
#include <unistd.h>

namespace {

const QString Year = QStringLiteral("2007");

// Copies every file of directory `from` (and of its subdirectories) into `to`.
void copyTree(const QString &from, const QString &to)
{
    QDirIterator it(from, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString source = it.next();
        const QString target = QDir(to).filePath(QDir(from).relativeFilePath(source));
        QDir().mkpath(QFileInfo(target).absolutePath());
        QFile::copy(source, target);
    }
}

// The environment for a process run under strace: the leak checker of a sanitizer build can't
// run under ptrace, so it stays off there.
QProcessEnvironment tracedEnvironment()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("ASAN_OPTIONS", environment.value("ASAN_OPTIONS") + ":detect_leaks=0");
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    return environment;
}

}  // namespace

class CrashSafety : public QObject {
    Q_OBJECT
    QTemporaryDir m_templates;  // "original": a fresh data directory; "repaired": after one end-flag walk;
                                // "few": two flags wrong; "log": "original" in the write-ahead log
    QString m_walkOfRepaired;   // the journal id of that walk
    QString m_resetCode;        // an account with balances in several periods
    bool m_canTrace = false;    // strace is installed and may trace here
    std::unique_ptr<QTemporaryDir> m_work;
    QProcess m_walker;  // n3_walk_runner

    QString data(const QString &name = QString()) const
    {
        return m_work->filePath(name.isEmpty() ? QStringLiteral("data") : "data/" + name);
    }
    QString yearDb() const { return yearDatabase(data()); }
    QString original(const QString &name) const { return m_templates.filePath("original/" + name); }

    ProcessRun n3fix(const QStringList &arguments, const QString &dataDir = QString())
    {
        return runOnData(N3FIX, dataDir.isEmpty() ? data() : dataDir, arguments);
    }
    // The tables the repairs change, as they are now.
    QString books(const QString &db) const { return SqliteFixture::dump(db, "code") + SqliteFixture::dump(db, "GL_accsum"); }
    // The listed repairs, newest first.
    QJsonArray listed(const QString &dataDir = QString())
    {
        const ProcessRun run = n3fix({"--journal", "--json"}, dataDir);
        return run.json().array();
    }
    // A fresh data directory copied from template `name`.
    void freshData(const QString &name)
    {
        m_work = std::make_unique<QTemporaryDir>();
        copyTree(m_templates.filePath(name), data());
    }

    // The command of one run of `scenario` (a walk: of the original data, which switches to the
    // write-ahead log and back; of two rows, which stays in the file's own journal mode; of a
    // file in the log already; a balance reset, a recompute of the parent accounts, or an undo of
    // the walk of the "repaired" data) on the work data directory, and the data it starts from.
    static bool isWalk(const QString &scenario) { return scenario.startsWith("walk"); }
    static QString kindOf(const QString &scenario)
    {
        return isWalk(scenario) ? "end-flags" : scenario == "reset" ? "balance-reset" : "recompute-balances";
    }
    static QString templateOf(const QString &scenario)
    {
        return scenario == "undo"              ? "repaired"
               : scenario == "walk of 2 rows"  ? "few"
               : scenario == "walk in the log" ? "log"
                                               : "original";
    }
    QStringList scenarioCommand(const QString &scenario) const
    {
        if (isWalk(scenario))
            return {N3FIX, "--data-dir", data(), "--json", "--repair-end-flags"};
        if (scenario == "reset")
            return {N3_RESET_RUNNER, data(), "001", Year, m_resetCode, "3"};
        if (scenario == "recompute")
            return {N3FIX, "--data-dir", data(), "--json", "--recompute-balances"};
        return {N3FIX, "--data-dir", data(), "--json", "--undo", m_walkOfRepaired};
    }

    // What must hold after a repair of `kind` was killed or failed on the data directory `dir`,
    // whose books were `before`: the file is whole; if the books changed, the repair is listed,
    // and undoing it (as a real process) gives back exactly `before`. A repair listed as having
    // written nothing (rolled back, or ended before its first row) must have left the books as
    // they were, and its undo is refused. Counts in `undone` the times the books had changed.
    void checkRecoverable(const QString &dir, const QString &kind, const QString &before, const QString &step, int &undone)
    {
        const QString db = yearDatabase(dir);
        QCOMPARE(SqliteFixture::dump(db, "pragma_integrity_check"), QStringLiteral("t:'ok'\n"));
        QJsonObject found;
        for (const QJsonValue repair : listed(dir)) {
            QVERIFY2(!repair["running"].toBool(), qPrintable(step + ": a dead repair is listed as running"));
            if (repair["repair"].toString() == kind && repair["undone_by"].isNull() && found.isEmpty())
                found = repair.toObject();
        }
        const QString id = found["id"].toString();
        if (books(db) == before && id.isEmpty())
            return;  // killed before the journal was on disk: nothing changed
        QVERIFY2(!id.isEmpty(), qPrintable(step + ": the books changed but no repair is listed"));
        const bool changed = books(db) != before;
        const ProcessRun undo = n3fix({"--undo", id, "--json"}, dir);
        if (found["outcome"] == "rolled-back" || (found["outcome"] != "completed" && found["rows_done"] == 0)) {
            QVERIFY2(!changed, qPrintable(step + ": a repair listed as writing nothing changed the books"));
            QVERIFY2(undo.status == 2 && undo.json()["error"].toString().contains("没有改动任何记录"),
                     qPrintable(step + ": " + undo.out + undo.err));
            return;
        }
        QVERIFY2(undo.status == 0, qPrintable(step + ": " + undo.out + undo.err));
        QVERIFY2(books(db) == before, qPrintable(step + ": undo did not give back the books as they were"));
        undone += changed;
    }

    // A walk of a few rows, or of a file in the log already, leaves the file in its own journal
    // mode whenever it dies, and writes no memo of it; the walk of a few rows makes no log files.
    void checkModeKept(const QString &scenario, const QString &step)
    {
        if (scenario != "walk of 2 rows" && scenario != "walk in the log")
            return;
        const QString mode = SqliteFixture::select(yearDb(), "pragma journal_mode");
        QVERIFY2(mode == (scenario == "walk in the log" ? "t:'wal'\n" : "t:'delete'\n"), qPrintable(step + ": " + mode));
        QVERIFY2(QDir(data("journal")).entryList({"pending-*"}).isEmpty(), qPrintable(step + ": a memo was written"));
        if (scenario == "walk of 2 rows")
            QVERIFY2(!QFile::exists(yearDb() + "-wal") && !QFile::exists(yearDb() + "-shm"), qPrintable(step + ": log files left"));
    }

    // How many times `command` calls fdatasync, run as it is on the work data; then `command` again
    // with its n-th fdatasync failing (EIO), or with every one from the n-th on where `onwards`.
    int syncsOf(const QStringList &command)
    {
        const QString trace = m_work->filePath("trace");
        runProcess("strace", QStringList{"-f", "-qq", "-o", trace, "-e", "trace=fdatasync", "--"} + command, tracedEnvironment());
        QFile traced(trace);
        if (!traced.open(QIODevice::ReadOnly))
            return 0;
        return int(QString::fromUtf8(traced.readAll())
                       .count(QRegularExpression("^\\d+ +fdatasync\\(", QRegularExpression::MultilineOption)));
    }
    static ProcessRun withFailingSync(const QStringList &command, int n, bool onwards = false)
    {
        return runProcess("strace",
                          QStringList{"-f", "-qq", "-o", "/dev/null", "-e", "trace=fdatasync", "-e",
                                      QStringLiteral("inject=fdatasync:error=EIO:when=%1%2").arg(n).arg(onwards ? "+" : ""), "--"}
                              + command,
                          tracedEnvironment());
    }
    // The JSON result of one run of `scenario`: the walk's and the recompute's first database's, the
    // others' one object.
    static QJsonObject resultOf(const QString &scenario, const ProcessRun &run)
    {
        return isWalk(scenario) || scenario == "recompute" ? run.json()[0].toObject() : run.json().object();
    }
    // The command line of `scenario` as a user types it (the reset too).
    QStringList typedCommand(const QString &scenario) const
    {
        if (scenario == "reset")
            return {N3FIX,    "--data-dir", data(),          "--json", "--reset-balance", "--account-set", "001", "--year", Year,
                    "--code", m_resetCode,  "--from-period", "3"};
        return scenarioCommand(scenario);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_templates.isValid());
        QDir().mkpath(original(""));
        writeSystemDatabase(original("LQsystem.db"), {{"001", "演示", {2007}, {}}});
        writeAccountSetDatabase(original("LQDATA_001_2007.db"), generateChart(60, {4, 2, 2}), 0.3, 11);
        plantBalanceDisagreements(original("LQDATA_001_2007.db"));  // rows for the recompute to write
        m_resetCode = SqliteFixture::select(original("LQDATA_001_2007.db"),
                                            "select ccode from GL_accsum group by ccode having count(*) > 3 limit 1")
                          .section('\'', 1, 1);
        QVERIFY(!m_resetCode.isEmpty());
        copyTree(original(""), m_templates.filePath("repaired"));
        copyTree(original(""), m_templates.filePath("log"));
        SqliteFixture::run(m_templates.filePath("log/LQDATA_001_2007.db"), "PRAGMA journal_mode=WAL");
        const QString few = m_templates.filePath("few/");
        QDir().mkpath(few);
        writeSystemDatabase(few + "LQsystem.db", {{"001", "演示", {2007}, {}}});
        writeAccountSetDatabase(few + "LQDATA_001_2007.db", generateChart(60, {4, 2, 2}), 2.0 / 60, 11);
        // two flags wrong, by the prefix rule asked of SQLite row by row
        QCOMPARE(SqliteFixture::select(few + "LQDATA_001_2007.db",
                                       "select count(*) from code a where bend is not (not exists(select 1 from code b where"
                                       " length(b.ccode)>length(a.ccode) and substr(b.ccode,1,length(a.ccode))=a.ccode))"),
                 QStringLiteral("i:2\n"));
        const ProcessRun walk = n3fix({"--repair-end-flags", "--json"}, m_templates.filePath("repaired"));
        QCOMPARE(walk.status, 0);
        m_walkOfRepaired = walk.json()[0]["journal"].toString();
        QVERIFY(!m_walkOfRepaired.isEmpty());
        m_canTrace =
            !QStandardPaths::findExecutable("strace").isEmpty() && runProcess("strace", {"-o", "/dev/null", "true"}).status == 0;
    }
    void cleanup()
    {
        if (m_walker.state() != QProcess::NotRunning) {
            m_walker.kill();
            m_walker.waitForFinished();
        }
        m_work.reset();
    }

    // strace kills the process at the n-th call of one sync function, for n = 1, 2, ... until the
    // process ends by itself: every moment at which a walk, a reset or an undo makes something
    // durable is a moment it may die.
    void killedAtEverySync_data()
    {
        QTest::addColumn<QString>("scenario");
        QTest::addColumn<QString>("sync");
        for (const char *scenario : {"walk", "walk of 2 rows", "walk in the log", "reset", "recompute", "undo"})
            for (const char *sync : {"fdatasync", "fsync"})
                QTest::addRow("%s at %s", scenario, sync) << scenario << sync;
    }
    void killedAtEverySync()
    {
        QFETCH(QString, scenario);
        QFETCH(QString, sync);
        if (!m_canTrace)
            SKIP_UNLESS_CI("strace is missing or may not trace processes here (scripts/install-deps installs it)");
        const QString start = templateOf(scenario);
        int kills = 0, undone = 0, hot = 0;  // hot: kills that left a rollback journal beside a repair's journal
        for (int n = 1; n < 200; ++n) {
            freshData(start);
            const QString before = books(yearDb());
            QStringList command{"strace",
                                "-f",
                                "-qq",
                                "-o",
                                "/dev/null",
                                "-e",
                                "trace=" + sync,
                                "-e",
                                QStringLiteral("inject=%1:signal=KILL:when=%2").arg(sync).arg(n),
                                "--"};
            command << scenarioCommand(scenario);
            const ProcessRun run = runProcess(command.takeFirst(), command, tracedEnvironment());
            const QString step = QStringLiteral("%1 killed at %2 #%3").arg(scenario, sync).arg(n);
            hot += !QDir(data("journal")).entryList({"*.journal-journal"}).isEmpty();
            if (scenario == "undo") {
                // The undo's one transaction either happened or not; either way the walk is
                // listed, and undoing it (again) ends with the books as they were before the walk.
                QCOMPARE(SqliteFixture::dump(yearDb(), "pragma_integrity_check"), QStringLiteral("t:'ok'\n"));
                const bool restored = books(yearDb()) == books(original("LQDATA_001_2007.db"));
                QVERIFY2(restored || books(yearDb()) == before, qPrintable(step + ": half undone"));
                const ProcessRun again = n3fix({"--undo", m_walkOfRepaired, "--json"});
                QVERIFY2(again.status == 0 || (restored && again.status == 2 && !again.json()["undone_by"].isNull()),
                         qPrintable(step + ": " + again.out + again.err));
                QCOMPARE(books(yearDb()), books(original("LQDATA_001_2007.db")));
            } else {
                checkModeKept(scenario, step);
                checkRecoverable(data(), kindOf(scenario), before, step, undone);
            }
            if (QTest::currentTestFailed())
                return;
            if (run.status != -1 && run.status != 128 + SIGKILL)
                break;  // the n-th call never came: every sync point has had its kill
            ++kills;
        }
        QVERIFY2(kills > 0 || sync == "fsync", "the repair made no sync call of this kind");
        // killed while recording its outcome: the repair was still listed and undone above
        QVERIFY(hot > 0 || sync == "fsync");
        qDebug("%s: killed at %d sync points, %d times after changing the books, %d times while recording its end",
               qPrintable(scenario), kills, undone, hot);
    }

    // The n-th sync fails (EIO), for n = 1, 2, ...: whatever the stage, the command says what
    // happened. Success only when all is done and journaled; "nothing changed" only when nothing
    // did; rows written but their end not journaled is said as such. The books stay recoverable.
    // fdatasync is SQLite's sync of its files; fsync is the tool's own sync of the journal's
    // folder, without which a journal may vanish in a crash: no repair goes on after it fails.
    void failedSyncAtEveryStage_data()
    {
        QTest::addColumn<QString>("scenario");
        QTest::addColumn<QString>("sync");
        for (const char *sync : {"fdatasync", "fsync"}) {
            QTest::addRow("walk, %s", sync) << "walk" << sync;
            QTest::addRow("walk of 2 rows, %s", sync) << "walk of 2 rows" << sync;
            QTest::addRow("walk in the log, %s", sync) << "walk in the log" << sync;
            QTest::addRow("reset, %s", sync) << "reset" << sync;
            QTest::addRow("recompute, %s", sync) << "recompute" << sync;
            QTest::addRow("undo, %s", sync) << "undo" << sync;
        }
    }
    void failedSyncAtEveryStage()
    {
        QFETCH(QString, scenario);
        QFETCH(QString, sync);
        if (!m_canTrace)
            SKIP_UNLESS_CI("strace is missing or may not trace processes here (scripts/install-deps installs it)");
        const QString originalBooks = books(original("LQDATA_001_2007.db"));
        int unrecorded = 0, failed = 0;
        for (int n = 1; n < 200; ++n) {
            freshData(isWalk(scenario) ? templateOf(scenario) : "repaired");
            const QString before = books(yearDb());
            const QString trace = m_work->filePath("trace");
            QStringList command{"strace",
                                "-f",
                                "-qq",
                                "-o",
                                trace,
                                "-e",
                                "trace=" + sync,
                                "-e",
                                QStringLiteral("inject=%1:error=EIO:when=%2").arg(sync).arg(n),
                                "--"};
            command << scenarioCommand(scenario);
            ProcessRun run = runProcess(command.takeFirst(), command, tracedEnvironment());
            const QString step =
                QStringLiteral("%1 with sync #%2 failed: %3 %4").arg(scenario).arg(n).arg(run.status).arg(QString::fromUtf8(run.err));
            const QJsonObject result = resultOf(scenario, run);
            // the reset's runner exits 3 when the reset is done but its end not journaled
            const bool recorded = scenario == "reset" ? run.status != 3 : result["outcome_recorded"].toBool(true);
            if (scenario == "reset" && run.status == 3)
                run.status = 2;
            QFile traced(trace);
            QVERIFY(traced.open(QIODevice::ReadOnly));
            if (!traced.readAll().contains("(INJECTED)")) {
                QVERIFY2(run.status == 0 && recorded, qPrintable(step));
                break;  // the n-th sync never came
            }
            if (run.status == 0) {
                QVERIFY2(sync == "fdatasync" && recorded && books(yearDb()) != before, qPrintable(step));
                continue;  // a failed sync the tool could do without (a folder's, say)
            }
            QCOMPARE(run.status, 2);
            if (!recorded) {
                ++unrecorded;
                if (isWalk(scenario))
                    QVERIFY2(run.err.contains("末级标志已全部写入，但修复日志未能记下修复的结果"), qPrintable(step));
                if (scenario == "undo")
                    QVERIFY2(run.err.contains("以上行已恢复，但修复日志未能记下撤销的结果"), qPrintable(step));
                if (scenario == "recompute")
                    QVERIFY2(run.err.contains("余额已重算，但修复日志未能记下修复的结果"), qPrintable(step));
                if (scenario == "undo")
                    QVERIFY2(books(yearDb()) == originalBooks, qPrintable(step));
                else if (isWalk(scenario))
                    QVERIFY2(n3fix({"--check"}).status == 0, qPrintable(step));
                else
                    QVERIFY2(books(yearDb()) != before, qPrintable(step));
            } else {
                ++failed;
                if (scenario == "undo")  // "撤销 … 失败，未做任何改动"
                    QVERIFY2(QString::fromUtf8(run.err).contains("未做任何改动") && books(yearDb()) == before, qPrintable(step));
                if (scenario == "reset" || scenario == "recompute")  // one transaction, so nothing changed
                    QVERIFY2(books(yearDb()) == before, qPrintable(step));
            }
            if (scenario != "undo") {
                int undone = 0;
                checkModeKept(scenario, step);
                checkRecoverable(data(), kindOf(scenario), before, step, undone);
            }
            if (QTest::currentTestFailed())
                return;
        }
        QVERIFY(failed > 0);
        qDebug("%s: failed at %d syncs, %d times with its rows written but its end not journaled", qPrintable(scenario),
               failed + unrecorded, unrecorded);
    }

    // The window's reset whose end its journal can't record (the last of its syncs fails): the
    // window says 修复成功！ as it always did, then a second box names the journal and what it
    // lacks. The reset is listed as never ended, and undoing it gives back the books.
    void windowSaysTheResetsEndIsUnrecorded()
    {
        if (!m_canTrace)
            SKIP_UNLESS_CI("strace is missing or may not trace processes here (scripts/install-deps installs it)");
        const auto press = [&] { return QStringList{N3_RESET_RUNNER, data(), "001", Year, m_resetCode, "3", "window"}; };
        freshData("original");
        const int syncs = syncsOf(press());
        QVERIFY(syncs > 0);

        freshData("original");
        const QString before = books(yearDb());
        const ProcessRun run = withFailingSync(press(), syncs);
        const QStringList boxes = QString::fromUtf8(run.out).split('\n', Qt::SkipEmptyParts);
        const QJsonObject reset = listed().at(0).toObject();
        QCOMPARE(reset["outcome"].toString(), QStringLiteral("stopped"));  // never recorded
        QCOMPARE(boxes.size(), 2);
        QCOMPARE(boxes[0], QStringLiteral("0|修复成功！"));
        QVERIFY2(boxes[1].startsWith("16|余额已清零，但修复日志 " + reset["id"].toString() + " 未能记下修复的结果"),
                 qPrintable(boxes[1]));
        QVERIFY(books(yearDb()) != before);
        QCOMPARE(n3fix({"--undo", reset["id"].toString()}).status, 0);
        QCOMPARE(books(yearDb()), before);
    }

    // A repair or an undo whose rows are all written but whose journal can't record its end (the
    // last of its syncs fails) reads alike on the command line, whichever it is: exit status 2,
    // outcome_recorded false in JSON with error saying why, and on standard error its own words of
    // what it did and that its journal lacks the end. The books are changed, and it is listed as
    // never ended, and undoing it gives back the books.
    void unrecordedEndReadsAlike_data()
    {
        QTest::addColumn<QString>("scenario");
        QTest::addColumn<QString>("says");  // %1: its journal
        QTest::newRow("reset") << "reset"
                               << "余额已清零，但修复日志 %1 未能记下修复的结果：";
        QTest::newRow("walk") << "walk"
                              << "末级标志已全部写入，但修复日志未能记下修复的结果：";
        QTest::newRow("recompute") << "recompute"
                                   << "余额已重算，但修复日志未能记下修复的结果：";
        QTest::newRow("undo") << "undo"
                              << "以上行已恢复，但修复日志未能记下撤销的结果：";
    }
    void unrecordedEndReadsAlike()
    {
        QFETCH(QString, scenario);
        QFETCH(QString, says);
        if (!m_canTrace)
            SKIP_UNLESS_CI("strace is missing or may not trace processes here (scripts/install-deps installs it)");
        freshData(templateOf(scenario));
        const int syncs = syncsOf(typedCommand(scenario));
        QVERIFY(syncs > 0);
        freshData(templateOf(scenario));
        const QString before = books(yearDb());
        const ProcessRun run = withFailingSync(typedCommand(scenario), syncs);
        const QJsonObject result = resultOf(scenario, run);
        const QString journal = result["journal"].toString();
        QCOMPARE(run.status, 2);
        QCOMPARE(result["outcome_recorded"], QJsonValue(false));
        QVERIFY(!journal.isEmpty() && !result["error"].toString().isEmpty());
        QVERIFY2(QString::fromUtf8(run.err).contains(says.replace("%1", journal) + result["error"].toString()),
                 run.err.constData());
        QVERIFY(books(yearDb()) != before);
        QCOMPARE(listed().at(0)["id"].toString(), journal);
        QCOMPARE(listed().at(0)["outcome"].toString(), QStringLiteral("stopped"));  // never recorded
        if (scenario != "undo") {
            QCOMPARE(n3fix({"--undo", journal}).status, 0);
            QCOMPARE(books(yearDb()), before);
        }
    }

    // A repair or an undo that fails (every sync from some point on fails) and whose journal can't
    // record that either says both, whichever it is: why it failed (a walk: how far it came), and
    // that it is listed as never ended; outcome_recorded is false in JSON beside the error.
    void failedRunWithItsEndUnrecordedSaysSo_data()
    {
        QTest::addColumn<QString>("scenario");
        QTest::addColumn<QString>("failed");  // how its line of failure begins
        QTest::newRow("walk") << "walk"
                              << "修复失败（已写入 ";
        QTest::newRow("reset") << "reset"
                               << "余额清零失败，未做任何改动：";
        QTest::newRow("recompute") << "recompute"
                                   << "按下级科目重算失败，未做任何改动：";
        QTest::newRow("undo") << "undo"
                              << "撤销 " + m_walkOfRepaired + " 失败，未做任何改动：";
    }
    void failedRunWithItsEndUnrecordedSaysSo()
    {
        QFETCH(QString, scenario);
        QFETCH(QString, failed);
        if (!m_canTrace)
            SKIP_UNLESS_CI("strace is missing or may not trace processes here (scripts/install-deps installs it)");
        bool seen = false;
        for (int n = 1; !seen && n < 100; ++n) {
            freshData(templateOf(scenario));
            const ProcessRun run = withFailingSync(typedCommand(scenario), n, true);
            const QJsonObject result = resultOf(scenario, run);
            const QString err = QString::fromUtf8(run.err);
            if (run.status == 0)
                break;  // no sync failed
            QCOMPARE(run.status, 2);
            const QString journal = result["journal"].toString();
            const bool failedUnrecorded = err.contains("在修复日志中显示为“未记录结束”");
            const bool doneUnrecorded = err.contains("但修复日志未能记下");  // every row written, the end not
            QCOMPARE(result["outcome_recorded"].toBool(true), !failedUnrecorded && !doneUnrecorded);
            if (!failedUnrecorded)
                continue;
            seen = true;
            QVERIFY2(!journal.isEmpty() && !result["error"].toString().isEmpty(), qPrintable(err));
            QVERIFY2(err.contains(failed), qPrintable(err));
            QVERIFY2(err.contains(QStringLiteral("修复日志 %1 未能记下%2的结果，在修复日志中显示为“未记录结束”：")
                                      .arg(journal, scenario == "undo" ? "撤销" : "修复")),
                     qPrintable(err));
            QVERIFY2(!doneUnrecorded, qPrintable(err));  // never said to be done
        }
        QVERIFY(seen);
    }

    // A small file system filled up to leave 0, 4, 8, ... KB free: the walk (or the recompute)
    // fails at whatever stage the space runs out (its journal, the memo of the journal mode, the
    // write-ahead log or the database's rollback journal, the journal's record of the end), and
    // each time the file is whole and the repair, if it changed anything, is listed and undoable.
    // A repair whose rows are all written but whose end could not be journaled says so.
    void diskFullAtEveryStage_data()
    {
        QTest::addColumn<QString>("scenario");
        QTest::addColumn<QString>("unrecordedSays");
        QTest::newRow("walk") << "walk"
                              << "末级标志已全部写入，但修复日志未能记下修复的结果";
        QTest::newRow("recompute") << "recompute"
                                   << "余额已重算，但修复日志未能记下修复的结果";
    }
    void diskFullAtEveryStage()
    {
        QFETCH(QString, scenario);
        QFETCH(QString, unrecordedSays);
        if (geteuid() != 0)
            SKIP_UNLESS_CI("mounting a small tmpfs needs root; the full-disk stages are not tried here");
        QTemporaryDir mountPoint;
        if (::mount("tmpfs", QFile::encodeName(mountPoint.path()).constData(), "tmpfs", 0, "size=4m") != 0)
            SKIP_UNLESS_CI("mounting a small tmpfs is not permitted here; the full-disk stages are not tried");
        const auto unmount = qScopeGuard([&] { ::umount2(QFile::encodeName(mountPoint.path()).constData(), MNT_DETACH); });
        const QString dir = mountPoint.filePath("data");
        const QString filler = mountPoint.filePath("filler");
        const QString before = books(original("LQDATA_001_2007.db"));
        bool unrecordedSeen = false;
        int undone = 0, stages = 0;
        for (qint64 free = 0;; ++stages, free += 4096) {
            QDir(dir).removeRecursively();
            QFile::remove(filler);
            copyTree(original(""), dir);
            struct statvfs fs {};
            QVERIFY(::statvfs(QFile::encodeName(mountPoint.path()).constData(), &fs) == 0);
            const qint64 available = qint64(fs.f_bavail) * qint64(fs.f_frsize);
            const int fd = ::open(QFile::encodeName(filler).constData(), O_CREAT | O_WRONLY, 0600);
            QVERIFY(fd >= 0);
            QVERIFY(available <= free || ::posix_fallocate(fd, 0, available - free) == 0);
            ::close(fd);
            const ProcessRun run = n3fix({scenario == "walk" ? "--repair-end-flags" : "--recompute-balances", "--json"}, dir);
            QFile::remove(filler);  // room again for the checks and the undo
            const QString step = QStringLiteral("%1 KB free: %2").arg(free / 1024).arg(QString::fromUtf8(run.err));
            const bool unrecorded = run.status == 2 && QString::fromUtf8(run.err).contains(unrecordedSays);
            if (unrecorded) {
                unrecordedSeen = true;
                QVERIFY(!run.json()[0]["outcome_recorded"].toBool());
            } else if (run.status == 2 && scenario == "recompute") {  // one transaction: nothing changed
                QVERIFY2(QString::fromUtf8(run.err).contains("未做任何改动") && books(yearDatabase(dir)) == before,
                         qPrintable(step));
            }
            checkRecoverable(dir, kindOf(scenario), before, step, undone);
            if (QTest::currentTestFailed() || run.status == 0)
                break;
            QVERIFY2(free < 4 * 1024 * 1024, "the repair never succeeded");
        }
        qDebug("%s: %d stages failed, %d after changing the books; its end could not be journaled: %s", qPrintable(scenario),
               stages, undone, unrecordedSeen ? "yes" : "no");
    }

    void anotherWriterDuringTheWalk_data()
    {
        QTest::addColumn<bool>("walkWritesIt");
        QTest::newRow("a row the walk writes") << true;
        QTest::newRow("a row whose flag is right already") << false;
    }

    // Another program sets a flag on a row the walk has not reached yet. A row the walk is to
    // write stops it there: it says where, and the other program's value stays. A row whose flag
    // the walk found right it leaves alone, so the other program's value stays there too, and the
    // walk completes. Either way undo puts back every row the walk wrote, and nothing else.
    void anotherWriterDuringTheWalk()
    {
        QFETCH(bool, walkWritesIt);
        freshData("original");
        const QString codes = SqliteFixture::select(yearDb(), "select ccode from code order by ccode");
        const QStringList list = codes.split('\n', Qt::SkipEmptyParts);
        // the codes whose flag is wrong, by the prefix rule asked of SQLite row by row
        const QStringList wrong = SqliteFixture::select(yearDb(), "select ccode from code a where bend is not (not exists(select 1"
                                                                  " from code b where length(b.ccode)>length(a.ccode) and"
                                                                  " substr(b.ccode,1,length(a.ccode))=a.ccode))")
                                      .split('\n', Qt::SkipEmptyParts);
        qsizetype at = 40;
        while (at < list.size() && wrong.contains(list[at]) != walkWritesIt)
            ++at;
        QVERIFY(at < list.size());
        const QString holdAt = list[10].section('\'', 1, 1), changed = list[at].section('\'', 1, 1);
        m_walker.start(N3_WALK_RUNNER, {data(), Year, holdAt});
        QVERIFY(m_walker.waitForReadyRead(60000) && m_walker.readAll() == "holding\n");
        SqliteFixture::run(yearDb(), QStringLiteral("update code set bend=7 where ccode='%1'").arg(changed));
        m_walker.closeWriteChannel();
        QVERIFY(m_walker.waitForFinished(60000));
        QCOMPARE(m_walker.exitCode(), walkWritesIt ? 5 : 0);  // 5: the walk did not reach its end

        QCOMPARE(SqliteFixture::select(yearDb(), QStringLiteral("select bend from code where ccode='%1'").arg(changed)),
                 QStringLiteral("i:7\n"));
        const QJsonObject walk = listed().at(0).toObject();
        QCOMPARE(walk["rows_visited"].toInt(), list.size());
        if (walkWritesIt) {
            QCOMPARE(walk["outcome"].toString(), QStringLiteral("failed"));
            QVERIFY2(walk["message"].toString().startsWith("科目 " + changed + "：找不到要更新的记录"),
                     qPrintable(walk["message"].toString()));
            QCOMPARE(walk["rows_done"].toInt(), at);
        } else {
            QCOMPARE(walk["outcome"].toString(), QStringLiteral("completed"));
            QCOMPARE(walk["rows_done"].toInt(), list.size());
            QCOMPARE(walk["rows_changed"].toInt(), wrong.size());
        }

        QCOMPARE(n3fix({"--undo", walk["id"].toString()}).status, 0);
        const QString expected = m_work->filePath("expected.db");
        QVERIFY(QFile::copy(original("LQDATA_001_2007.db"), expected));
        SqliteFixture::run(expected, QStringLiteral("update code set bend=7 where ccode='%1'").arg(changed));
        QCOMPARE(books(yearDb()), books(expected));
    }

    // Another program adds a sub-account under an end-level account the walk has not reached, in
    // a chart of 150,000 codes. The walk gives that account 0, the flag right for the chart as it
    // is when the account's row is written, though it read the chart with the account at the end
    // level; the check then finds every flag right, and undo gives back exactly what the walk
    // changed, the other program's row kept.
    void subAccountAddedAheadOfTheWalk()
    {
        m_work = std::make_unique<QTemporaryDir>();
        QVERIFY(QDir().mkpath(data()));
        writeSystemDatabase(systemDatabase(data()), {{"001", "演示", {2007}, {}}});
        const QString chart = "create table code(ccode TEXT, ccode_name TEXT, bend INTEGER);"
                              "create table GL_accsum(ccode TEXT, iperiod INTEGER, mb, mc, md);"
                              "with recursive n(x) as (select 1 union all select x+1 from n where x<150000)"
                              " insert into code select printf('%06d', x), 'name ' || x, 9 from n;";
        const QString added = "insert into code values('15000001', '新增', 1);";
        SqliteFixture::run(yearDb(), chart);
        m_walker.start(N3_WALK_RUNNER, {data(), Year, "000010"});
        QVERIFY(m_walker.waitForReadyRead(60000) && m_walker.readAll() == "holding\n");
        SqliteFixture::run(yearDb(), added);
        m_walker.closeWriteChannel();
        QVERIFY(m_walker.waitForFinished(600000));
        QCOMPARE(m_walker.exitCode(), 0);

        QCOMPARE(SqliteFixture::select(yearDb(), "select bend from code where ccode in ('150000', '15000001') order by ccode"),
                 QStringLiteral("i:0\ni:1\n"));
        QCOMPARE(SqliteFixture::select(yearDb(), "select count(*) from code where bend=1"), QStringLiteral("i:150000\n"));
        QCOMPARE(n3fix({"--check"}).status, 0);
        const QJsonObject walk = listed().at(0).toObject();
        QCOMPARE(walk["outcome"].toString(), QStringLiteral("completed"));
        QCOMPARE(n3fix({"--undo", walk["id"].toString()}).status, 0);
        const QString expected = m_work->filePath("expected.db");
        SqliteFixture::run(expected, chart + added);
        QCOMPARE(SqliteFixture::dump(yearDb(), "code"), SqliteFixture::dump(expected, "code"));
    }

    // An undo of a walk that is still running is refused, changes nothing and writes no journal;
    // the listing tells the walk is running, and once it has ended, undo works.
    void undoDuringTheWalk()
    {
        freshData("original");
        const QString before = books(yearDb());
        m_walker.start(N3_WALK_RUNNER, {data(), Year, "2"});
        QVERIFY(m_walker.waitForReadyRead(60000) && m_walker.readAll() == "holding\n");
        const QJsonObject walk = listed().at(0).toObject();
        QCOMPARE(walk["outcome"].toString(), QStringLiteral("running"));
        QVERIFY(walk["running"].toBool());
        QCOMPARE(walk["rows_visited"].toInt(), 60);  // known from the start
        QCOMPARE(n3fix({"--journal"}).out.count("正在进行"), 1);
        const QString during = books(yearDb());
        const QStringList journals = QDir(data("journal")).entryList({"*.journal"});

        const ProcessRun undo = n3fix({"--undo", walk["id"].toString(), "--json"});
        QCOMPARE(undo.status, 2);
        QVERIFY2(undo.json()["error"].toString().contains("仍在进行中，不能撤销"), undo.out.constData());
        QCOMPARE(books(yearDb()), during);
        QCOMPARE(QDir(data("journal")).entryList({"*.journal"}), journals);

        m_walker.closeWriteChannel();
        QVERIFY(m_walker.waitForFinished(60000));
        QCOMPARE(m_walker.exitCode(), 0);
        QCOMPARE(listed().at(0)["outcome"].toString(), QStringLiteral("completed"));
        QCOMPARE(n3fix({"--undo", walk["id"].toString()}).status, 0);
        QCOMPARE(books(yearDb()), before);
    }

    // Another program that writes with an ordinary busy timeout (5 s) gets every write in while a
    // walk commits row after row: the walk leaves it room now and then. Some of its writes land
    // while the walk is half-way, and the walk still completes. In the write-ahead log a commit is
    // quick; where the walk could not switch to it (another program was reading as it began) every
    // commit syncs the file, and with syncs as slow as a busy disk's (strace holds each for 20 ms)
    // the walk holds the lock nearly all the time.
    void anotherProgramWritesDuringALongWalk_data()
    {
        QTest::addColumn<int>("codes");
        QTest::addColumn<bool>("slowSyncs");
        QTest::newRow("write-ahead log, 150,000 codes") << 150000 << false;
        QTest::newRow("rollback journal, slow syncs") << 150 << true;
    }
    void anotherProgramWritesDuringALongWalk()
    {
        QFETCH(int, codes);
        QFETCH(bool, slowSyncs);
        if (slowSyncs && !m_canTrace)
            SKIP_UNLESS_CI("strace is missing or may not trace processes here (scripts/install-deps installs it)");
        m_work = std::make_unique<QTemporaryDir>();
        QVERIFY(QDir().mkpath(data()));
        writeSystemDatabase(systemDatabase(data()), {{"001", "演示", {2007}, {}}});
        SqliteFixture::run(yearDb(), QStringLiteral("create table code(ccode TEXT, ccode_name TEXT, bend INTEGER);"
                                                    "create table GL_accsum(ccode TEXT, iperiod INTEGER, mb, mc, md);"
                                                    "create table other_writes(walked INTEGER);"
                                                    "with recursive n(x) as (select 1 union all select x+1 from n where x<%1)"
                                                    " insert into code select printf('%06d', x), 'name ' || x, 9 from n;")
                                         .arg(codes));
        const QString walkedSoFar = "select count(*) from code where bend is not 9";
        QProcess reader, walk, writer;
        if (slowSyncs) {
            reader.start(N3_LOCK_HOLDER, {yearDb(), "read"});
            QVERIFY(reader.waitForReadyRead(60000) && reader.readAll() == "locked\n");
        }
        QStringList command{N3FIX, "--data-dir", data(), "--repair-end-flags"};
        if (slowSyncs)
            command =
                QStringList{"-f", "-qq", "-o", "/dev/null", "-e", "trace=fdatasync", "-e", "inject=fdatasync:delay_exit=20000",
                            "--"}
                + command;
        walk.setProcessEnvironment(tracedEnvironment());
        walk.start(slowSyncs ? "strace" : command.takeFirst(), command);
        // Nothing here reads the file before the walk is under way: a reader at the moment the
        // walk switches to the log keeps it in the file's own journal mode.
        if (slowSyncs) {
            // the walk's first row waits for the reader, in the file's own journal mode
            QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(yearDb() + "-journal"), 60000);
            reader.closeWriteChannel();
            QVERIFY(reader.waitForFinished(60000));
        } else {
            QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(yearDb() + "-wal"), 120000);
        }
        writer.start(N3_OTHER_WRITER, {yearDb()});
        QVERIFY(writer.waitForStarted());
        QVERIFY(walk.waitForFinished(600000));
        writer.closeWriteChannel();
        QVERIFY(writer.waitForFinished(60000));
        const QByteArray said = writer.readAllStandardOutput();
        QVERIFY2(writer.exitCode() == 0, said.constData());
        QCOMPARE(walk.exitCode(), 0);
        QCOMPARE(SqliteFixture::select(yearDb(), walkedSoFar), QStringLiteral("i:%1\n").arg(codes));
        const int midWalk =
            SqliteFixture::select(yearDb(),
                                  QStringLiteral("select count(*) from other_writes where walked between 1 and %1").arg(codes - 1))
                .mid(2)
                .toInt();
        QVERIFY2(midWalk > 0, said.constData());
        qDebug("the other program wrote %d times while the walk was at work (%s)", midWalk, said.trimmed().constData());
    }

    // Two walks on one database at once: the second runs to its end while the first waits between
    // two rows; the first then meets rows the second changed and stops there. Every flag is right,
    // both walks are listed, and undoing them newest first gives back the books as they were.
    void twoRepairsAtOnce()
    {
        freshData("original");
        const QString before = books(yearDb());
        m_walker.start(N3_WALK_RUNNER, {data(), Year, "2"});
        QVERIFY(m_walker.waitForReadyRead(60000) && m_walker.readAll() == "holding\n");
        const ProcessRun second = n3fix({"--repair-end-flags", "--json"});
        QCOMPARE(second.status, 0);
        m_walker.closeWriteChannel();
        QVERIFY(m_walker.waitForFinished(60000));
        QCOMPARE(m_walker.exitCode(), 5);

        QCOMPARE(SqliteFixture::dump(yearDb(), "pragma_integrity_check"), QStringLiteral("t:'ok'\n"));
        QCOMPARE(n3fix({"--check"}).status, 0);
        const QJsonArray repairs = listed();
        QCOMPARE(repairs.size(), 2);
        QCOMPARE(repairs[0]["outcome"].toString(), QStringLiteral("completed"));  // the second
        QCOMPARE(repairs[1]["outcome"].toString(), QStringLiteral("failed"));
        QCOMPARE(n3fix({"--undo", repairs[0]["id"].toString()}).status, 0);
        QCOMPARE(n3fix({"--undo", repairs[1]["id"].toString()}).status, 0);
        QCOMPARE(books(yearDb()), before);
    }
};

QTEST_MAIN(CrashSafety)
#include "tst_crash_safety.moc"
