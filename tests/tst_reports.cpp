// Reports as a bookkeeper hands them on, read back as a spreadsheet and a PDF reader read them:
// saved by the command line beside its usual output, which stays as it was, and from the menus of
// the check window and the journal window, through the real save and print boxes.
#include "support/DataFiles.h"
#include "support/DataDirectoryTest.h"
#include "support/JournalDriver.h"
#include "support/LedgerFixture.h"
#include "support/ProcessRun.h"
#include "support/ReportFiles.h"
#include "support/SqliteFixture.h"
#include "support/TestUser.h"

#include "app/CheckWindow.h"
#include "app/JournalWindow.h"
#include "app/MessageBox.h"
#include "demo/DemoData.h"
#include "repair/report/Report.h"

#include <QtPrintSupport>
#include <QtTest>
#include <QtWidgets>

#include <sys/mount.h>
#include <unistd.h>

namespace {

using ReportFiles::pdfText;
using ReportFiles::readCsv;

// The CSV's records after its header, each joined by "|".
QStringList csvRows(const QList<QStringList> &records)
{
    QStringList rows;
    for (const QStringList &record : records.mid(1))
        rows << record.join('|');
    return rows;
}

// The item of a window's 文件 menu named `text`.
QAction *fileItem(QWidget *window, const QString &text)
{
    for (QAction *action : window->findChild<QMenuBar *>()->actions().first()->menu()->actions())
        if (action->text() == text)
            return action;
    return nullptr;
}

// Answers the next modal dialog of type `Dialog` with `answer` once it is up.
template <typename Dialog> void whenShown(const std::function<void(Dialog *)> &answer)
{
    QTimer::singleShot(50, qApp, [answer] {
        if (auto *dialog = qobject_cast<Dialog *>(QApplication::activeModalWidget()))
            answer(dialog);
        else
            whenShown(answer);
    });
}

// Saves through the save box as a user does: a name typed without an extension, a file type chosen.
void answerSaveBox(const QString &path, const QString &type)
{
    whenShown<QFileDialog>([path, type](QFileDialog *box) {
        for (const QString &filter : box->nameFilters())
            if (filter.startsWith(type))
                box->selectNameFilter(filter);
        box->setDirectory(QFileInfo(path).absolutePath());
        box->findChild<QLineEdit *>("fileNameEdit")->setText(QFileInfo(path).fileName());
        static_cast<QDialog *>(box)->accept();
    });
}

}  // namespace

class ReportsTest : public DataDirectoryTest {
    Q_OBJECT

    ProcessRun n3fix(const QStringList &arguments) { return runOnData(N3FIX, m_dir->path(), arguments); }

    // The planted books as account set 007's year 2031; the other `years` listed have no database.
    void plantBooks(const QList<int> &years = {2031})
    {
        writeSystemDatabase(systemDatabase(m_dir->path()), {{"007", "异形", years, {}}});
        SqliteFixture::run(yearDatabase(m_dir->path(), "007", "2031"),
                           QString(LedgerFixture::TypicalTables) + LedgerFixture::PlantedBooks);
    }

private slots:
    void init() { useFreshDataDirectory(); }
    void cleanup() { removeDataDirectory(); }

