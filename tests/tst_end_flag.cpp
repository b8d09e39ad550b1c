// The end-flag repair ("彻底根除"), driven through the real window on real SQLite files: the
// flags it writes, the boxes it shows, and what happens when the user presses, types or closes
// the window while the walk runs.
#include "app/Form1.h"
#include "app/MessageBox.h"
#include "demo/ChartOfAccounts.h"
#include "support/FormDriver.h"
#include "support/SqliteFixture.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
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

// Account set 001 has the years 2006 (no database file) and 2007; 002 has 2008; the third
// account set has an empty number.
const QString SystemScript = QStringLiteral(
    "create table KS_Account(cAcc_Id TEXT, cAcc_Name TEXT);"
    "insert into KS_Account values('001','演示帐套'),('002','第二帐套'),('','未编号');"
    "create table KS_period(cacc_id TEXT, iyear INTEGER, iperiod INTEGER, bisdelete INTEGER);"
    "insert into KS_period values('001',2006,1,0),('001',2007,1,0),('002',2008,1,0),('',2007,1,0);");

// The chart, and a log a trigger fills with every row written to it, in the order written.
const QString ChartScript = QStringLiteral(
    "create table code(ccode TEXT, ccode_name TEXT, bend INTEGER);"
    "create table written(ccode TEXT, ccode_name TEXT, bend INTEGER);"
    "create trigger log_writes after update on code begin"
    " insert into written values(new.ccode, new.ccode_name, new.bend); end;");

struct Account {
    QString code;  // a null string is a NULL code
    QString name;
    int flag;      // -1: NULL
};

QString sqlValue(const QString &text)
{
    return text.isNull() ? QStringLiteral("NULL") : QLatin1Char('\'') + QString(text).replace(QLatin1Char('\''), QLatin1String("''")) + QLatin1Char('\'');
}

QString dumpValue(const QString &text)
{
    return text.isNull() ? QStringLiteral("NULL") : QStringLiteral("t:'") + text + QLatin1Char('\'');
}

// The accounts as SqliteFixture::dump prints them.
QString dumpOf(const QVector<Account> &rows)
{
    QString out;
    for (const Account &a : rows)
        out += dumpValue(a.code) + QLatin1Char('|') + dumpValue(a.name) + QLatin1Char('|')
            + (a.flag < 0 ? QStringLiteral("NULL") : QStringLiteral("i:%1").arg(a.flag)) + QLatin1Char('\n');
    return out;
}

QString insertScript(const QVector<Account> &rows)
{
    QString script;
    for (const Account &a : rows)
        script += QStringLiteral("insert into code values(%1,%2,%3);")
                      .arg(sqlValue(a.code), sqlValue(a.name), a.flag < 0 ? QStringLiteral("NULL") : QString::number(a.flag));
    return script;
}

// Codes in code order with their old and their right flags.
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

// A mouse press and release at the centre of `widget`, queued as the window system would.
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
    QCoreApplication::postEvent(widget, new QKeyEvent(QEvent::KeyPress, key, modifiers, text));
    QCoreApplication::postEvent(widget, new QKeyEvent(QEvent::KeyRelease, key, modifiers, text));
}

} // namespace

// Sets the scene; a test stops at once when that failed.
#define OPEN_WINDOW(...)                      \
    do {                                      \
        openWindow(__VA_ARGS__);              \
        if (QTest::currentTestFailed())       \
            return;                           \
    } while (false)

