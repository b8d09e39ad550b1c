// The command line's words, as real processes of n3fix and n3demo with a home directory of their
// own: refusals that name the real problem and lead on (the sets there are, the options missing,
// the option meant, the months a reset starts from), as JSON too; a first start that says how to
// get data; each failure said once, the check's summary, batch lines naming account set and year,
// the end-flag walk's dry run, --demo with every command, the journal of each engine and who ran
// each repair where, a repair looked for on other data named with the option that reaches it, a
// repair on a database that is gone, every JSON object's members in the order of their names, a
// window started without a display, and n3demo's chart size.
#include "support/DataFiles.h"
#include "support/ProcessRun.h"
#include "support/SqliteFixture.h"
#include "support/TestUser.h"

#include "demo/DemoData.h"

#include <QtTest>

#include <functional>
#include <optional>

// Whether every object in the JSON text `json` has its member names in ascending order, compared
// byte by byte as written; read here by a reader of its own, since QJsonDocument sorts what it
// reads. Names are collected into `names`, in order, for the caller to see that something was read.
// Gives false for text that is no JSON, or an object out of order (named in `problem`).
static bool membersInOrder(const QByteArray &json, QByteArrayList &names, QString &problem)
{
    qsizetype at = 0;
    const auto blanks = [&] {
        while (at < json.size() && QByteArrayView(" \t\r\n").contains(json[at]))
            ++at;
    };
    const auto string = [&]() -> std::optional<QByteArray> {
        if (at >= json.size() || json[at] != '"')
            return std::nullopt;
        const qsizetype start = ++at;
        for (; at < json.size() && json[at] != '"'; ++at)
            if (json[at] == '\\')
                ++at;
        return at < json.size() ? std::optional(json.mid(start, at++ - start)) : std::nullopt;
    };
    std::function<bool()> value = [&]() -> bool {
        blanks();
        if (at >= json.size())
            return false;
        if (json[at] == '"')
            return string().has_value();
        if (json[at] != '{' && json[at] != '[') {
            while (at < json.size() && !QByteArrayView(",]} \t\r\n").contains(json[at]))
                ++at;
            return true;
        }
        const bool object = json[at++] == '{';
        QByteArray last;
        for (bool first = true;; first = false) {
            blanks();
            if (at < json.size() && json[at] == (object ? '}' : ']')) {
                ++at;
                return true;
            }
            if (!first && (at >= json.size() || json[at++] != ','))
                return false;
            blanks();
            if (object) {
                const std::optional<QByteArray> name = string();
                blanks();
                if (!name || at >= json.size() || json[at++] != ':')
                    return false;
                if (!last.isNull() && !(last < *name)) {
                    problem = QStringLiteral("“%1” after “%2”").arg(QString::fromUtf8(*name), QString::fromUtf8(last));
                    return false;
                }
                names << *name;
                last = *name;
            }
            if (!value())
                return false;
        }
    };
    const bool read = value();
    blanks();
    if (read && at != json.size())
        problem = QStringLiteral("text after the document");
    return read && at == json.size();
}

class tst_CommandLine : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> m_home;
    QString data() const { return m_home->filePath("data"); }
    QString defaultDataDirectory() const { return m_home->filePath(".local/share/n3fix"); }

    // What one run of a program wrote, read as UTF-8.
    struct Run {
        int status;
        QString out, err;
        QJsonDocument json() const { return QJsonDocument::fromJson(out.toUtf8()); }
    };

    // Runs `program` in the test's home directory; arguments with %DATA% get the data folder.
    Run start(const QString &program, const QStringList &arguments, const QMap<QString, QString> &environment = {},
              const QString &workingDirectory = QString())
    {
        QStringList resolved;
        for (const QString &argument : arguments)
            resolved << QString(argument).replace("%DATA%", data());
        QProcessEnvironment changed = environmentWithHome(m_home->path());
        for (auto it = environment.cbegin(); it != environment.cend(); ++it)
            it.value().isNull() ? changed.remove(it.key()) : changed.insert(it.key(), it.value());
        const ProcessRun run = runProcess(program, resolved, changed, workingDirectory);
        return {run.status, QString::fromUtf8(run.out), QString::fromUtf8(run.err)};
    }
    Run n3fix(const QStringList &arguments, const QMap<QString, QString> &environment = {})
    {
        return start(N3FIX, arguments, environment);
    }
    Run n3demo(const QStringList &arguments) { return start(N3DEMO, arguments); }

    // Makes the database file of account set 002's year 2006 unreadable.
    void breakDatabase()
    {
        QFile broken(yearDatabase(data(), "002", "2006"));
        QVERIFY(broken.open(QIODevice::WriteOnly | QIODevice::Truncate) && broken.write(QByteArray(4096, 'x')) == 4096);
    }

