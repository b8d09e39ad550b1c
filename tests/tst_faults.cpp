// Faults of the embedded engine met through the real window, and the tool killed in the middle of
// an end-flag walk: each fault is reported in a box, the window goes on, no file is left changed.
#include "support/DataFiles.h"
#include "support/FormDriver.h"
#include "support/SqliteFixture.h"
#include "app/Form1.h"
#include "demo/DemoData.h"
#include <QtTest>
#include <QtWidgets>

static QStringList codeRows(const QString &db)
{
    return SqliteFixture::dump(db, "code").split('\n', Qt::SkipEmptyParts);
}

class Faults : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> m_root;  // data/ is the data directory; x.db lies outside it
    std::unique_ptr<Form1> m_form;
    QProcess m_helper;  // the lock holder or the walk runner
    QString data(const QString &name = QString()) const
    {
        return m_root->filePath(name.isEmpty() ? QStringLiteral("data") : "data/" + name);
    }
private slots:
    void init()
    {
        m_root = std::make_unique<QTemporaryDir>();
        QVERIFY(QDir().mkpath(data("LQDATA_001_2007")));  // so that data/LQDATA_001_2007/../../x.db is the bait x.db
        // LQDATA_001_2006.db stays missing
        writeSystemDatabase(systemDatabase(data()), {{"001", "演示", {2006, 2007}, {}}});
        for (const QString &file : {yearDatabase(data()), m_root->filePath("x.db")})
            writeAccountSetDatabase(file, generateChart(40), 0.1, 7);
        FormDriver::useDataDirectory(data());
        m_helper.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    }
    void cleanup()
    {
        m_helper.kill();
        m_helper.waitForFinished();
        m_form.reset();
        m_root.reset();
    }

    // Each fault is reported in boxes, with its description, at each press of either repair button,
    // and changes no file.
    void faultIsReportedAndNothingChanges_data()
    {
        QTest::addColumn<QString>("fault");       // a script run on the year database, or a fault set up below
        QTest::addColumn<QString>("year");        // typed into Combo5
        QTest::addColumn<QString>("connection");  // why the connection fails, if it does
        QTest::addColumn<QString>("walk");        // why the end-flag walk fails, if the connection opens
        QTest::newRow("missing database") << ""
                                          << "2006"
                                          << "数据库文件不存在：*/data/LQDATA_001_2006.db"
                                          << "";
        QTest::newRow("missing tables") << "drop table code; drop table GL_accsum"
                                        << "2007"
                                        << ""
                                        << "数据库中缺少数据表：no such table: code*";
        QTest::newRow("missing columns") << "alter table code drop bend; alter table GL_accsum drop mb"
                                         << "2007"
                                         << ""
                                         << "数据表中缺少字段：no such column: bend*";
        QTest::newRow("garbage file") << "garbage"
                                      << "2007"
                                      << "文件不是有效的数据库：file is not a database*"
                                      << "";
        QTest::newRow("read-only file") << "read-only"
                                        << "2007"
                                        << ""
                                        << "数据库文件是只读的，不能写入：*";
        QTest::newRow("locked by another program") << "locked"
                                                   << "2007"
                                                   << ""
                                                   << "数据库正被其他程序使用（已锁定），请稍后再试：database is locked*";
        QTest::newRow("year leading outside") << ""
                                              << "2007/../../x"
                                              << "数据库名称中含有不允许的字符 “/”：名称只能由字母、数字和下划线组成。"
                                              << "";
    }
    void faultIsReportedAndNothingChanges()
    {
        QFETCH(QString, fault);
        QFETCH(QString, year);
        QFETCH(QString, connection);
        QFETCH(QString, walk);
        const QString yearDb = yearDatabase(data());
        if (QFile file(yearDb); fault == "garbage")
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(QByteArray(4096, '\xA5')) == 4096);
        else if (fault == "read-only" && !(QFile::setPermissions(yearDb, QFile::ReadOwner) && !QFileInfo(yearDb).isWritable()))
            QSKIP("running as root: a read-only file mode does not stop writes");
        else if (fault.startsWith("drop") || fault.startsWith("alter"))
            SqliteFixture::run(yearDb, fault);
        const QMap<QString, QByteArray> before = SqliteFixture::dumpDirectory(m_root->path());
        if (fault == "locked") {  // another program's uncommitted write, rolled back when it exits
            m_helper.start(N3_LOCK_HOLDER, {yearDb});
            QVERIFY(m_helper.waitForReadyRead(30000) && m_helper.readAll() == "locked\n");
        }
        m_form = FormDriver::openWindow();
        QVERIFY(m_form);
        FormDriver::pickFromList(m_form->Combo3, 0);
        FormDriver::typeOver(m_form->Combo5, year);
        QTest::keyClicks(m_form->txtCode, "1011");
        const QString box =
            "16|数据库连接错误|数据库LQDATA_001_" + year + "连接错误 \r\n" + connection + "\r\n请正确配置数数据连接";
        const QString walkBox = "16|N3新会计制度科目增加工具|重建末级科目标志时出错：\r\n"
                                + (walk.isEmpty() ? "数据库连接未打开，无法执行操作。" : walk);
        const QString failed = "0|N3新会计制度科目增加工具|修复失败！";
        const QStringList boxesOfBoth =
            connection.isEmpty() ? QStringList{failed, walkBox} : QStringList{box, failed, box, walkBox};
        // * is any text in a line
        const QRegularExpression expected("\\A" + QRegularExpression::escape(boxesOfBoth.join('\n')).replace("\\*", ".*") + "\\z");
        for (int attempt = 0; attempt < 2; ++attempt) {
            QTest::mouseClick(m_form->Command1, Qt::LeftButton);
            QTest::mouseClick(m_form->Command2, Qt::LeftButton);
            const QString shown = FormDriver::boxesShown().join('\n');
            QVERIFY2(expected.match(shown).hasMatch(), qPrintable(shown));
            QVERIFY(m_form->isVisible() && m_form->Command1->isEnabled() && m_form->Command2->isEnabled());
        }
        m_helper.closeWriteChannel();  // the lock holder rolls its change back and exits
        QVERIFY(fault != "locked" || (m_helper.waitForFinished() && m_helper.exitCode() == 0));
        QCOMPARE(SqliteFixture::dumpDirectory(m_root->path()), before);
    }

    // SIGKILL in the middle of a 20,000-code walk: the file is intact, the flags a clean prefix (right up to some
    // row, old after it), and the walk's journal holds every row's old flag: undo, as a real process, puts back
    // every row the walk wrote. The next whole walk repairs every flag and puts the file back in its own journal
    // mode, which only the killed walk's journal remembered.
    void killedWalkLeavesACleanPrefix()
    {
        const QVector<ChartAccount> chart = generateChart(20000, {4, 2, 2, 2});
        const QString yearDb = yearDatabase(data());
        QVERIFY(QFile::remove(yearDb));
        writeAccountSetDatabase(yearDb, chart, 0.1, 7);
        const QStringList old = codeRows(yearDb);
        const QString schema = SqliteFixture::dump(yearDb, "sqlite_master");
        QStringList right;  // rows in code order; columns ccode, ccode_name, igrade, bend, cclass
        for (int i = 0; i < old.size(); ++i)
            right << old[i].section('|', 0, 2) + QStringLiteral("|i:%1|").arg(int(chart[i].endLevel)) + old[i].section('|', 4);
        m_helper.start(N3_WALK_RUNNER, {data(), "2007", chart[chart.size() / 2].code});
        // nothing else touches the file until the walk holds: a reader would keep it out of the log
        QVERIFY(m_helper.waitForReadyRead(120000) && m_helper.readAll() == "holding\n");
        m_helper.kill();
        QVERIFY(m_helper.waitForFinished() && m_helper.exitStatus() == QProcess::CrashExit);

        QCOMPARE(SqliteFixture::dump(yearDb, "pragma_integrity_check"), "t:'ok'\n");
        const QStringList after = codeRows(yearDb);
        const qsizetype k = std::mismatch(after.begin(), after.end(), right.begin()).first - after.begin();
        QVERIFY2(k >= old.size() / 2 && k < old.size() && after.mid(k) == old.mid(k),
                 qPrintable(QString("prefix of %1 rows").arg(k)));
        // the killed walk's log stays where the file system let it use one; the schema is the user's own
        QVERIFY(QStringList({"t:'wal'\n", "t:'delete'\n"}).contains(SqliteFixture::dump(yearDb, "pragma_journal_mode")));
        QCOMPARE(SqliteFixture::dump(yearDb, "sqlite_master"), schema);

        const QStringList journals = QDir(data("journal")).entryList({"*.journal"});
        QCOMPARE(journals.size(), 1);
        QProcess undo;
        undo.start(N3FIX, {"--data-dir", data(), "--undo", journals[0].chopped(8), "--json"});
        QVERIFY(undo.waitForFinished(120000));
        QCOMPARE(undo.exitCode(), 0);
        int changed = 0;  // rows the killed walk gave another flag
        for (int i = 0; i < k; ++i)
            changed += after[i] != old[i];
        QCOMPARE(QJsonDocument::fromJson(undo.readAllStandardOutput())["restored"].toInt(), changed);
        QCOMPARE(codeRows(yearDb), old);

        m_helper.start(N3_WALK_RUNNER, {data(), "2007", "~"});
        QVERIFY(m_helper.waitForFinished(120000) && m_helper.exitCode() == 0);
        QCOMPARE(codeRows(yearDb), right);
        QCOMPARE(SqliteFixture::dump(yearDb, "sqlite_master"), schema);
        QCOMPARE(SqliteFixture::dump(yearDb, "pragma_journal_mode"), "t:'delete'\n");
        QVERIFY(!QFile::exists(yearDb + "-wal"));
    }

    // Another program reading the file when the walk ends keeps it in the write-ahead log; the walk's
    // journal remembers the file's own journal mode, and the next walk puts it back.
    void journalModeRestoredByTheNextWalk()
    {
        const QString yearDb = yearDatabase(data());
        QVERIFY(QFile::remove(yearDb));
        writeAccountSetDatabase(yearDb, generateChart(3000, {4, 2, 2, 2}), 0.1, 7);
        m_helper.start(N3_WALK_RUNNER, {data(), "2007", "2"});
        QVERIFY(m_helper.waitForReadyRead(120000) && m_helper.readLine() == "holding\n");
        QProcess reader;
        reader.start(N3_LOCK_HOLDER, {yearDb, "read"});
        QVERIFY(reader.waitForReadyRead(30000) && reader.readAll() == "locked\n");
        m_helper.closeWriteChannel();  // the walk goes on to its end while the reader holds the file
        QVERIFY(m_helper.waitForFinished(120000) && m_helper.exitCode() == 0);
        QCOMPARE(SqliteFixture::dump(yearDb, "pragma_journal_mode"), "t:'wal'\n");
        reader.closeWriteChannel();
        QVERIFY(reader.waitForFinished() && reader.exitCode() == 0);

        m_helper.start(N3_WALK_RUNNER, {data(), "2007", "~"});
        QVERIFY(m_helper.waitForFinished(120000) && m_helper.exitCode() == 0);
        QCOMPARE(SqliteFixture::dump(yearDb, "pragma_journal_mode"), "t:'delete'\n");
        QVERIFY(!QFile::exists(yearDb + "-wal"));
    }
};

QTEST_MAIN(Faults)
#include "tst_faults.moc"