class tst_EndFlag : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Form1> m_form;
    QString m_yearDb;

    // Creates the databases, the window, and picks account set 001 and, unless empty, `year`.
    void openWindow(const QString &yearScript, const QString &year = QStringLiteral("2007"), int accountSet = 0)
    {
        m_dir = std::make_unique<QTemporaryDir>();
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
            const int row = m_form->Combo5->findText(year);
            QVERIFY(row >= 0);
            FormDriver::pickFromList(m_form->Combo5, row);
            QCOMPARE(m_form->Combo5->currentText(), year);
        }
        QCOMPARE(MessageBox::takeShown().size(), 0);
    }

    void pressCommand2() { QTest::mouseClick(m_form->Command2, Qt::LeftButton); }

    // Runs `action` once, while the walk shows a code at or beyond `code`; records that code.
    std::unique_ptr<QTimer> whenWalkReaches(const QString &code, QString &reached, std::function<void()> action)
    {
        auto timer = std::make_unique<QTimer>();
        timer->setInterval(0);
        QTimer *t = timer.get();
        connect(t, &QTimer::timeout, this, [this, t, code, &reached, action] {
            const QString caption = m_form->Label1->text();
            if (!caption.startsWith(Working) || caption.mid(Working.size()) < code)
                return;
            t->stop();
            reached = caption.mid(Working.size());
            action();
        });
        timer->start();
        return timer;
    }

    // A chart of 3000 accounts, stored in scrambled row order with the wrong flag 9 everywhere.
    // Returns the accounts in code order with their right flags; `stored` gets the row order.
    QVector<Account> openBigChart(QVector<Account> &stored)
    {
        QVector<Account> chart;
        for (const ChartAccount &a : generateChart(3000, {4, 2, 2, 2}))
            chart.append({a.code, a.name, a.endLevel ? 1 : 0});
        std::sort(chart.begin(), chart.end(), [](const Account &a, const Account &b) { return a.code < b.code; });
        stored.clear();
        for (int i = 0; i < chart.size(); ++i)
            stored.append({chart.at((i * 7919) % chart.size()).code, chart.at((i * 7919) % chart.size()).name, 9});
        openWindow(ChartScript + QStringLiteral("begin;") + insertScript(stored) + QStringLiteral("commit;"));
        return chart;
    }

