// The end-flag repair ("彻底根除") through the real window on real SQLite files: the flags it
// writes, the boxes it shows, and what happens when the user presses, types or closes the
// window while the walk runs.
#include "app/Form1.h"
#include "app/MessageBox.h"
#include "demo/ChartOfAccounts.h"
#include "support/FormDriver.h"
#include "support/SqliteFixture.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QHash>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <memory>

namespace {

const QString Done = QStringLiteral("修复完毕复");
const QString Working = QStringLiteral("正在修复");
const QString FailurePrefix = QStringLiteral("重建末级科目标志时出错：\r\n");
const QStringList FiveCodes{"1001", "100101", "1002", "100201", "2001"};

// Account set 001 has the years 2006 (no database file) and 2007; 002 has 2008; the third
// account set has an empty number.
const QString SystemScript = QStringLiteral(
    "create table KS_Account(cAcc_Id TEXT, cAcc_Name TEXT);"
    "insert into KS_Account values('001','演示帐套'),('002','第二帐套'),('','未编号');"
    "create table KS_period(cacc_id TEXT, iyear INTEGER, iperiod INTEGER, bisdelete INTEGER);"
    "insert into KS_period values('001',2006,1,0),('001',2007,1,0),('002',2008,1,0),('',2007,1,0);");

// The chart, and a log that a trigger fills with every row written to it, in the order written.
const QString ChartScript = QStringLiteral(
    "create table code(ccode TEXT, ccode_name TEXT, bend INTEGER);"
    "create table written(ccode TEXT, ccode_name TEXT, bend INTEGER);"
    "create trigger log_writes after update on code begin"
    " insert into written values(new.ccode, new.ccode_name, new.bend); end;");

struct Account {
    QString code;  // a null string is a NULL code
    QString name;
    int flag;  // -1 is NULL
};

QString sqlValue(const QString &text)
{
    if (text.isNull())
        return QStringLiteral("NULL");
    return QLatin1Char('\'') + QString(text).replace(QLatin1String("'"), QLatin1String("''")) + QLatin1Char('\'');
}

QString insertScript(const QVector<Account> &rows)
{
    QString script = QStringLiteral("begin;");
    for (const Account &a : rows)
        script += QStringLiteral("insert into code values(%1,%2,%3);")
                      .arg(sqlValue(a.code), sqlValue(a.name),
                           a.flag < 0 ? QStringLiteral("NULL") : QString::number(a.flag));
    return script + QStringLiteral("commit;");
}

// The rows as SqliteFixture::dump prints them.
QString dumpOf(const QVector<Account> &rows)
{
    QString out;
    for (const Account &a : rows)
        out += (a.code.isNull() ? QStringLiteral("NULL") : QStringLiteral("t:'%1'").arg(a.code))
            + QStringLiteral("|t:'%1'|").arg(a.name)
            + (a.flag < 0 ? QStringLiteral("NULL") : QStringLiteral("i:%1").arg(a.flag)) + QLatin1Char('\n');
    return out;
}

QVector<Account> accounts(const QStringList &codes, const QList<int> &flags)
{
    QVector<Account> rows;
    for (int i = 0; i < codes.size(); ++i)
        rows.append({codes.at(i), QStringLiteral("科目%1").arg(i), flags.at(i)});
    return rows;
}

QVector<Account> reversed(QVector<Account> rows)
{
    std::reverse(rows.begin(), rows.end());
    return rows;
}

QStringList entries(const QComboBox *combo)
{
    QStringList list;
    for (int i = 0; i < combo->count(); ++i)
        list << combo->itemText(i);
    return list;
}

// 3000 accounts: `chart` in code order with the right flags, `stored` in the table's (scrambled)
// row order with the wrong flag 9.
struct BigChart {
    QVector<Account> chart, stored;
    QHash<QString, int> position;  // code -> index in chart