private slots:
    void init()
    {
        m_home = std::make_unique<QTemporaryDir>();
        createDemoDataDirectory(data());
    }

    // Each refusal names what is wrong with what the user typed, on standard error, with status 2.
    void refusalsNameTheProblem_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("said");
        QTest::addColumn<QString>("notSaid");
        const QString wanted = "选项 --%1 后面需要给出%2。";
        QTest::newRow("year the set lacks") << QStringList{"--check", "--account-set", "003",   "--year",
                                                           "2006",    "--data-dir",    "%DATA%"}
                                            << "帐套 003 没有 2006 会计年度（它的有效年度：2007）。"
                                            << "没有帐套有";
        QTest::newRow("year no set has") << QStringList{"--check", "--year", "1999", "--data-dir", "%DATA%"}
                                         << "没有帐套有 1999 会计年度。"
                                         << "";
        QTest::newRow("flag given a value") << QStringList{"--check=1"} << "选项 --check 不带值。"
                                            << "需要给出";
        QTest::newRow("account set missing at the end")
            << QStringList{"--check", "--account-set"} << wanted.arg("account-set", "帐套编号") << "目录";
        QTest::newRow("account set before another option")
            << QStringList{"--check", "--account-set", "--year", "2006"}
            << "选项 --account-set 后面需要给出帐套编号，给出的“--year”却像另一个选项。\n"
            << "目录";
        QTest::newRow("empty undo id") << QStringList{"--undo", ""} << wanted.arg("undo", "日志编号") << "目录";
        QTest::newRow("empty year") << QStringList{"--check", "--year="} << wanted.arg("year", "年度") << "目录";
        QTest::newRow("data directory that is a file") << QStringList{"--check", "--data-dir", "%DATA%/LQsystem.db"}
                                                       << "--data-dir 给出的 %DATA%/LQsystem.db 是一个文件，不是目录。"
                                                       << "不存在";
        QTest::newRow("journal of a missing folder")
            << QStringList{"--journal", "--data-dir", "%DATA%/none"} << "数据目录不存在：%DATA%/none"
            << "用 --data-dir";
        QTest::newRow("window on a missing folder") << QStringList{"--data-dir", "%DATA%/none"} << "数据目录不存在：%DATA%/none"
                                                    << "用 --data-dir";
        QTest::newRow("data directory twice")
            << QStringList{"--check", "--data-dir", "%DATA%", "--data-dir", "/tmp"} << "选项 --data-dir 只能给出一次。"
            << "";
        QTest::newRow("flag twice") << QStringList{"--check", "--verbose", "--verbose"} << "选项 --verbose 只能给出一次。"
                                    << "";
        QTest::newRow("dash directory") << QStringList{"--check", "--data-dir", "-x"}
                                        << "选项 --data-dir 后面需要给出目录，给出的“-x”却像另一个选项。以“-”开头的目录请写成 ./-x。\n"
                                        << "";
        QTest::newRow("two places") << QStringList{"--journal", "--demo", "--odbc"}
                                    << "--data-dir、--odbc 和 --demo 只能选一个（--server 和 --sql-login 都指 SQL Server）。"
                                    << "";
        QTest::newRow("choose data with a command") << QStringList{"--choose-data", "--check"} << "--choose-data 重新选择数据位置"
                                                    << "";
        const QString guideAlone = "--guide 只打开使用说明窗口，不能与命令选项、--journal-window、--check-window、--choose-data、"
                                   "--data-dir、--odbc、--demo、--server 或 --sql-login 同用。\n";
        QTest::newRow("guide with a command") << QStringList{"--guide", "--check"} << guideAlone << "";
        QTest::newRow("guide with another window") << QStringList{"--check-window", "--guide"} << guideAlone << "";
        QTest::newRow("guide with a place") << QStringList{"--guide", "--data-dir", "%DATA%"} << guideAlone << "";
        QTest::newRow("set that isn't there") << QStringList{"--check", "--account-set", "9", "--data-dir", "%DATA%"}
                                              << "系统库中没有编号为“9”的帐套（现有帐套：001、002、003、667）。\n"
                                              << "";
        QTest::newRow("reset without two of its options")
            << QStringList{"--reset-balance", "--year", "2007", "--code", "1002"}
            << "--reset-balance 需要给出 --account-set、--year、--code 和 --from-period，还缺少 --account-set、--from-period。\n"
            << "";
        QTest::newRow("option misspelt") << QStringList{"--chek"} << "无法识别的选项：--chek。是不是要用 --check？\n"
                                         << "";
        QTest::newRow("letters swapped, one dash")
            << QStringList{"-jounral"} << "无法识别的选项：-jounral。是不是要用 --journal？\n"
            << "";
        QTest::newRow("misspelt with a value")
            << QStringList{"--acount-set=001", "--check"} << "无法识别的选项：--acount-set。是不是要用 --account-set？\n"
            << "";
        QTest::newRow("nothing near") << QStringList{"--fix-everything"} << "无法识别的选项：--fix-everything。\n"
                                      << "是不是";
        QTest::newRow("too short to guess") << QStringList{"--ch"} << "无法识别的选项：--ch。\n"
                                            << "是不是";
        QTest::newRow("dashes left out") << QStringList{"check"} << "无法识别的参数：check。是不是要用 --check？\n"
                                         << "";
        QTest::newRow("dry run of the check") << QStringList{"--check", "--dry-run"}
                                              << "--dry-run 只用于 --repair-end-flags、--reset-balance 和 --recompute-balances。\n"
                                              << "";
        QTest::newRow("report of the walk") << QStringList{"--repair-end-flags", "--report", "r.csv"}
                                            << "--report 只用于 --check、--check-balances，加 --dry-run 的 --repair-end-flags、"
                                            << "";
        QTest::newRow("verbose dry run") << QStringList{"--repair-end-flags", "--dry-run", "--verbose"}
                                         << "--verbose 只用于 --check 和 --check-balances。\n"
                                         << "";
    }
    void refusalsNameTheProblem()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, said);
        QFETCH(QString, notSaid);
        said.replace("%DATA%", data());
        const Run run = n3fix(arguments);
        QCOMPARE(run.status, 2);
        QVERIFY2(run.err.startsWith(said), qPrintable(run.err));
        QVERIFY2(notSaid.isEmpty() || !run.err.contains(notSaid), qPrintable(run.err));
        QCOMPARE(run.out, QString());

        // A script that asks for JSON gets the same refusal as {"error": ...}, and the same status.
        const Run json = n3fix(QStringList{"--json"} + arguments);
        QCOMPARE(json.status, 2);
        QCOMPARE(json.err, run.err);
        const QJsonObject error = json.json().object();
        QCOMPARE(error.keys(), QStringList{"error"});
        QCOMPARE(error["error"].toString() + '\n', run.err.section('\n', 0, 0) + '\n');
    }

    // A year whose database is gone: the walk and the reset (and its dry run) each say once which
    // database could not be opened and why, with status 2, as JSON too, and change nothing: no
    // database is made, no journal written.
    void missingDatabaseChangesNothing()
    {
        const QString missing = data() + "/LQDATA_002_2006.db";
        QVERIFY(QFile::remove(missing));
        const QMap<QString, QByteArray> before = SqliteFixture::dumpDirectory(data());
        const QString where = "帐套 002，2006 年度（LQDATA_002_2006）：";
        const QString cause = "数据库文件不存在：" + missing;
        const QStringList walk{"--repair-end-flags", "--account-set", "002", "--year", "2006", "--data-dir", "%DATA%"};
        const Run said = n3fix(walk);
        QCOMPARE(said.status, 2);
        QCOMPARE(said.out, QString());
        QCOMPARE(said.err, where + "修复失败，无法连接数据库，未做任何改动：" + cause + "\n");
        const Run json = n3fix(walk + QStringList{"--json"});
        QCOMPARE(json.status, 2);
        QCOMPARE(json.json().array(), QJsonArray({QJsonObject{{"account_set", "002"},
                                                              {"changed", 0},
                                                              {"codes", 0},
                                                              {"database", "LQDATA_002_2006"},
                                                              {"error", cause},
                                                              {"journal", QJsonValue::Null},
                                                              {"outcome_recorded", true},
                                                              {"written", 0},
                                                              {"year", "2006"}}}));
        const QStringList reset{"--reset-balance", "--account-set", "002",           "--year", "2006",
                                "--code",          "1001",          "--from-period", "3",      "--data-dir",
                                "%DATA%"};
        for (const QStringList &arguments : {reset, reset + QStringList{"--dry-run"}}) {
            const Run run = n3fix(arguments);
            QCOMPARE(run.status, 2);
            QCOMPARE(run.out, QString());
            QCOMPARE(run.err, where + "科目 1001 余额清零失败，无法连接数据库，未做任何改动：" + cause + "\n");
        }
        QCOMPARE(SqliteFixture::dumpDirectory(data()), before);
        QVERIFY(!QFile::exists(missing));
        QCOMPARE(QDir(data() + "/journal").entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
    }

    // With an unreadable database, the check and the batch repair say each failure once (on standard
    // error) and go on with the others. The check's summary counts the wrong flags and the databases
    // apart; every line names the account set and the year, and so does the JSON.
    void failuresSaidOnceAndCountsApart()
    {
        breakDatabase();
        const Run json = n3fix({"--check", "--json", "--data-dir", "%DATA%"});
        QCOMPARE(json.status, 2);
        int wrongFlags = 0, withWrongFlags = 0;
        for (const QJsonValue result : json.json().array()) {
            wrongFlags += result["wrong"].toInt();
            withWrongFlags += result["wrong"].toInt() > 0;
        }
        QVERIFY(wrongFlags > 10 && withWrongFlags == 5);

        const Run check = n3fix({"--check", "--data-dir", "%DATA%"});
        QCOMPARE(check.status, 2);
        QCOMPARE((check.out + check.err).count("无法读取："), 1);
        QVERIFY2(check.err.startsWith("帐套 002，2006 年度（LQDATA_002_2006）：无法读取："), qPrintable(check.err));
        QVERIFY2(check.out.endsWith(
                     QString("共检查 6 个数据库：末级标志错误共 %1 个，在 5 个数据库中；无法读取的数据库 1 个。\n").arg(wrongFlags)),
                 qPrintable(check.out));

        const Run repair = n3fix({"--repair-end-flags", "--data-dir", "%DATA%"});
        QCOMPARE(repair.status, 2);
        QCOMPARE((repair.out + repair.err).count("修复失败"), 1);
        QVERIFY2(repair.err.startsWith("帐套 002，2006 年度（LQDATA_002_2006）：修复失败"), qPrintable(repair.err));
        const QStringList lines = repair.out.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 5);
        static const QRegularExpression line(
            "^帐套 (\\d+)，(\\d+) 年度（LQDATA_\\1_\\2）：修复科目 \\d+ 个，改动末级标志 \\d+ 个，修复日志 [-0-9]+$");
        for (const QString &text : lines)
            QVERIFY2(line.match(text).hasMatch(), qPrintable(text));

        const Run again = n3fix({"--repair-end-flags", "--account-set", "001", "--json", "--data-dir", "%DATA%"});
        QCOMPARE(again.status, 0);
        QCOMPARE(again.err, QString());
        const QJsonArray results = again.json().array();
        QCOMPARE(results.size(), 2);
        for (const QJsonValue result : results) {
            QCOMPARE(result["account_set"].toString(), QStringLiteral("001"));
            QCOMPARE(result["database"].toString(), "LQDATA_001_" + result["year"].toString());
            QCOMPARE(result["changed"].toInt(-1), 0);
        }
    }

    // The end-flag walk's dry run on a chart as import tools leave it (codes padded, stored as
    // numbers, in GBK bytes, NULL; flags NULL, unreadable, or right but stored as text or real):
    // it lists exactly the rows the walk then writes, with their flags now and to be, and leaves
    // every file as it was, no journal made; the exit status says whether a flag would be written.
    void endFlagDryRunListsWhatTheWalkWrites()
    {
        const QString file = yearDatabase(data(), "003", "2007");
        QVERIFY(QFile::remove(file));
        SqliteFixture::run(file, "create table code(ccode, bend);"
                                 "insert into code values('1001',1),('100101    ',0),(1002,'1 '),('100201','1 '),('100202',1.0),"
                                 "(cast(x'3130C4E3' as text),1),(cast(x'3130C4E33031' as text),'x'),(cast(x'3130C5E4' as text),NULL),"
                                 "(NULL,0),('2001',1),('2002',0),('200201',1),('3001',2);");
        // code, flag now, flag to be, whether only its form changes; in code order
        const QStringList expected{"null|0|1|false",
                                   "\"1002\"|\"1 \"|0|false",
                                   "\"1001\"|1|0|false",
                                   "\"100101    \"|0|1|false",
                                   "\"100201\"|\"1 \"|1|true",
                                   "\"100202\"|1|1|true",
                                   "\"X'3130c4e3'\"|1|0|false",
                                   "\"X'3130c4e33031'\"|\"x\"|1|false",
                                   "\"X'3130c5e4'\"|null|1|false",
                                   "\"3001\"|2|1|false"};
        const QStringList selection{"--data-dir", "%DATA%", "--account-set", "003", "--year", "2007"};
        const QString stored = "select hex(ccode) || ' ' || typeof(bend) || ':' || quote(bend) from code order by rowid";
        const QString chart = SqliteFixture::select(file, stored);
        const QMap<QString, QString> files = snapshot(m_home->path());
        QVERIFY(!QFileInfo::exists(data() + "/journal"));

        const Run text = n3fix(QStringList{"--repair-end-flags", "--dry-run"} + selection);
        QCOMPARE(text.status, 1);
        QCOMPARE(text.err, QString());
        const QString where = "帐套 003，2007 年度（LQDATA_003_2007）：";
        QVERIFY2(text.out.startsWith(
                     where + "重建末级标志将写入以下 10 个末级标志：\n  NULL  现为 0，将改为 1\n  1002  现为 1 ，将改为 0\n"),
                 qPrintable(text.out));
        QVERIFY2(
            text.out.contains(
                "\n  100202  现为 1，将改为 1（值不变，只改为以整数存放）\n  X'3130c4e3'  现为 1，将改为 0\n  X'3130c4e33031'  现为 x，将改为 1\n"),
            qPrintable(text.out));
        QVERIFY2(
            text.out.endsWith(
                where
                + "科目 13 个，将改动末级标志 8 个，另有 2 个值不变，只改为以整数存放（预览，未做任何改动）。\n"
                  "共 1 个数据库：将改动末级标志共 8 个，1 个数据库有要写入的末级标志；无法读取的数据库 0 个。未做任何改动。\n"),
            qPrintable(text.out));
        const Run json = n3fix(QStringList{"--repair-end-flags", "--dry-run", "--json"} + selection);
        QCOMPARE(json.status, 1);
        const QJsonObject result = json.json().array().at(0).toObject();
        QCOMPARE(result.keys(), QStringList({"account_set", "changed", "codes", "database", "dry_run", "journal", "rows", "year"}));
        QCOMPARE(result["dry_run"], QJsonValue(true));
        QCOMPARE(result["journal"], QJsonValue());
        QCOMPARE(result["codes"].toInt(), 13);
        QCOMPARE(result["changed"].toInt(), 8);
        QStringList listed, toWrite;
        for (const QJsonValue row : result["rows"].toArray()) {
            const auto member = [&](const char *name) {
                return QString::fromUtf8(QJsonDocument(QJsonArray{row[name]}).toJson(QJsonDocument::Compact)).mid(1).chopped(1);
            };
            listed << QStringList{member("code"), member("old"), member("new"), member("form_only")}.join('|');
            const QString code = row["code"].toString();
            toWrite << "t:'" + (code.startsWith("X'") ? code.mid(2).chopped(1) : code.toUtf8().toHex()).toUpper()
                           + " integer:" + member("new") + "'";
        }
        QCOMPARE(listed, expected);
        QCOMPARE(snapshot(m_home->path()), files);  // nothing written, created or touched
        QCOMPARE(SqliteFixture::select(file, stored), chart);

        // The walk then writes exactly those rows: the table compared row by row, and its journal.
        const Run walk = n3fix(QStringList{"--repair-end-flags", "--json"} + selection);
        QCOMPARE(walk.status, 0);
        QCOMPARE(walk.json().array().at(0)["changed"].toInt(), 8);
        const QStringList before = chart.split('\n', Qt::SkipEmptyParts),
                          after = SqliteFixture::select(file, stored).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(after.size(), before.size());
        QStringList written;
        for (qsizetype i = 0; i < after.size(); ++i)
            if (after[i] != before[i])
                written << after[i];
        std::sort(written.begin(), written.end());
        std::sort(toWrite.begin(), toWrite.end());
        QCOMPARE(written, toWrite);
        const Run journal = n3fix({"--data-dir", "%DATA%", "--journal", walk.json().array().at(0)["journal"].toString(), "--json"});
        QCOMPARE(journal.json()["rows"].toArray().size(), expected.size());

        // Nothing left to write: status 0. An unreadable database: status 2, the others listed,
        // the same databases as the check selects, and still no file changed.
        const Run none = n3fix(QStringList{"--repair-end-flags", "--dry-run"} + selection);
        QCOMPARE(none.status, 0);
        QVERIFY2(none.out.startsWith(where + "科目 13 个，将改动末级标志 0 个（预览，未做任何改动）。\n"), qPrintable(none.out));
        breakDatabase();
        const QMap<QString, QString> broken = snapshot(m_home->path());
        const Run all = n3fix({"--repair-end-flags", "--dry-run", "--json", "--data-dir", "%DATA%"});
        QCOMPARE(all.status, 2);
        QVERIFY2(all.err.startsWith("帐套 002，2006 年度（LQDATA_002_2006）：无法读取，未做任何改动："), qPrintable(all.err));
        QStringList previewed, checked;
        for (const QJsonValue one : all.json().array())
            previewed << one["database"].toString() + (one["error"].isString() ? " error" : "");
        for (const QJsonValue one : n3fix({"--check", "--json", "--data-dir", "%DATA%"}).json().array())
            checked << one["database"].toString() + (one["error"].isString() ? " error" : "");
        QCOMPARE(previewed, checked);
        QCOMPARE(snapshot(m_home->path()), broken);
    }

    // --demo works with every command, on the demo folder made on first use: the repairs made there
    // are listed and undone there, and the default data directory's journal stays apart. The demo
    // folder inside it doesn't hide how to get data when the default data directory has none.
    void demoWithEveryCommand()
    {
        const Run check = n3fix({"--demo", "--check", "--account-set", "667"});
        QCOMPARE(check.status, 1);
        QVERIFY(QFile::exists(defaultDataDirectory() + "/demo/LQsystem.db"));
        QVERIFY(!QFile::exists(defaultDataDirectory() + "/LQsystem.db"));
        const Run repair = n3fix({"--demo", "--repair-end-flags", "--account-set", "667", "--json"});
        QCOMPARE(repair.status, 0);
        const QString id = repair.json().array().at(0)["journal"].toString();
        QVERIFY(!id.isEmpty());
        QCOMPARE(n3fix({"--demo", "--check", "--account-set", "667"}).status, 0);

        const Run listed = n3fix({"--demo", "--journal"});
        QCOMPARE(listed.status, 0);
        QVERIFY2(listed.out.startsWith(id + "  "), qPrintable(listed.out));
        QVERIFY(n3fix({"--demo", "--journal", id}).out.startsWith(id));
        QVERIFY(n3fix({"--journal"}).out.contains("没有修复记录"));
        const Run withoutData = n3fix({"--check"});
        QCOMPARE(withoutData.status, 2);
        QVERIFY2(withoutData.err.startsWith("数据库文件不存在：" + defaultDataDirectory()
                                            + "/LQsystem.db。默认数据目录中还没有数据。可加 --demo 改用演示数据，运行 n3demo"),
                 qPrintable(withoutData.err));
        const Run undo = n3fix({"--demo", "--undo", id});
        QCOMPARE(undo.status, 0);
        QVERIFY2(undo.out.startsWith("已撤销修复 " + id), qPrintable(undo.out));
        QCOMPARE(n3fix({"--demo", "--check", "--account-set", "667"}).status, 1);
    }

    // The default data directory keeps the journals of the embedded engine there and of ODBC side by
    // side: --journal lists those of the engine in use, as the journal window does, and counts the
    // others with the option that lists them. ODBC is the real driver manager with the SQLite
    // driver registered as "SQL Server", its databases in the working directory.
    void journalOfTheEngineInUse()
    {
        const QString odbcConfig = m_home->filePath("odbc");
        QVERIFY(QDir().mkpath(odbcConfig));
        QFile ini(odbcConfig + "/odbcinst.ini");
        QVERIFY(ini.open(QIODevice::WriteOnly)
                && ini.write("[SQL Server]\nDriver=/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so\n") > 0);
        ini.close();
        const QMap<QString, QString> odbc{{"ODBCSYSINI", odbcConfig}};
        createDemoDataDirectory(m_home->filePath("server"));
        for (const QString &name : QDir(m_home->filePath("server")).entryList({"*.db"}))
            QVERIFY(QDir(m_home->filePath("server")).rename(name, name.chopped(3)));
        createDemoDataDirectory(defaultDataDirectory());

        const Run viaOdbc =
            start(N3FIX, {"--odbc", "--repair-end-flags", "--account-set", "667", "--json"}, odbc, m_home->filePath("server"));
        QCOMPARE(viaOdbc.status, 0);
        const QString odbcId = viaOdbc.json().array().at(0)["journal"].toString();
        const Run embedded = n3fix({"--repair-end-flags", "--account-set", "003", "--json"});
        QCOMPARE(embedded.status, 0);
        const QString embeddedId = embedded.json().array().at(0)["journal"].toString();
        QVERIFY(!odbcId.isEmpty() && !embeddedId.isEmpty());

        const Run listed = n3fix({"--journal"});
        QCOMPARE(listed.status, 0);
        QStringList lines = listed.out.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2);
        QVERIFY2(lines[0].startsWith(embeddedId + "  "), qPrintable(lines[0]));
        QCOMPARE(lines[1], QStringLiteral("另有 1 次通过 ODBC 在本机的 SQL Server 上做的修复，加 --odbc 查看。"));
        const Run json = n3fix({"--journal", "--json"});
        QCOMPARE(json.json().array().size(), 1);
        QCOMPARE(json.json().array().at(0)["id"].toString(), embeddedId);

        const Run server = start(N3FIX, {"--journal", "--odbc"}, odbc, m_home->filePath("server"));
        QCOMPARE(server.status, 0);
        lines = server.out.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2);
        QVERIFY2(lines[0].startsWith(odbcId + "  "), qPrintable(lines[0]));
        QCOMPARE(lines[1], "另有 1 次在内置数据库上做的修复，加 --data-dir " + defaultDataDirectory() + " 查看。");

        // Looked for on other data, each repair is named with the option that reaches it: SQL Server's
        // by --odbc, the default data directory's by that folder.
        const Run undoHere = n3fix({"--data-dir", "%DATA%", "--undo", odbcId});
        QCOMPARE(undoHere.status, 2);
        QVERIFY2(undoHere.err.endsWith("。这次修复记在 SQL Server（ODBC）的修复日志中，请加 --odbc 再运行：n3fix --odbc --undo "
                                       + odbcId + "\n"),
                 qPrintable(undoHere.err));
        const Run onDemo = n3fix({"--demo", "--journal", embeddedId, "--json"});
        QCOMPARE(onDemo.status, 2);
        QVERIFY2(onDemo.json()["error"].toString().endsWith(
                     "。这次修复记在文件夹 " + defaultDataDirectory() + " 的修复日志中，请加 --data-dir " + defaultDataDirectory()
                     + " 再运行：n3fix --data-dir " + defaultDataDirectory() + " --journal " + embeddedId),
                 qPrintable(onDemo.out));
    }

    // On a fresh account (no place ever chosen, no settings, nothing in the default data directory)
    // the commands say there is no data yet and the ways to get some, in text and in JSON, with the
    // status of a database that can't be read (2) for the checks and of an empty journal (0) for
    // the listing; nothing is made on the way.
    void firstStartLeadsOn()
    {
        const QString ways = "默认数据目录中还没有数据。可加 --demo 改用演示数据，运行 n3demo 在默认数据目录中生成演示数据，"
                             "加 --data-dir 目录 使用存放数据库的目录，或加 --odbc 连接 SQL Server。";
        const QString noFolder = "数据目录不存在：" + defaultDataDirectory() + "。" + ways;
        for (const char *command : {"--check", "--check-balances"}) {
            const Run text = n3fix({command});
            QCOMPARE(text.status, 2);
            QCOMPARE(text.err, noFolder + "\n");
            QCOMPARE(text.out, QString());
            const Run json = n3fix({command, "--json"});
            QCOMPARE(json.status, 2);
            QCOMPARE(json.json().object(), QJsonObject({{"error", noFolder}}));
            QCOMPARE(json.err, noFolder + "\n");
        }
        const QString noData = "默认数据目录 " + defaultDataDirectory() + " 中" + ways.mid(QString("默认数据目录中").size());
        const Run listed = n3fix({"--journal"});
        QCOMPARE(listed.status, 0);
        QCOMPARE(listed.out, "修复日志目录 " + defaultDataDirectory() + "/journal 中没有修复记录。\n");
        QCOMPARE(listed.err, noData + "\n");
        const Run json = n3fix({"--journal", "--json"});
        QCOMPARE(json.status, 0);
        QVERIFY(json.json().isArray() && json.json().array().isEmpty());
        QCOMPARE(json.err, noData + "\n");
        QVERIFY(!QFileInfo::exists(defaultDataDirectory()));
        QVERIFY(!QFileInfo::exists(m_home->filePath(".config")));
    }

    // --from-period takes a month, 1 to 12, read as the reset reads a period: anything else is
    // refused with the months there are, before anything is opened (not even the demo data is
    // made); a month written with blanks, a sign or a leading zero is that month.
    void fromPeriodIsAMonth_data()
    {
        QTest::addColumn<QString>("period");
        for (const char *period : {"0", "13", "3a", "1.5", "五", "1 2", "99999999999999999999", "+0"})
            QTest::newRow(period) << QString(period);
    }
    void fromPeriodIsAMonth()
    {
        QFETCH(QString, period);
        const QMap<QString, QByteArray> before = SqliteFixture::dumpDirectory(data());
        const QString said = "--from-period 给出的“" + period + "”不是月份：请给出 1 到 12 的整数。\n";
        for (const QString &place : {"--data-dir=" + data(), QString("--demo")}) {
            for (const QStringList &mode : {QStringList{}, QStringList{"--dry-run"}, QStringList{"--json"}}) {
                const Run run = n3fix(QStringList{place, "--reset-balance", "--account-set", "001", "--year", "2007", "--code",
                                                  "1002", "--from-period", period}
                                      + mode);
                QCOMPARE(run.status, 2);
                QVERIFY2(run.err.startsWith(said), qPrintable(run.err));
                if (mode.contains("--json"))
                    QCOMPARE(run.json()["error"].toString() + "\n", said);
                else
                    QCOMPARE(run.out, QString());
            }
        }
        QCOMPARE(SqliteFixture::dumpDirectory(data()), before);
        QVERIFY(!QFileInfo::exists(data() + "/journal"));
        QVERIFY(!QFileInfo::exists(defaultDataDirectory()));
    }
    void monthWrittenOtherwise()
    {
        // The rows of 1002 from period 5 on, counted here from the file.
        const QString counted =
            SqliteFixture::select(yearDatabase(data()), "select count(*) from GL_accsum where ccode='1002' and iperiod>=5");
        for (const char *period : {"5", " 5", "+5", "05"}) {
            const Run run = n3fix({"--data-dir", "%DATA%", "--reset-balance", "--account-set", "001", "--year", "2007", "--code",
                                   "1002", "--from-period", period, "--dry-run", "--json"});
            QCOMPARE(run.status, 0);
            QCOMPARE(run.json()["from_period"].toInt(), 5);
            QCOMPARE("i:" + QString::number(run.json()["rows"].toArray().size()) + "\n", counted);
        }
        const Run text = n3fix({"--data-dir", "%DATA%", "--reset-balance", "--account-set", "001", "--year", "2007", "--code",
                                "1002", "--from-period", " 5", "--dry-run"});
        QVERIFY2(text.out.contains("科目 1002 从第 5 期起的"), qPrintable(text.out));
    }

    // A repair looked for in this data's journal but made on the demo data: undo and the journal
    // say where it is and the option that reaches it, change nothing, and with that option it is
    // found. An id no journal holds is only not found.
    void repairOnOtherDataNamed()
    {
        const Run repair = n3fix({"--demo", "--repair-end-flags", "--account-set", "667", "--json"});
        QCOMPARE(repair.status, 0);
        const QString id = repair.json().array().at(0)["journal"].toString();
        QVERIFY(!id.isEmpty());
        const QString demo = defaultDataDirectory() + "/demo";
        const QString where = "这次修复记在演示数据（" + demo + "）的修复日志中，请加 --demo 再运行：n3fix --demo ";
        const QMap<QString, QByteArray> demoBefore = SqliteFixture::dumpDirectory(demo);

        const Run undo = n3fix({"--undo", id});
        QCOMPARE(undo.status, 2);
        QCOMPARE(undo.err, "撤销 " + id + " 失败，未做任何改动：找不到编号为“" + id + "”的修复日志（日志目录："
                               + defaultDataDirectory() + "/journal）。" + where + "--undo " + id + "\n");
        const Run json = n3fix({"--undo", id, "--json", "--data-dir", "%DATA%"});
        QCOMPARE(json.status, 2);
        QVERIFY2(json.json()["error"].toString().endsWith("。" + where + "--undo " + id), qPrintable(json.out));
        const Run shown = n3fix({"--journal", id, "--data-dir", "%DATA%"});
        QCOMPARE(shown.status, 2);
        QVERIFY2(shown.err.endsWith("。" + where + "--journal " + id + "\n"), qPrintable(shown.err));
        QCOMPARE(SqliteFixture::dumpDirectory(demo), demoBefore);

        const Run nowhere = n3fix({"--undo", "20200101-000000-000"});
        QCOMPARE(nowhere.status, 2);
        QVERIFY2(nowhere.err.endsWith("修复日志（日志目录：" + defaultDataDirectory() + "/journal）\n"), qPrintable(nowhere.err));
        QCOMPARE(n3fix({"--demo", "--undo", id}).status, 0);
    }

    // Every JSON document, of every command, its errors and the journal's streamed rows too, has
    // the members of each object in the order of their names, as the manual says.
    void jsonMembersInNameOrder()
    {
        const QStringList reset{"--reset-balance", "--account-set", "001",           "--year", "2007",
                                "--code",          "1002",          "--from-period", "9"};
        QList<QStringList> commands{
            {"--check", "--verbose"},          {"--check-balances", "--verbose"}, {"--recompute-balances", "--dry-run"},
            QStringList{reset} << "--dry-run", {"--check", "--account-set", "9"}, {"--chek"},
            {"--undo", "20200101-000000-000"}};
        QStringList ids;
        for (const QStringList &repair :
             {QStringList{"--repair-end-flags", "--account-set", "667"}, QStringList{"--recompute-balances"}, reset}) {
            const QJsonDocument made = n3fix(QStringList{"--data-dir", "%DATA%", "--json"} + repair).json();
            const QJsonValue id = made.isArray() ? made.array().at(0)["journal"] : made["journal"];
            QVERIFY2(!id.toString().isEmpty(), qPrintable(repair.join(' ')));
            ids << id.toString();
        }
        commands << QStringList{"--journal"};
        for (const QString &id : std::as_const(ids))
            commands << QStringList{"--journal", id} << QStringList{"--undo", id};
        commands << QStringList{"--undo", ids.first()};  // refused: undone already
        for (const QStringList &command : std::as_const(commands)) {
            const Run run = n3fix(QStringList{"--data-dir", "%DATA%", "--json"} + command);
            QByteArrayList names;
            QString problem;
            QVERIFY2(!run.json().isNull() && membersInOrder(run.out.toUtf8(), names, problem),
                     qPrintable(command.join(' ') + ": " + problem + "\n" + run.out));
            QVERIFY2(!names.isEmpty(), qPrintable(command.join(' ')));
        }
    }

    // Each repair and each undo records who ran it and on which computer: the listing, one repair's
    // text and the JSON of both say so, as the system names the user and the computer.
    void journalSaysWhoAndWhere()
    {
        const Run repair = n3fix({"--data-dir", "%DATA%", "--repair-end-flags", "--account-set", "667", "--json"});
        QCOMPARE(repair.status, 0);
        const QString id = repair.json().array().at(0)["journal"].toString();
        QCOMPARE(n3fix({"--data-dir", "%DATA%", "--undo", id}).status, 0);
        const QString who = "  操作人 " + TestUser::loginName() + "（计算机 " + TestUser::hostName() + "）  ";

        const QStringList lines = n3fix({"--data-dir", "%DATA%", "--journal"}).out.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2);
        for (const QString &line : lines)
            QVERIFY2(line.contains(who), qPrintable(line));
        const Run one = n3fix({"--data-dir", "%DATA%", "--journal", id});
        QVERIFY2(one.out.section('\n', 0, 0).contains(who), qPrintable(one.out));
        const QJsonArray listed = n3fix({"--data-dir", "%DATA%", "--journal", "--json"}).json().array();
        QCOMPARE(listed.size(), 2);
        const QJsonObject oneJson = n3fix({"--data-dir", "%DATA%", "--journal", id, "--json"}).json().object();
        for (const QJsonValue &record : {listed[0], listed[1], QJsonValue(oneJson)}) {
            QCOMPARE(record["user"].toString(), TestUser::loginName());
            QCOMPARE(record["host"].toString(), TestUser::hostName());
        }
    }

    // A window started without a display (over ssh, on a console) says so in Chinese and names the
    // commands that need none, with status 2, instead of Qt's abort; nothing is made on the way.
    void windowWithoutDisplay_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("display");   // DISPLAY, none when null
        QTest::addColumn<QString>("platform");  // QT_QPA_PLATFORM, none when null
        QTest::addColumn<QString>("said");
        const QString none =
            "没有找到图形显示（没有设置环境变量 DISPLAY 或 WAYLAND_DISPLAY，例如通过 ssh 登录而没有转发图形界面），无法打开窗口。";
        QTest::newRow("demo, nothing set") << QStringList{"--demo"} << QString() << QString() << none;
        QTest::newRow("journal window, xcb asked for") << QStringList{"--journal-window"} << QString() << "xcb" << none;
        QTest::newRow("guide, nothing set") << QStringList{"--guide"} << QString() << QString() << none;
        QTest::newRow("window, display not there") << QStringList{} << ":987"
                                                   << "xcb"
                                                   << "没有找到图形显示：连接不上 DISPLAY=:987，无法打开窗口。";
    }
    void windowWithoutDisplay()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, display);
        QFETCH(QString, platform);
        QFETCH(QString, said);
        const Run run = n3fix(arguments, {{"DISPLAY", display}, {"WAYLAND_DISPLAY", QString()}, {"QT_QPA_PLATFORM", platform}});
        QCOMPARE(run.status, 2);
        QCOMPARE(run.err, said
                              + "\n不需要窗口的命令照常可用，例如 n3fix --check、n3fix --check-balances、n3fix --journal、"
                                "n3fix --undo 日志编号；用 n3fix --help 查看全部命令。\n");
        QCOMPARE(run.out, QString());
        QVERIFY(!QFileInfo::exists(defaultDataDirectory()));
        QVERIFY(!QFileInfo::exists(m_home->filePath(".config")));
    }

    // n3demo writes 帐套, fills the default data directory while it holds no database even when the
    // demo folder is in it, and makes charts of the size asked for.
    void n3demoWordsAndSizes()
    {
        QCOMPARE(n3fix({"--demo", "--journal"}).status, 0);
        const Run filled = n3demo({});
        QCOMPARE(filled.status, 0);
        QVERIFY2(filled.out.contains("帐套 001") && !filled.out.contains("账"), qPrintable(filled.out));
        QVERIFY(QFile::exists(defaultDataDirectory() + "/LQsystem.db"));
        const Run again = n3demo({});
        QCOMPARE(again.status, 0);
        QVERIFY(again.out.contains("已有数据库"));

        const Run sized = n3demo({"--codes", "2500", m_home->filePath("big")});
        QCOMPARE(sized.status, 0);
        for (const QString &file : QDir(m_home->filePath("big")).entryList({"LQDATA_*.db"}))
            QCOMPARE(SqliteFixture::select(m_home->filePath("big/" + file), "select count(*), count(distinct ccode) from code"),
                     QStringLiteral("i:2500|i:2500\n"));
        QCOMPARE(QDir(m_home->filePath("big")).entryList({"LQDATA_*.db"}).size(), 6);
    }
    void n3demoRefusesBadSizes_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("zero") << QStringList{"--codes", "0"};
        QTest::newRow("too many") << QStringList{"--codes", QString::number(MaxDemoChartCodes + 1)};
        QTest::newRow("not a number") << QStringList{"--codes", "2k"};
        QTest::newRow("no value") << QStringList{"--codes"};
        QTest::newRow("twice") << QStringList{"--codes", "10", "--codes", "20"};
    }
    void n3demoRefusesBadSizes()
    {
        QFETCH(QStringList, arguments);
        const Run run = n3demo(arguments << m_home->filePath("sized"));
        QCOMPARE(run.status, 2);
        QVERIFY2(run.err.contains("--codes"), qPrintable(run.err));
        QVERIFY(!QFileInfo::exists(m_home->filePath("sized")));
    }
};

QTEST_MAIN(tst_CommandLine)
#include "tst_command_line.moc"