    // Each command's findings as CSV: its output and status as without --report; one header row,
    // one row per finding, amounts in plain decimals, codes as quoted text.
    void commandLineSavesItsFindings()
    {
        plantBooks();
        const QString where = "\"007\",\"2031\",\"LQDATA_007_2031\",";
        for (const QStringList &command :
             {QStringList{"--check-balances"}, QStringList{"--check"}, QStringList{"--recompute-balances", "--dry-run"},
              QStringList{"--repair-end-flags", "--dry-run"}}) {
            const ProcessRun plain = n3fix(command);
            const ProcessRun reported = n3fix(command + QStringList{"--report", data("r.csv")});
            QCOMPARE(reported.status, plain.status);
            QCOMPARE(reported.out, plain.out);
            QCOMPARE(reported.err, plain.err);
            QString raw;
            const QList<QStringList> records = readCsv(data("r.csv"), &raw);
            QVERIFY(raw.startsWith(QChar(0xFEFF)));
            QVERIFY2(raw.contains(where), qPrintable(raw));
            const QString header = records.value(0).join('|');
            if (command.first() == "--check-balances") {
                QCOMPARE(header, "帐套|年度|数据库|类别|科目编码|月份|金额栏|本科目金额|下级科目合计|差额|说明");
                QCOMPARE(csvRows(records),
                         QStringList({"007|2031|LQDATA_007_2031|总账和明细账不符|1001|3|mb||5.00|-5.00|无余额行",
                                      "007|2031|LQDATA_007_2031|总账和明细账不符|100101|2|mb|180.00|200.00|-20.00|",
                                      "007|2031|LQDATA_007_2031|科目表中没有的余额行|9999|1|||||"}));
                QVERIFY(raw.contains(",\"100101\",") && raw.contains(",180.00,200.00,-20.00,"));
            } else if (command.first() == "--check") {
                QCOMPARE(header, "帐套|年度|数据库|类别|科目编码|现在的末级标志|应为");
                QCOMPARE(csvRows(records), QStringList({"007|2031|LQDATA_007_2031|末级标志错误|1001|1|0",
                                                        "007|2031|LQDATA_007_2031|末级标志错误|10010101|0|1"}));
            } else if (command.first() == "--repair-end-flags") {
                QCOMPARE(header, "帐套|年度|数据库|类别|科目编码|现在的末级标志|修复后|说明");
                QCOMPARE(csvRows(records), QStringList({"007|2031|LQDATA_007_2031|重建末级标志将改动|1001|1|0|",
                                                        "007|2031|LQDATA_007_2031|重建末级标志将改动|10010101|0|1|"}));
            } else {
                QCOMPARE(header, "帐套|年度|数据库|类别|科目编码|月份|金额栏|现有金额|重算后|下级科目合计");
                QCOMPARE(csvRows(records), QStringList({"007|2031|LQDATA_007_2031|按下级科目重算将改动|1001|2|mb|230.00|250.00|",
                                                        "007|2031|LQDATA_007_2031|按下级科目重算将改动|100101|2|mb|180.00|200.00|",
                                                        "007|2031|LQDATA_007_2031|缺少余额行|1001|3|mb|||5.00"}));
            }
        }
    }

    // A repair's record names who made it and where; its CSV holds every changed row.
    void commandLineSavesARepairsRecord()
    {
        plantBooks();
        const ProcessRun repair = n3fix({"--repair-end-flags", "--json"});
        QCOMPARE(repair.status, 0);
        const QString id = repair.json()[0]["journal"].toString();
        const ProcessRun plain = n3fix({"--journal", id});
        const ProcessRun reported = n3fix({"--journal", id, "--report", data("修复记录.csv")});
        QCOMPARE(reported.status, 0);
        QCOMPARE(reported.out, plain.out);
        const QList<QStringList> records = readCsv(data("修复记录.csv"));
        QCOMPARE(records.value(0).join('|'), "修复日志编号|科目编码|末级标志 修复前|末级标志 修复写入");
        QCOMPARE(csvRows(records), QStringList({id + "|1001|1|0", id + "|10010101|0|1"}));

        QCOMPARE(n3fix({"--journal", id, "--report", data("修复记录.pdf")}).status, 0);
        const QString text = pdfText(data("修复记录.pdf"));
        if (text.isEmpty())
            SKIP_UNLESS_CI("pdftotext (poppler-utils) is not installed");
        for (const QString &expected :
             {QStringLiteral("修复记录"), id, QStringLiteral("重建末级标志（彻底根除）"), "操作人：" + TestUser::loginName(),
              "操作的计算机：" + TestUser::hostName(), QStringLiteral("是（1）"), QStringLiteral("否（0）"),
              QStringLiteral("n3fix --undo ") + id, QStringLiteral("第 1 页，共 1 页")})
            QVERIFY2(text.contains(expected), qPrintable(expected + " not in:\n" + text));
    }

    // What can't be reported is refused before anything runs; a report that can't be written ends
    // the command with status 2 and leaves no file, its output otherwise as it was.
    void commandLineRefusals()
    {
        plantBooks();
        ProcessRun run = n3fix({"--check", "--report", data("r.txt")});
        QCOMPARE(run.status, 2);
        QVERIFY2(run.err.contains("PDF（.pdf）、CSV（.csv）"), run.err.constData());
        QVERIFY(run.out.isEmpty() && !QFile::exists(data("r.txt")));
        run = n3fix({"--repair-end-flags", "--report", data("r.csv")});
        QCOMPARE(run.status, 2);
        QVERIFY(run.err.contains("--report 只用于"));
        QCOMPARE(n3fix({"--check"}).status, 1);  // nothing was repaired

        const ProcessRun plain = n3fix({"--check-balances"});
        run = n3fix({"--check-balances", "--report", data("no/such/folder/r.csv")});
        QCOMPARE(run.status, 2);
        QCOMPARE(run.out, plain.out);
        QVERIFY2(run.err.contains(QDir::toNativeSeparators(data("no/such/folder/r.csv")).toUtf8()), run.err.constData());
        QVERIFY2(run.err.contains("不存在，请另选一个位置"), run.err.constData());
        QVERIFY(!QFileInfo::exists(data("no")));

        // a disk too small for the PDF: said so, and neither the report nor a part of it is left
        if (geteuid() != 0)
            SKIP_UNLESS_CI("mounting a small tmpfs needs root; the full disk is not tried here");
        QTemporaryDir mountPoint;
        if (::mount("tmpfs", QFile::encodeName(mountPoint.path()).constData(), "tmpfs", 0, "size=4k") != 0)
            SKIP_UNLESS_CI("mounting a small tmpfs is not permitted here; the full disk is not tried");
        const auto unmount = qScopeGuard([&] { ::umount2(QFile::encodeName(mountPoint.path()).constData(), MNT_DETACH); });
        run = n3fix({"--check-balances", "--report", mountPoint.filePath("r.pdf")});
        QCOMPARE(run.status, 2);
        QCOMPARE(run.out, plain.out);
        QVERIFY2(run.err.contains("磁盘可能已满"), run.err.constData());
        QCOMPARE(QDir(mountPoint.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden), QStringList());
    }