    BigChart()
    {
        for (const ChartAccount &a : generateChart(3000, {4, 2, 2, 2}))
            chart.append({a.code, a.name, a.endLevel ? 1 : 0});
        std::sort(chart.begin(), chart.end(), [](const Account &a, const Account &b) { return a.code < b.code; });
        for (int i = 0; i < chart.size(); ++i) {
            position.insert(chart.at(i).code, i);
            const Account &a = chart.at(i * 7919 % chart.size());
            stored.append({a.code, a.name, 9});
        }
    }
    // The table once the first `k` accounts in code order have their new flags.
    QString tableAfter(int k) const
    {
        QVector<Account> rows = stored;
        for (Account &a : rows)
            if (position.value(a.code) < k)
                a.flag = chart.at(position.value(a.code)).flag;
        return dumpOf(rows);
    }
};

void postClick(QWidget *widget)
{
    const QPointF centre = QRectF(widget->rect()).center();
    const QPointF global = widget->mapToGlobal(centre);
    QCoreApplication::postEvent(widget, new QMouseEvent(QEvent::MouseButtonPress, centre, global, Qt::LeftButton,
                                                        Qt::LeftButton, Qt::NoModifier));
    QCoreApplication::postEvent(widget, new QMouseEvent(QEvent::MouseButtonRelease, centre, global, Qt::LeftButton,
                                                        Qt::NoButton, Qt::NoModifier));
}

void postKey(QWidget *widget, Qt::Key key, const QString &text, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    for (const QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease})
        QCoreApplication::postEvent(widget, new QKeyEvent(type, key, modifiers, text));
}

} // namespace

// Sets the scene; the test stops at once when that failed.
#define OPEN_WINDOW(...) \
    do { openWindow(__VA_ARGS__); if (QTest::currentTestFailed()) return; } while (false)

class tst_EndFlag : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Form1> m_form;
    QString m_yearDb;

    // Creates the databases and the window, picks an account set and, unless empty, `year`.
    void openWindow(const QString &yearScript, const QString &year = QStringLiteral("2007"), int accountSet = 0)
    {
        // Every row is its own commit; on a RAM file system the long walks do not wait on the disk.
        m_dir = QDir(QStringLiteral("/dev/shm")).exists()
            ? std::make_unique<QTemporaryDir>(QStringLiteral("/dev/shm/tst_end_flag-XXXXXX"))
            : std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        SqliteFixture::run(m_dir->filePath(QStringLiteral("LQsystem.db")), SystemScript);
        m_yearDb = m_dir->filePath(QStringLiteral("LQDATA_001_2007.db"));
        SqliteFixture::run(m_yearDb, yearScript);
        FormDriver::useDataDirectory(m_dir->path());
        m_form = std::make_unique<Form1>();
        m_form->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
        FormDriver::pickFromList(m_form->Combo3, accountSet);
        if (!year.isEmpty()) {
            QVERIFY(entries(m_form->Combo5).contains(year));
            FormDriver::pickFromList(m_form->Combo5, m_form->Combo5->findText(year));
            QCOMPARE(m_form->Combo5->currentText(), year);
        }
        QCOMPARE(MessageBox::takeShown().size(), 0);
    }

    void pressCommand2() { QTest::mouseClick(m_form->Command2, Qt::LeftButton); }

    // A zero timer that runs `action` once, when the status line shows the walk at `code` or
    // beyond; `reached` gets the code then shown.
    std::unique_ptr<QTimer> whenWalkReaches(const QString &code, QString &reached, std::function<void()> action)
    {
        auto timer = std::make_unique<QTimer>();
        connect(timer.get(), &QTimer::timeout, this, [this, t = timer.get(), code, &reached, action] {
            const QString caption = m_form->Label1->text();
            if (!caption.startsWith(Working) || caption.mid(Working.size()) < code)
                return;
            t->stop();
            reached = caption.mid(Working.size());
            action();
        });
        timer->start(0);
        return timer;
    }

