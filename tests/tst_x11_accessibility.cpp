// The check-and-repair window and the journal window as a screen reader hears them: n3fix as a
// real process on a real X server, read over the accessibility bus from this one, with keys
// pressed for real. The tables' cells and the buttons with the keys they announce; the menus by
// name, an item chosen through the bus, Ctrl+W and the last window's end; F1 and --guide bring the
// guide with the guide's own text; the About box's texts; the demo data named as such; a check
// window that changes by itself when other programs repair and undo.
#include "support/AtSpi.h"
#include "support/LedgerFixture.h"
#include "support/ProcessRun.h"
#include "support/SqliteFixture.h"
#include "support/X11Windows.h"

#include "demo/DemoData.h"

#include <QtTest>

namespace {

// The menus of a window's menu bar as heard: each menu's name, then its items'.
QStringList menus(const AtSpi::Node &window)
{
    QStringList heardItems;
    const QList<AtSpi::Node> bars = AtSpi::all(window, QStringLiteral("menu bar"));
    if (bars.isEmpty())
        return {"no menu bar"};
    for (const AtSpi::Node &title : AtSpi::children(bars.first())) {
        heardItems << AtSpi::name(title);
        for (const AtSpi::Node &item : AtSpi::all(title, QStringLiteral("menu item")))
            heardItems << "  " + AtSpi::name(item);
    }
    return heardItems;
}

// The headings of the guide's Markdown source, in order.
QStringList guideHeadings()
{
    QFile file(QStringLiteral(N3FIX_SOURCE_DIR "/docs/guide.zh_CN.md"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    static const QRegularExpression heading(QStringLiteral("^#{1,6} +(.+)$"), QRegularExpression::MultilineOption);
    QStringList headings;
    for (QRegularExpressionMatchIterator it = heading.globalMatch(QString::fromUtf8(file.readAll())); it.hasNext();)
        headings << it.next().captured(1).remove('`').remove(QStringLiteral("**")).trimmed();
    return headings;
}

// The headings of `text` that appear in it in the order given; the first missing one ends it.
QStringList inOrder(const QString &text, const QStringList &headings)
{
    QStringList found;
    qsizetype at = 0;
    for (const QString &heading : headings) {
        if ((at = text.indexOf(heading, at)) < 0)
            break;
        found << heading;
        at += heading.size();
    }
    return found;
}

}  // namespace

class AccessibilityTest : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> m_home;
    std::vector<std::unique_ptr<RunningProgram>> m_programs;
    QString m_version;

    QString home(const QString &name) const { return m_home->filePath(name); }
    QString books() const { return home("books"); }

    // n3fix started on the test's home with `arguments`, as its accessible root; killed at the
    // end of the test if still running.
    AtSpi::Node start(const QStringList &arguments)
    {
        m_programs.push_back(std::make_unique<RunningProgram>(N3FIX, arguments, environmentWithHome(m_home->path())));
        return m_programs.back()->waitForStarted() ? AtSpi::application(m_programs.back()->processId()) : AtSpi::Node();
    }

    // The window's row of the databases list for a year's database, once it has been checked.
    QStringList checked(const AtSpi::Node &window, const QString &database)
    {
        const AtSpi::Node table = AtSpi::find(window, QStringLiteral("table"), QStringLiteral("帐套和年度"));
        QStringList row;
        (void)QTest::qWaitFor(
            [&] {
                for (const QStringList &cells : AtSpi::cells(table))
                    if (cells.value(1).endsWith("（" + database + "）") && cells.value(6) != QStringLiteral("正在检查…"))
                        return !(row = cells).isEmpty();
                return false;
            },
            60000);
        return row;
    }

    // The About box chosen from the window's 帮助 menu, its texts as heard, closed with its button.
    QString about(const AtSpi::Node &program, const AtSpi::Node &window)
    {
        AtSpi::press(AtSpi::find(window, QStringLiteral("menu item"), QStringLiteral("关于")));
        const AtSpi::Node box = AtSpi::window(program, QStringLiteral("关于 n3fix"));
        if (box.isNull())
            return "no About box: " + AtSpi::windows(program).join('|');
        QStringList texts;
        for (const AtSpi::Node &label : AtSpi::all(box, QStringLiteral("label")))
            if (const QString text = AtSpi::name(label); !text.isEmpty())  // the icon's label has none
                texts << text;
        AtSpi::press(AtSpi::find(box, QStringLiteral("push button"), QStringLiteral("确定")));
        const bool closed = QTest::qWaitFor([&] { return !AtSpi::windows(program).contains(QStringLiteral("关于 n3fix")); }, 30000);
        return texts.join('\n') + (closed ? "" : "|still open");
    }

    QString aboutText(const QString &place, const QString &journal) const
    {
        return "澄岚N3科目错误修正工具（n3fix）\n版本：" + m_version + "\n许可证：MIT\nQt 版本："
               + QLibraryInfo::version().toString() + "\n\n数据位置：" + place + "\n修复日志目录：" + journal;
    }

private slots:
    void initTestCase()
    {
        QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
        const QString failure = AtSpi::enable();
        if (!failure.isEmpty())
            SKIP_UNLESS_CI("no accessibility bus (scripts/install-deps --test)");
        if (QStandardPaths::findExecutable("xdotool").isEmpty())
            SKIP_UNLESS_CI("xdotool is missing (scripts/install-deps --test)");
        const ProcessRun version = runProcess(N3FIX, {"--version"});
        QVERIFY(version.status == 0 && version.out.startsWith("n3fix "));
        m_version = QString::fromUtf8(version.out.mid(6).trimmed());
        QVERIFY(!guideHeadings().isEmpty());
    }
    // A fresh home with books in a folder: account set 007 with the planted faults in 2031, 008
    // with a sound year 2030.
    void init()
    {
        m_home = std::make_unique<QTemporaryDir>();
        QVERIFY(QDir().mkpath(books()));
        writeSystemDatabase(home("books/LQsystem.db"), {{"007", "异形", {2031}, {}}, {"008", "另一家", {2030}, {}}});
        SqliteFixture::run(home("books/LQDATA_007_2031.db"), QString(LedgerFixture::TypicalTables) + LedgerFixture::PlantedBooks);
        SqliteFixture::run(home("books/LQDATA_008_2030.db"), LedgerFixture::TypicalTables);
    }
    void cleanup()
    {
        m_programs.clear();
        m_home.reset();
    }

    // The check window on a folder: its title, each year's findings cell by cell, its buttons with
    // their keys.
    void checkWindowAsHeard()
    {
        const AtSpi::Node program = start({"--check-window", "--data-dir", books()});
        QVERIFY(!program.isNull());
        const AtSpi::Node window = AtSpi::window(program, "检查和修复 — " + books());
        QVERIFY2(!window.isNull(), qPrintable(AtSpi::windows(program).join('|')));
        // the planted books: 1001 and 10010101 flagged wrongly; 100101 off in period 2 and 1001
        // lacking its row in period 3; code 9999 has a row and no account
        QCOMPARE(checked(window, "LQDATA_007_2031").mid(0, 4),
                 QStringList({"007(异形)", "2031（LQDATA_007_2031）", "2", "2 个科目，2 个期间"}));
        QCOMPARE(checked(window, "LQDATA_008_2030"),
                 QStringList({"008(另一家)", "2030（LQDATA_008_2030）", "0", "0", "0", "0", "没有发现问题"}));
        // its access keys its own beside the menus': Alt+B, not Alt+F, for the wrong flags
        QVERIFY(!AtSpi::find(window, QStringLiteral("label"), QStringLiteral("末级标志错误(B)：2 个"), 0).isNull());
        QStringList buttons;
        for (const AtSpi::Node &button : AtSpi::all(window, QStringLiteral("push button")))
            buttons << AtSpi::name(button) + ' ' + AtSpi::keyBinding(button);
        QCOMPARE(buttons,
                 QStringList({"按下级科目重算(R) Alt+R", "重建末级标志(E) Alt+E", "修复日志(J) Alt+J", "重新检查(C) Alt+C"}));
    }

    // Both windows carry the same menus; an item chosen through the bus opens its window; Ctrl+W
    // closes the window it is pressed in and the program goes on, and closing its last window ends
    // it.
    void menusAndClosing()
    {
        const AtSpi::Node program = start({"--check-window", "--data-dir", books()});
        QProcess *process = m_programs.back().get();
        const AtSpi::Node check = AtSpi::window(program, "检查和修复 — " + books());
        QVERIFY2(!check.isNull(), qPrintable(AtSpi::windows(program).join('|')));
        const QStringList expected{"文件(F)",      "  保存报告…", "  打印…",         "  关闭",  "窗口(W)",    "  主窗口",
                                   "  检查和修复", "  修复日志",  "  选择数据位置…", "帮助(H)", "  使用说明", "  关于"};
        QCOMPARE(menus(check), expected);
        // a report of the year selected (the default answer to which years it holds) is saved
        // through the save box, which Esc closes with nothing saved
        AtSpi::press(AtSpi::find(check, QStringLiteral("menu item"), QStringLiteral("保存报告…")));
        const QString question = X11Windows::waitFor("N3新会计制度科目增加工具");
        QVERIFY(!question.isEmpty() && X11Windows::pressIn(question, "Return"));
        const QString saveBox = X11Windows::waitFor("保存报告");
        QVERIFY(!saveBox.isEmpty() && X11Windows::pressIn(saveBox, "Escape"));
        QVERIFY2(QTest::qWaitFor([&] { return AtSpi::windows(program) == QStringList{"检查和修复 — " + books()}; }, 30000),
                 qPrintable(AtSpi::windows(program).join('|')));

        AtSpi::press(AtSpi::find(check, QStringLiteral("menu item"), QStringLiteral("修复日志")));
        const AtSpi::Node journal = AtSpi::window(program, "修复日志 — " + books());
        QVERIFY2(!journal.isNull(), qPrintable(AtSpi::windows(program).join('|')));
        QCOMPARE(menus(journal), expected);

        QVERIFY(X11Windows::pressIn(X11Windows::waitFor("检查和修复 — " + books()), "ctrl+w"));
        QVERIFY(QTest::qWaitFor([&] { return AtSpi::windows(program) == QStringList{"修复日志 — " + books()}; }, 30000));
        QCOMPARE(process->state(), QProcess::Running);
        QVERIFY(X11Windows::pressIn(X11Windows::waitFor("修复日志 — " + books()), "ctrl+w"));
        QVERIFY(process->waitForFinished(30000));
        QCOMPARE(process->exitStatus(), QProcess::NormalExit);
        QCOMPARE(process->exitCode(), 0);
    }

    // F1 in either window brings the one guide window, which reads out the guide with every
    // heading of its source in order; n3fix --guide opens the same on its own.
    void guideFromF1()
    {
        const QStringList headings = guideHeadings();
        const AtSpi::Node program = start({"--journal-window", "--data-dir", books()});
        QVERIFY(!AtSpi::window(program, "修复日志 — " + books()).isNull());
        QVERIFY(X11Windows::pressIn(X11Windows::waitFor("修复日志 — " + books()), "ctrl+2"));
        QVERIFY(!AtSpi::window(program, "检查和修复 — " + books()).isNull());
        for (const QString &window : {"修复日志 — " + books(), "检查和修复 — " + books()}) {
            QVERIFY(X11Windows::pressIn(X11Windows::waitFor(window), "F1"));
            const AtSpi::Node guide = AtSpi::window(program, QStringLiteral("使用说明"));
            QVERIFY2(!guide.isNull(), qPrintable(AtSpi::windows(program).join('|')));
            QCOMPARE(AtSpi::windows(program).count(QStringLiteral("使用说明")), 1);
            const AtSpi::Node text = AtSpi::find(guide, QStringLiteral("label"), QStringLiteral("使用说明"));
            QCOMPARE(inOrder(AtSpi::text(text), headings), headings);
        }

        const AtSpi::Node alone = start({"--guide"});
        const AtSpi::Node guide = AtSpi::window(alone, QStringLiteral("使用说明"));
        QVERIFY2(!guide.isNull(), qPrintable(AtSpi::windows(alone).join('|')));
        QCOMPARE(AtSpi::windows(alone), QStringList{"使用说明"});
        QCOMPARE(inOrder(AtSpi::text(AtSpi::find(guide, QStringLiteral("label"), QStringLiteral("使用说明"))), headings), headings);
    }

    // The About box names the program, its version and licence, the Qt it runs on, and where the
    // data and the journal are; on the demo data the windows' titles say so, and on SQL Server the
    // box does.
    void aboutAndTheDemoMarker()
    {
        AtSpi::Node program = start({"--check-window", "--data-dir", books()});
        AtSpi::Node window = AtSpi::window(program, "检查和修复 — " + books());
        QVERIFY(!window.isNull());
        QCOMPARE(about(program, window), aboutText("文件夹 " + books(), books() + "/journal"));

        const QString demo = home(".local/share/n3fix/demo");
        program = start({"--check-window", "--demo"});
        window = AtSpi::window(program, QStringLiteral("检查和修复 — 演示数据"));
        QVERIFY2(!window.isNull(), qPrintable(AtSpi::windows(program).join('|')));
        AtSpi::press(AtSpi::find(window, QStringLiteral("menu item"), QStringLiteral("修复日志")));
        QVERIFY(!AtSpi::window(program, QStringLiteral("修复日志 — 演示数据")).isNull());
        QCOMPARE(about(program, window), aboutText("演示数据（" + demo + "）", demo + "/journal"));
        // the same folder named otherwise is still the demo data
        QVERIFY(QFile::link(demo, home("练习")));
        program = start({"--journal-window", "--data-dir", home("练习")});
        QVERIFY2(!AtSpi::window(program, QStringLiteral("修复日志 — 演示数据")).isNull(),
                 qPrintable(AtSpi::windows(program).join('|')));

        program = start({"--journal-window", "--odbc"});
        window = AtSpi::window(program, QStringLiteral("修复日志 — ODBC（SQL Server）"));
        QVERIFY2(!window.isNull(), qPrintable(AtSpi::windows(program).join('|')));
        QCOMPARE(about(program, window), aboutText(QStringLiteral("SQL Server（ODBC）"), home(".local/share/n3fix/journal")));
    }

    // The check window and the journal window follow what other programs do to the books: a
    // recompute, an end-flag repair and its undo, each run as its own process, show without a key
    // pressed.
    void followsOtherPrograms()
    {
        const AtSpi::Node program = start({"--check-window", "--data-dir", books()});
        const AtSpi::Node check = AtSpi::window(program, "检查和修复 — " + books());
        QVERIFY(!check.isNull());
        QCOMPARE(checked(check, "LQDATA_007_2031").mid(2, 2), QStringList({"2", "2 个科目，2 个期间"}));
        AtSpi::press(AtSpi::find(check, QStringLiteral("menu item"), QStringLiteral("修复日志")));
        const AtSpi::Node journal = AtSpi::window(program, "修复日志 — " + books());
        QVERIFY(!journal.isNull());
        const AtSpi::Node repairs = AtSpi::find(journal, QStringLiteral("table"), QStringLiteral("修复记录"));
        const auto findings = [&] { return checked(check, "LQDATA_007_2031").mid(2, 2); };
        const auto n3fix = [&](const QStringList &arguments) {
            return runOnData(N3FIX, books(), arguments, environmentWithHome(m_home->path()));
        };

        // the recompute mends period 2 from 10010101 up; 1001 still lacks its row in period 3, which
        // it lists (exit status 1)
        const ProcessRun recompute = n3fix({"--recompute-balances", "--account-set", "007", "--year", "2031"});
        QVERIFY2(recompute.status == 1, recompute.out + recompute.err);
        QVERIFY(QTest::qWaitFor([&] { return findings() == QStringList({"2", "1 个科目，1 个期间"}); }, 30000));
        const ProcessRun walk = n3fix({"--repair-end-flags", "--account-set", "007", "--year", "2031", "--json"});
        QCOMPARE(walk.status, 0);
        QVERIFY(QTest::qWaitFor([&] { return findings() == QStringList({"0", "1 个科目，1 个期间"}); }, 30000));
        const QString id = walk.json()[0]["journal"].toString();
        QVERIFY2(!id.isEmpty(), walk.out.constData());
        QCOMPARE(n3fix({"--undo", id}).status, 0);
        QVERIFY(QTest::qWaitFor([&] { return findings() == QStringList({"2", "1 个科目，1 个期间"}); }, 30000));
        QVERIFY(QTest::qWaitFor([&] { return AtSpi::cells(repairs).size() == 3; }, 30000));
    }
};

QTEST_MAIN(AccessibilityTest)
#include "tst_x11_accessibility.moc"