    // The check window's 文件 menu saves the findings of the year chosen in its box, in the file type
    // chosen in the save box; 打印… prints them through the print box, here to a PDF file.
    void checkWindowSavesAndPrints()
    {
        plantBooks({2031, 2032});
        CheckWindow window;
        window.show();
        QTRY_VERIFY_WITH_TIMEOUT(!window.busy(), 60000);
        QVERIFY(fileItem(&window, "保存报告…") && fileItem(&window, "打印…"));
        QVERIFY(window.wrongFlagsList->actions().contains(fileItem(&window, "保存报告…")));

        MessageBox::answerNext(0);  // 选中的年度
        answerSaveBox(data("selected"), "CSV");
        fileItem(&window, "保存报告…")->trigger();
        QCOMPARE(MessageBox::takeShown().value(0).buttons, QStringList({"选中的年度(&S)", "所有年度(&A)", "取消"}));
        const QList<QStringList> selected = readCsv(data("selected.csv"));
        // the header; two wrong flags, two disagreements, an orphan, and a balance row the recompute would need
        QCOMPARE(selected.size(), 1 + 2 + 2 + 1 + 1);
        QVERIFY(selected.value(1).join('|').startsWith("007(异形)|2031|LQDATA_007_2031|末级标志错误|1001|"));

        MessageBox::answerNext(1);  // 所有年度: the second year can't be read, which is a finding too
        answerSaveBox(data("all"), "CSV");
        fileItem(&window, "保存报告…")->trigger();
        MessageBox::takeShown();
        const QStringList all = csvRows(readCsv(data("all.csv")));
        QCOMPARE(all.size(), 6 + 1);
        QVERIFY2(all.last().startsWith("007(异形)|2032|LQDATA_007_2032|无法读取|") && all.last().contains("数据库文件不存在"),
                 qPrintable(all.last()));

        MessageBox::answerNext(0);
        whenShown<QPrintDialog>([this](QPrintDialog *box) {
            auto *printers = box->findChild<QComboBox *>("printers");
            printers->setCurrentIndex(printers->count() - 1);  // print to a file, as PDF
            box->findChild<QLineEdit *>("filename")->setText(data("printed.pdf"));
            static_cast<QDialog *>(box)->accept();
        });
        fileItem(&window, "打印…")->trigger();
        MessageBox::takeShown();
        QTRY_VERIFY(QFileInfo(data("printed.pdf")).size() > 0);
        const QString text = pdfText(data("printed.pdf"));
        if (text.isEmpty())
            SKIP_UNLESS_CI("pdftotext (poppler-utils) is not installed");
        for (const QString &expected :
             {QStringLiteral("检查报告"), QStringLiteral("LQDATA_007_2031"), QStringLiteral("180.00"), QStringLiteral("200.00"),
              QStringLiteral("-20.00"), QStringLiteral("计算机"), TestUser::loginName()})
            QVERIFY2(text.contains(expected), qPrintable(expected + " not in:\n" + text));
    }