private slots:
    void rewritesEveryFlag_data()
    {
        QTest::addColumn<QStringList>("codes");  // in code order
        QTest::addColumn<QList<int>>("before");
        QTest::addColumn<QList<int>>("after");

        QTest::newRow("empty chart") << QStringList() << QList<int>() << QList<int>();
        QTest::newRow("chain") << QStringList{"1011", "101101", "10110101"} << QList<int>{1, 1, 0}
                               << QList<int>{0, 0, 1};
        QTest::newRow("no code begins another") << QStringList{"1001", "1002", "10030101", "2001"}
                                                << QList<int>{0, 0, -1, 0} << QList<int>{1, 1, 1, 1};
        QTest::newRow("flags already right") << QStringList{"1001", "100101", "100102", "1002"}
                                             << QList<int>{0, 1, 1, 1} << QList<int>{0, 1, 1, 1};
        QTest::newRow("quotes") << QStringList{"10", "10'1", "10'11", "10'2"} << QList<int>{9, 9, 9, 9}
                                << QList<int>{0, 0, 1, 1};
        QTest::newRow("NULL and empty codes") << QStringList{QString(), QStringLiteral(""), "1001", "100101"}
                                              << QList<int>{9, 9, 9, 9} << QList<int>{1, 0, 0, 1};
    }

    // Every row is written once, in code order (rows are stored in the reverse order), with 1
    // when no longer code begins with its code.
    void rewritesEveryFlag()
    {
        QFETCH(QStringList, codes);
        QFETCH(QList<int>, before);
        QFETCH(QList<int>, after);
        const QVector<Account> old = accounts(codes, before), fixed = accounts(codes, after);
        OPEN_WINDOW(ChartScript + insertScript(reversed(old)));

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

    // Only the box; no connection is made (that would show a connection box: neither
    // LQDATA_001_ nor LQDATA__2007 exists), nothing is written, the status line stays.
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

    void missingCodeTable()
    {
        OPEN_WINDOW(QStringLiteral("create table GL_accsum(ccode TEXT, iperiod INTEGER, mb REAL, md REAL, mc REAL);"
                                  "insert into GL_accsum values('1001',1,5,6,7);"));
        const QString database = SqliteFixture::dumpAll(m_yearDb);
        pressCommand2();
        const QList<MessageBox::Shown> shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown[0].prompt.startsWith(FailurePrefix), qPrintable(shown[0].prompt));
        QVERIFY2(shown[0].prompt.contains(QLatin1String("no such table: code")), qPrintable(shown[0].prompt));
        QCOMPARE(shown[0].style, 16);
        QCOMPARE(m_form->Label1->text(), QString());
        QCOMPARE(SqliteFixture::dumpAll(m_yearDb), database);
        // The program goes on: the same button works once the table is there.
        SqliteFixture::run(m_yearDb, ChartScript + insertScript(accounts({"1001", "100101"}, {9, 9})));
        pressCommand2();
        QCOMPARE(m_form->Label1->text(), Done);
        QCOMPARE(SqliteFixture::dump(m_yearDb, QStringLiteral("code")), dumpOf(accounts({"1001", "100101"}, {0, 1})));
    }

    // A write refused in the middle: the flags before it stay, the rest are untouched.
    void writeRefusedMidWalk()
    {
        const QStringList codes{"1001", "100101", "1002", "100201", "2001"};
        OPEN_WINDOW(ChartScript + insertScript(accounts(codes, {9, 9, 9, 9, 9}))
                   + QStringLiteral("create trigger refuse before update on code when old.ccode='1002' begin"
                                    " select raise(abort, '拒绝修改1002'); end;"));
        pressCommand2();
        const QList<MessageBox::Shown> shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown[0].prompt.startsWith(FailurePrefix), qPrintable(shown[0].prompt));
        QVERIFY2(shown[0].prompt.contains(QStringLiteral("拒绝修改1002")), qPrintable(shown[0].prompt));
        QCOMPARE(shown[0].style, 16);
        QCOMPARE(m_form->Label1->text(), Working + QStringLiteral("1002"));
        QCOMPARE(SqliteFixture::dump(m_yearDb, QStringLiteral("code")), dumpOf(accounts(codes, {0, 1, 9, 9, 9})));
        QCOMPARE(SqliteFixture::dump(m_yearDb, QStringLiteral("written")), dumpOf(accounts(codes.mid(0, 2), {0, 1})));
    }

    void yearWithoutDatabase()
    {
        OPEN_WINDOW(ChartScript + insertScript(accounts({"1001"}, {9})), QStringLiteral("2006"));
        const QString database = SqliteFixture::dumpAll(m_yearDb);
        pressCommand2();
        const QList<MessageBox::Shown> shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 2);
        QVERIFY2(shown[0].prompt.startsWith(QStringLiteral("数据库LQDATA_001_2006连接错误")), qPrintable(shown[0].prompt));
        QCOMPARE(shown[0].title, QStringLiteral("数据库连接错误"));
        QCOMPARE(shown[0].style, 16);
        QVERIFY2(shown[1].prompt.startsWith(FailurePrefix), qPrintable(shown[1].prompt));
        QCOMPARE(shown[1].style, 16);
        QCOMPARE(m_form->Label1->text(), QString());
        QCOMPARE(SqliteFixture::dumpAll(m_yearDb), database);
    }

    void inputDuringWalkIsRefused_data()
    {
        QTest::addColumn<QString>("input");
        QTest::newRow("second press of Command2") << QStringLiteral("Command2");
        QTest::newRow("press of Command1") << QStringLiteral("Command1");
        QTest::newRow("keys into Combo3") << QStringLiteral("keys");
        QTest::newRow("input method into Combo3") << QStringLiteral("ime");
    }

    // The walk goes on to the end as if nothing had come: one walk, no box, the choice as it was.
    void inputDuringWalkIsRefused()
    {
        QFETCH(QString, input);
        QVector<Account> stored;
        const QVector<Account> chart = openBigChart(stored);
        if (QTest::currentTestFailed())
            return;
        const QString accountSet = m_form->Combo3->currentText();
        QStringList years;
        for (int i = 0; i < m_form->Combo5->count(); ++i)
            years << m_form->Combo5->itemText(i);

        QString reached;
        const auto timer = whenWalkReaches(chart.at(1000).code, reached, [&] {
            QLineEdit *edit = m_form->Combo3->lineEdit();
            if (input == QLatin1String("Command2")) {
                postClick(m_form->Command2);
            } else if (input == QLatin1String("Command1")) {
                postClick(m_form->Command1);
            } else if (input == QLatin1String("keys")) {
                postKey(edit, Qt::Key_A, QString(), Qt::ControlModifier);
                postKey(edit, Qt::Key_0, QStringLiteral("0"));
                postKey(edit, Qt::Key_0, QStringLiteral("0"));
                postKey(edit, Qt::Key_2, QStringLiteral("2"));
            } else {
                auto *event = new QInputMethodEvent;
                event->setCommitString(QStringLiteral("第二"));
                QCoreApplication::postEvent(edit, event);
            }
        });
        pressCommand2();
        QVERIFY(!reached.isEmpty());

        QCOMPARE(m_form->Label1->text(), Done);
        QCOMPARE(MessageBox::takeShown().size(), 0);
        QCOMPARE(m_form->Combo3->currentText(), accountSet);
        QCOMPARE(m_form->Combo4->currentText(), QStringLiteral("001"));
        QStringList yearsAfter;
        for (int i = 0; i < m_form->Combo5->count(); ++i)
            yearsAfter << m_form->Combo5->itemText(i);
        QCOMPARE(yearsAfter, years);
        QVector<Account> fixedStored = stored;
        for (Account &a : fixedStored)
            a.flag = std::find_if(chart.begin(), chart.end(), [&](const Account &c) { return c.code == a.code; })->flag;
        QCOMPARE(SqliteFixture::dump(m_yearDb, QStringLiteral("code")), dumpOf(fixedStored));
        QCOMPARE(SqliteFixture::dump(m_yearDb, QStringLiteral("written")), dumpOf(chart));
    }

    void closeStopsWalk_data()
    {
        QTest::addColumn<bool>("posted");
        QTest::newRow("close()") << false;
        QTest::newRow("posted close event") << true;
    }

    // The window closes once the row in hand is written: a prefix of the chart in code order
    // has its new flags, every other row its old one.
    void closeStopsWalk()
    {
        QFETCH(bool, posted);
        QVector<Account> stored;
        const QVector<Account> chart = openBigChart(stored);
        if (QTest::currentTestFailed())
            return;
        QString reached;
        const auto timer = whenWalkReaches(chart.at(1000).code, reached, [&] {
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
        const int current = int(std::find_if(chart.begin(), chart.end(),
                                             [&](const Account &a) { return a.code == reached; })
                                - chart.begin());
        // Stopped after the row shown when the close came (or, for a queued close, the next).
        QVERIFY2(k >= current + 1 && k <= current + 1 + int(posted), qPrintable(QStringLiteral("%1 rows written, close at row %2").arg(k).arg(current)));
        QCOMPARE(written, dumpOf(chart.mid(0, k)));
        QVector<Account> expected = stored;
        for (Account &a : expected) {
            const int at = int(std::find_if(chart.begin(), chart.end(), [&](const Account &c) { return c.code == a.code; })
                               - chart.begin());
            if (at < k)
                a.flag = chart.at(at).flag;
        }
        QCOMPARE(SqliteFixture::dump(m_yearDb, QStringLiteral("code")), dumpOf(expected));
        QCOMPARE(m_form->Label1->text(), Working + chart.at(k - 1).code);
    }
};

QTEST_MAIN(tst_EndFlag)
#include "tst_end_flag.moc"
