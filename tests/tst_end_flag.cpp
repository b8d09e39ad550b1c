// The end-flag repair (彻底根除) through the real window on real SQLite files: the flags it
// writes, the boxes it shows, and input or a close that comes while the walk runs.
#include "app/Form1.h"
#include "app/MessageBox.h"
#include "demo/ChartOfAccounts.h"
#include "support/DataFiles.h"
#include "support/FormDriver.h"
#include "support/SqliteFixture.h"

#include <QTest>
#include <QtWidgets>

#include <memory>
#include <utility>

const QString Done = "修复完毕复", Working = "正在修复";

// Account set 001 has the years 2006 (no database file) and 2007; the third has an empty number.
const QString SystemScript =
    "create table KS_Account(cAcc_Id TEXT, cAcc_Name TEXT); insert into KS_Account values('001','演示'),('002','第二'),('','无');"
    "create table KS_period(cacc_id TEXT, iyear INTEGER, iperiod INTEGER, bisdelete INTEGER);"
    "insert into KS_period values('001',2006,1,0),('001',2007,1,0),('002',2008,1,0),('',2007,1,0);";

// The chart, and a log that a trigger fills with every row written to it, in the order written.
const QString ChartScript =
    "create table code(ccode TEXT, ccode_name TEXT default '名称', bend INTEGER); create table written as select * from code;"
    "create trigger log_writes after update on code begin insert into written values(new.ccode, new.ccode_name, new.bend); end;";

// One press of 彻底根除 on a small chart, `codes` in code order: `after` holds the flags once the
// walk is over (9: never written); each box is how "style|title|prompt" begins; `extra` runs
// once the chart is stored.
struct Walk {
    QStringList codes;
    QList<int> before, after;
    QStringList boxes = {};
    QString label = Done, year = "2007";
    int accountSet = 0;
    QString extra = "";
};
Q_DECLARE_METATYPE(Walk)

// The chart stored in the reverse of code order (flag -1 is NULL), then updates that write `after`
// in code order where it differs from `before`.
QString chartScript(const QStringList &codes, const QList<int> &before, const QList<int> &after = {})
{
    QString script = "begin;" + ChartScript;
    for (qsizetype i = codes.size() - 1; i >= 0; --i)
        script += QString("insert into code(ccode, bend) values(%1, %2);")
                      .arg(SqliteFixture::literal(codes[i]), before[i] < 0 ? "NULL" : QString::number(before[i]));
    for (int i = 0; i < after.size(); ++i)
        script += after[i] == 9 || after[i] == before[i]
                      ? ""
                      : QString("update code set bend=%1 where ccode is %2;").arg(after[i]).arg(SqliteFixture::literal(codes[i]));
    return script + "commit;";
}

class tst_EndFlag : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Form1> m_form;
    QString m_yearDb;

    // Creates the databases (on a RAM file system where there is one: every row is its own commit)
    // and the window, and picks an account set and, unless empty, a year.
    bool openWindow(const QString &yearScript, const QString &year = "2007", int accountSet = 0)
    {
        m_dir =
            std::make_unique<QTemporaryDir>((QDir("/dev/shm").exists() ? "/dev/shm" : QDir::tempPath()) + "/tst_end_flag-XXXXXX");
        SqliteFixture::run(systemDatabase(m_dir->path()), SystemScript);
        m_yearDb = yearDatabase(m_dir->path());
        SqliteFixture::run(m_yearDb, yearScript);
        FormDriver::useDataDirectory(m_dir->path());
        m_form = FormDriver::openWindow();
        if (!m_form)
            return false;
        FormDriver::pickFromList(m_form->Combo3, accountSet);
        if (!year.isEmpty())
            FormDriver::pickFromList(m_form->Combo5, m_form->Combo5->findText(year));
        return m_form->Combo5->currentText() == year && MessageBox::takeShown().isEmpty();
    }