    // The files themselves, of a report long enough for several pages: CSV keeps every text a text,
    // however a spreadsheet would read it; the PDF repeats the table's header on every page, numbers
    // its pages, and gives a reader copying its text the characters drawn.
    void filesAsTheirReadersSeeThem()
    {
        using namespace repair::report;
        Report report{"检查报告", {{"set", "帐套", Cell::code("007")}}, {}, {"撤销：n3fix --undo 20261209-213402-248"}};
        Table table{"金额一览",
                    {{"database", "数据库", Cell::words("LQDATA_007_2031")}},
                    {{"code", "科目编码", Kind::Code}, {"note", "说明", Kind::Text}, {"amount", "金额", Kind::Amount}},
                    {},
                    {},
                    true};
        table.rows << QList<Cell>{Cell::code("0101"), Cell::words("=SUM(A1:A9)"), Cell::storedAmount(QVariant("1,234.50"))}
                   << QList<Cell>{Cell::code("0102"), Cell::words("他说\"好\"，页"), Cell::storedAmount(222257.59)}
                   << QList<Cell>{Cell::code("0103"), Cell::words("'=1"), Cell::storedAmount(QVariant("-5"))};
        for (int i = 0; i < 150; ++i)
            table.rows << QList<Cell>{Cell::code(QString::number(5000 + i)), Cell::words("金额"), Cell::storedAmount(1000000 + i)};
        report.tables << table;

        save(report, data("r.csv"));
        QString raw;
        const QList<QStringList> records = readCsv(data("r.csv"), &raw);
        QCOMPARE(records.size(), 1 + 153);
        QCOMPARE(records[0], QStringList({"数据库", "科目编码", "说明", "金额"}));
        const QStringList lines = raw.split("\r\n");
        QCOMPARE(lines[1], "\"LQDATA_007_2031\",\"0101\",\"'=SUM(A1:A9)\",\"1,234.50\"");
        QCOMPARE(lines[2], "\"LQDATA_007_2031\",\"0102\",\"他说\"\"好\"\"，页\",222257.59");
        QCOMPARE(lines[3], "\"LQDATA_007_2031\",\"0103\",\"''=1\",-5.00");
        QCOMPARE(lines[4], "\"LQDATA_007_2031\",\"5000\",\"金额\",1000000.00");

        save(report, data("r.pdf"));
        const QString text = pdfText(data("r.pdf"));
        if (text.isEmpty())
            SKIP_UNLESS_CI("pdftotext (poppler-utils) is not installed");
        QStringList pages = text.split('\f');
        pages.removeAll(QString());
        QVERIFY2(pages.size() >= 3, qPrintable(text));
        for (int page = 0; page < pages.size(); ++page) {
            QVERIFY2(pages[page].contains(QRegularExpression("科目编码\\s+说明\\s+金额")), qPrintable(pages[page]));
            QVERIFY2(pages[page].contains(QString("第 %1 页，共 %2 页").arg(page + 1).arg(pages.size())), qPrintable(pages[page]));
        }
        for (const char *expected :
             {"金额一览", "222,257.59", "1,000,149.00", "1,234.50", "他说\"好\"，页", "n3fix --undo 20261209-213402-248"})
            QVERIFY2(text.contains(QString::fromUtf8(expected)),
                     qPrintable(QString::fromUtf8(expected) + " not in:\n" + pages.first()));
        QVERIFY(!text.contains(QChar(0x2FA6)));  // the radical drawn alike with 金

        // Without a Chinese font no PDF can be drawn: the command says so and leaves no file.
        QFile config(data("fonts.conf"));
        QVERIFY(config.open(QIODevice::WriteOnly));
        config.write("<?xml version=\"1.0\"?><fontconfig><dir>/usr/share/fonts/truetype/dejavu</dir>"
                     "<cachedir>"
                     + data("fontcache").toUtf8() + "</cachedir></fontconfig>");
        config.close();
        plantBooks();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("FONTCONFIG_FILE", data("fonts.conf"));
        const ProcessRun run = runOnData(N3FIX, m_dir->path(), {"--check", "--report", data("no-font.pdf")}, environment);
        QCOMPARE(run.status, 2);
        QVERIFY2(run.err.contains("fonts-noto-cjk"), run.err.constData());
        QVERIFY(!QFile::exists(data("no-font.pdf")));
    }

    // The journal window reports the repair selected in its list.
    void journalWindowSavesTheSelectedRepair()
    {
        plantBooks();
        const QString id = n3fix({"--repair-end-flags", "--json"}).json()[0]["journal"].toString();
        JournalWindow window;
        window.show();
        QCOMPARE(window.repairList->selectionModel()->currentIndex().row(), 0);
        QVERIFY(window.rowList->actions().contains(fileItem(&window, "保存报告…")));
        answerSaveBox(data("repair.csv"), "CSV");
        fileItem(&window, "保存报告…")->trigger();
        QCOMPARE(csvRows(readCsv(data("repair.csv"))), QStringList({id + "|1001|1|0", id + "|10010101|0|1"}));
    }
};

QTEST_MAIN(ReportsTest)
#include "tst_reports.moc"