private slots:
    void rewritesEveryFlag_data()
    {
        QTest::addColumn<QStringList>("codes");  // in code order
        QTest::addColumn<QList<int>>("before");
        QTest::addColumn<QList<int>>("after");
        QTest::newRow("empty chart") << QStringList() << QList<int>() << QList<int>();
        QTest::newRow("chain") << QStringList{"1011", "101101", "10110101"} << QList<int>{1, 1, 0} << QList<int>{0, 0, 1};
        QTest::newRow("no code begins another")
            << QStringList{"1001", "1002", "10030101", "2001"} << QList<int>{0, 0, -1, 0} << QList<int>{1, 1, 1, 1};
        QTest::newRow("flags already right")
            << QStringList{"1001", "100101", "100102", "1002"} << QList<int>{0, 1, 1, 1} << QList<int>{0, 1, 1, 1};
        QTest::newRow("quotes") << QStringList{"10", "10'1", "10'11", "10'2"} << QList<int>{9, 9, 9, 9}
                                << QList<int>{0, 0, 1, 1};
        QTest::newRow("NULL and empty codes") << QStringList{QString(), QStringLiteral(""), "1001", "100101"}
                                              << QList<int>{9, 9, 9, 9} << QList<int>{1, 0, 0, 1};
    }

    // Every row is written once, in code order (the table holds them in the reverse order), with
    // 1 when no longer code begins with its code and 0 otherwise.
    void rewritesEveryFlag()
    {
        QFETCH(QStringList, codes);
        QFETCH(QList<int>, before);
        QFETCH(QList<int>, after);
        const QVector<Account> fixed = accounts(codes, after);
        OPEN_WINDOW(ChartScript + insertScript(reversed(accounts(codes, before))));

        pressCommand2();
        QCOMPARE(m_form->Label1->text(), Done);
        QCOMPARE(MessageBox::takeShown().size(), 0);
        QCOMPARE(SqliteFixture::dump(m_yearDb, QStringLiteral("code")), dumpOf(reversed(fixed)));
        QCOMPARE(SqliteFixture::dump(m_yearDb, QStringLiteral("written")), dumpOf(fixed));
    }

    void refusesWithoutChoice_data()
    {
        QTest::addColumn<int>("accountSet");
        QTest::addColumn<QString>("year");
        QTest::addColumn<bool>("clearYearAfterRun");
        QTest::newRow("no year picked") << 0 << QString() << false;
        QTest::newRow("year cleared after a run") << 0 << QStringLiteral("2007") << true;
        QTest::newRow("account set without number") << 2 << QStringLiteral("2007") << false;
    }

    // Only the one box: no connection (LQDATA_001_ and LQDATA__2007 do not exist, so trying one
    // would show the connection box), nothing written, the status line as it was.
    void refusesWithoutChoice()
    {
        QFETCH(int, accountSet);
        QFETCH(QString, year);
        QFETCH(bool, clearYearAfterRun);
        OPEN_WINDOW(ChartScript + insertScript(accounts({"1001", "100101"}, {9, 9})), year, accountSet);
        if (clearYearAfterRun) {
            pressCommand2();
            QCOMPARE(m_form->Label1->text(), Done);
            FormDriver::clearByKeyboard(m_form->Combo5);
            QCOMPARE(m_form->Combo5->currentText(), QString());
        }
        const QString label = m_form->Label1->text();
        const QString database = SqliteFixture::dumpAll(m_yearDb);

        pressCommand2();
        const QList<MessageBox::Shown> shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].prompt, QStringLiteral("未选择帐套或年度！"));
        QCOMPARE(shown[0].title, MessageBox::ApplicationTitle);
        QCOMPARE(shown[0].style, 0);
        QCOMPARE(m_form->Label1->text(), label);
        QCOMPARE(SqliteFixture::dumpAll(m_yearDb), database);
    }

    void failureKeepsWhatWasWritten_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("year");
        QTest::addColumn<QStringList>("boxes");  // each box: its title, a line break, how its text begins
        QTest::addColumn<QString>("label");
        QTest::addColumn<QList<int>>("after");  // the flags of FiveCodes; none: the file as it was
        const QString chart = ChartScript + insertScript(accounts(FiveCodes, {9, 9, 9, 9, 9}));
        const QString failure = MessageBox::ApplicationTitle + QLatin1Char('\n') + FailurePrefix;
        QTest::newRow("no code table")
            << QStringLiteral("create table GL_accsum(ccode TEXT, iperiod INTEGER, mb REAL, md REAL, mc REAL);"
                              "insert into GL_accsum values('1001',1,5,6,7);")
            << QStringLiteral("2007") << QStringList{failure + QStringLiteral("数据库中缺少数据表：no such table: code")} << QString()
            << QList<int>();
        QTest::newRow("year without database")
            << chart << QStringLiteral("2006")
            << QStringList{QStringLiteral("数据库连接错误\n数据库LQDATA_001_2006连接错误"), failure} << QString()
            << QList<int>();
        QTest::newRow("write refused at 1002")
            << chart + QStringLiteral("create trigger refuse before update on code when old.ccode='1002' begin"
                                      " select raise(abort, '拒绝修改1002'); end;")
            << QStringLiteral("2007") << QStringList{failure + QStringLiteral("拒绝修改1002")}
            << Working + QStringLiteral("1002") << QList<int>{0, 1, 9, 9, 9};
    }

    // The engine's description in a box; the flags written before the failure stay, every other
    // row is untouched, and the status line keeps its last caption.
    void failureKeepsWhatWasWritten()
    {
        QFETCH(QString, script);
        QFETCH(QString, year);
        QFETCH(QStringList, boxes);
        QFETCH(QString, label);
        QFETCH(QList<int>, after);
        OPEN_WINDOW(script, year);
        const QString database = SqliteFixture::dumpAll(m_yearDb);

        pressCommand2();
        const QList<MessageBox::Shown> shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), boxes.size());
        for (int i = 0; i < shown.size(); ++i) {
            const QString box = shown[i].title + QLatin1Char('\n') + shown[i].prompt;
            QVERIFY2(box.startsWith(boxes[i]), qPrintable(box));
            QCOMPARE(shown[i].style, 16);
        }
        QCOMPARE(m_form->Label1->text(), label);
        if (after.isEmpty()) {
            QCOMPARE(SqliteFixture::dumpAll(m_yearDb), database);
        } else {
            QVector<Account> rows = accounts(FiveCodes, after);
            QCOMPARE(SqliteFixture::dump(m_yearDb, QStringLiteral("code")), dumpOf(rows));
            rows.erase(std::remove_if(rows.begin(), rows.end(), [](const Account &a) { return a.flag == 9; }),
                       rows.end());
            QCOMPARE(SqliteFixture::dump(m_yearDb, QStringLiteral("written")), dumpOf(rows));
        }
    }

    void inputDuringWalkIsRefused_data()
    {
        QTest::addColumn<QString>("input");
        QTest::newRow("second press of Command2") << QStringLiteral("Command2");
        QTest::newRow("press of Command1") << QStringLiteral("Command1");
        QTest::newRow("keys into Combo3") << QStringLiteral("keys");
        QTest::newRow("input method into Combo3") << QStringLiteral("input method");
        QTest::newRow("text dropped on Combo3") << QStringLiteral("drop");
    }

    // The one walk goes on to the end as if nothing had come: no box, the choice as it was.
    void inputDuringWalkIsRefused()
    {
        QFETCH(QString, input);
        const BigChart big;
        OPEN_WINDOW(ChartScript + insertScript(big.stored));
        const QString accountSet = m_form->Combo3->currentText();
        const QStringList years = entries(m_form->Combo5);
        QMimeData dropped;
        dropped.setText(QStringLiteral("002"));

        QString reached;
        const auto timer = whenWalkReaches(big.chart.at(1000).code, reached, [&] {
            QLineEdit *edit = m_form->Combo3->lineEdit();
            if (input == QLatin1String("Command2") || input == QLatin1String("Command1")) {
                postClick(input == QLatin1String("Command2") ? m_form->Command2 : m_form->Command1);
            } else if (input == QLatin1String("keys")) {
                postKey(edit, Qt::Key_A, QString(), Qt::ControlModifier);
                for (const Qt::Key key : {Qt::Key_0, Qt::Key_0, Qt::Key_2})
                    postKey(edit, key, QString(QChar(key)));
            } else if (input == QLatin1String("input method")) {
                auto *event = new QInputMethodEvent;
                event->setCommitString(QStringLiteral("第二"));
                QCoreApplication::postEvent(edit, event);
            } else {  // a drag comes in, moves and drops
                const QPoint at(2, 2);
                const auto action = Qt::CopyAction;
                QCoreApplication::postEvent(edit, new QDragEnterEvent(at, action, &dropped, Qt::LeftButton, {}));
                QCoreApplication::postEvent(edit, new QDragMoveEvent(at, action, &dropped, Qt::LeftButton, {}));
                QCoreApplication::postEvent(edit, new QDropEvent(at, action, &dropped, Qt::LeftButton, {}));
            }
        });
        pressCommand2();
        QVERIFY(!reached.isEmpty());

        QCOMPARE(m_form->Label1->text(), Done);
        QCOMPARE(MessageBox::takeShown().size(), 0);
        QCOMPARE(m_form->Combo3->currentText(), accountSet);
        QCOMPARE(m_form->Combo4->currentText(), QStringLiteral("001"));
        QCOMPARE(entries(m_form->Combo5), years);
        QCOMPARE(SqliteFixture::dump(m_yearDb, QStringLiteral("code")), big.tableAfter(int(big.chart.size())));
        QCOMPARE(SqliteFixture::dump(m_yearDb, QStringLiteral("written")), dumpOf(big.chart));
    }

    void closeStopsWalk_data()
    {
        QTest::addColumn<bool>("posted");
        QTest::newRow("close()") << false;
        QTest::newRow("posted close event") << true;
    }

    // The window closes once the row in hand is written: a prefix of the chart in code order has
    // its new flags, every other row its old one.
    void closeStopsWalk()
    {
        QFETCH(bool, posted);
        const BigChart big;
        OPEN_WINDOW(ChartScript + insertScript(big.stored));
        QString reached;
        const auto timer = whenWalkReaches(big.chart.at(1000).code, reached, [&] {
            if (posted)
                QCoreApplication::postEvent(m_form.get(), new QCloseEvent);
            else
                m_form->close();
        });
        pressCommand2();
        QTRY_VERIFY(!m_form->isVisible());
        QVERIFY(!reached.isEmpty());
        QCOMPARE(MessageBox::takeShown().size(), 0);

        const QString written = SqliteFixture::dump(m_yearDb, QStringLiteral("written"));
        const int k = int(written.count(QLatin1Char('\n')));
        const int current = big.position.value(reached);
        // Stopped after the row shown when the close came (a queued close arrives one row later).
        QVERIFY2(k >= current + 1 && k <= current + 1 + int(posted),
                 qPrintable(QStringLiteral("%1 rows written, close at row %2").arg(k).arg(current)));
        QCOMPARE(written, dumpOf(big.chart.mid(0, k)));
        QCOMPARE(SqliteFixture::dump(m_yearDb, QStringLiteral("code")), big.tableAfter(k));
        QCOMPARE(m_form->Label1->text(), Working + big.chart.at(k - 1).code);
    }
};

QTEST_MAIN(tst_EndFlag)
#include "tst_end_flag.moc"