private slots:
    void walk_data()
    {
        QTest::addColumn<Walk>("walk");
        const QStringList five{"1001", "100101", "1002", "100201", "2001"};
        const QList<int> nines{9, 9, 9, 9, 9};
        const QString failure = "16|" + MessageBox::ApplicationTitle + "|重建末级科目标志时出错：\r\n";
        const QStringList notChosen{"0|" + MessageBox::ApplicationTitle + "|未选择帐套或年度！"};
        QTest::newRow("empty chart") << Walk{};
        QTest::newRow("chain") << Walk{{"1011", "101101", "10110101"}, {1, 1, 0}, {0, 0, 1}};
        QTest::newRow("no code begins another") << Walk{{"1001", "1002", "10030101", "2001"}, {0, 0, -1, 0}, {1, 1, 1, 1}};
        QTest::newRow("flags already right") << Walk{{"1001", "100101", "100102", "1002"}, {0, 1, 1, 1}, {0, 1, 1, 1}};
        QTest::newRow("quotes") << Walk{{"10", "10'1", "10'11", "10'2"}, {9, 9, 9, 9}, {0, 0, 1, 1}};
        QTest::newRow("NULL and empty codes") << Walk{{QString(), "", "1001", "100101"}, {9, 9, 9, 9}, {1, 0, 0, 1}};
        // Without a choice nothing is opened: LQDATA_001_.db and LQDATA__2007.db do not exist, so an
        // attempt would show the connection box; the status line stays empty.
        QTest::newRow("no year picked") << Walk{five, nines, {}, notChosen, "", ""};
        QTest::newRow("account set without number") << Walk{five, nines, {}, notChosen, "", "2007", 2};
        const QString noTable =
            "drop table code; create table GL_accsum(ccode TEXT, mb REAL); insert into GL_accsum values('1001',5);";
        const QString refuse =
            "create trigger refuse before update on code when old.ccode='1002' begin select raise(abort, '拒绝'); end;";
        QTest::newRow("no code table") << Walk{five, nines,  {}, {failure + "数据库中缺少数据表：no such table: code"},
                                               "",   "2007", 0,  noTable};
        QTest::newRow("year without database")
            << Walk{five, nines, {}, {"16|数据库连接错误|数据库LQDATA_001_2006连接错误", failure}, "", "2006"};
        QTest::newRow("write refused at 1002")
            << Walk{five, nines, {0, 1, 9, 9, 9}, {failure + "拒绝"}, Working + "1002", "2007", 0, refuse};
    }

    // Every row whose flag is wrong is written once, in code order, with 1 when no longer code
    // begins with its code and 0 otherwise; a row whose flag is right already is left as it is (its
    // trigger never fires); a failure keeps what was written before it and the status line's last
    // caption.
    // The file is compared whole with one where the expected updates were made by hand.
    void walk()
    {
        QFETCH(Walk, walk);
        QVERIFY(openWindow(chartScript(walk.codes, walk.before) + walk.extra, walk.year, walk.accountSet));
        const QString reference = m_dir->filePath("reference.db");
        SqliteFixture::run(reference, chartScript(walk.codes, walk.before, walk.after) + walk.extra);
        QTest::mouseClick(m_form->Command2, Qt::LeftButton);
        const QStringList shown = FormDriver::boxesShown();
        // the chart's logging trigger writes another table: once rows are written, a walk that
        // ends says so in a box of its own; a failure says it in its box
        QStringList boxes = walk.boxes;
        if (walk.label == Done && SqliteFixture::dump(m_yearDb, "written").count('\n') > 0)
            boxes << "0|" + MessageBox::ApplicationTitle + "|数据表 code 上有触发器 log_writes：";
        QCOMPARE(shown.size(), boxes.size());
        for (int i = 0; i < shown.size(); ++i)
            QVERIFY2(shown[i].startsWith(boxes[i]), qPrintable(shown[i]));
        QCOMPARE(m_form->Label1->text(), walk.label);
        QCOMPARE(SqliteFixture::dumpAll(m_yearDb), SqliteFixture::dumpAll(reference));
    }

    void interruptedWalk_data()
    {
        QTest::addColumn<QString>("input");
        for (const char *input : {"Command2", "Command1", "keys", "input method", "drop", "close"})
            QTest::newRow(input) << QString(input);
    }

    // Input during a walk of 3000 codes is ignored: the walk ends once, with only the box its
    // trigger earns and the choice as it was. A close stops it after the row in hand: the rows
    // written are a prefix in code order.
    void interruptedWalk()
    {
        QFETCH(QString, input);
        QStringList codes;
        QList<int> flags;
        for (const ChartAccount &a : generateChart(3000, {4, 2, 2, 2})) {
            codes << a.code;
            flags << int(a.endLevel);
        }
        const QList<int> nines(codes.size(), 9);
        QVERIFY(openWindow(chartScript(codes, nines)));
        QMimeData dropped;
        dropped.setText("002");
        bool interrupted = false;
        QTimer timer;
        connect(&timer, &QTimer::timeout, this, [&] {
            QLineEdit *edit = m_form->Combo3->lineEdit();
            if (!m_form->Label1->text().startsWith(Working) || std::exchange(interrupted, true))
                return;
            if (input.startsWith("Command")) {
                QTest::mouseClick(input == "Command2" ? m_form->Command2 : m_form->Command1, Qt::LeftButton);
            } else if (input == "keys") {
                FormDriver::typeOver(m_form->Combo3, "002");
            } else if (input == "input method") {
                auto *event = new QInputMethodEvent;
                event->setCommitString("第二");
                QCoreApplication::postEvent(edit, event);
            } else if (input == "drop") {
                QCoreApplication::postEvent(edit, new QDragEnterEvent({2, 2}, Qt::CopyAction, &dropped, Qt::LeftButton, {}));
                QCoreApplication::postEvent(edit, new QDragMoveEvent({2, 2}, Qt::CopyAction, &dropped, Qt::LeftButton, {}));
                QCoreApplication::postEvent(edit, new QDropEvent({2, 2}, Qt::CopyAction, &dropped, Qt::LeftButton, {}));
            } else {
                QCoreApplication::postEvent(m_form.get(), new QCloseEvent);
            }
        });
        timer.start(0);
        QTest::mouseClick(m_form->Command2, Qt::LeftButton);
        QVERIFY(interrupted);
        const bool closed = input == "close";
        QCOMPARE(m_form->isVisible(), !closed);
        QCOMPARE(MessageBox::takeShown().size(), closed ? 0 : 1);  // the logging trigger's notice, once the walk ends
        const int k = int(SqliteFixture::dump(m_yearDb, "written").count('\n'));
        QVERIFY2(closed ? k > 0 && k < codes.size() : k == codes.size(), qPrintable(QString::number(k)));
        const QString reference = m_dir->filePath("reference.db");
        SqliteFixture::run(reference, chartScript(codes, nines, flags.mid(0, k) + nines.mid(k)));
        QCOMPARE(SqliteFixture::dumpAll(m_yearDb), SqliteFixture::dumpAll(reference));
        QCOMPARE(m_form->Label1->text(), closed ? Working + codes[k - 1] : Done);
        QCOMPARE(m_form->Combo3->currentText() + m_form->Combo4->currentText(), "001(演示)001");
    }
};

QTEST_MAIN(tst_EndFlag)
#include "tst_end_flag.moc"
