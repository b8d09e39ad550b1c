// The journal window on a real X server (Xvfb, Qt's xcb platform), with real message boxes answered
// by real key presses: what it lists for a folder of journals of each outcome, as painted on the
// screen; a balance reset undone through the confirmation box, value for value; a second undo of it
// refused.
#include "support/DataFiles.h"
#include "support/BoxAnswerer.h"
#include "support/FormDriver.h"
#include "support/JournalDriver.h"
#include "support/SqliteFixture.h"

#include "app/JournalWindow.h"
#include "app/MessageBox.h"
#include "app/RepairListModel.h"
#include "demo/DemoData.h"
#include "repair/BalanceReset.h"
#include "repair/EndFlagRepair.h"

#include <QtTest>
#include <QtWidgets>

namespace {

using JournalDriver::cell;
using JournalDriver::cellUnder;
using JournalDriver::shownWhole;
using JournalDriver::Walk;

const BoxAnswerer::Answer PressAltU = BoxAnswerer::press(Qt::Key_U, Qt::AltModifier);

}  // namespace

class X11JournalWindow : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<JournalWindow> m_window;
    QProcess m_walkRunner;

    QString balances() const { return yearDatabase(m_dir->path(), "007", "2031"); }

private slots:
    void initTestCase() { QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb")); }
    void cleanup()
    {
        m_walkRunner.kill();
        m_walkRunner.waitForFinished();
        m_window.reset();
        m_dir.reset();
    }

    // A folder with a journal of each outcome; the balance reset undone through the real boxes.
    void undoThroughTheRealBoxes()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        FormDriver::useDataDirectory(m_dir->path());
        MessageBox::setRecording(false);
        writeSystemDatabase(systemDatabase(m_dir->path()), {{"007", "异形", {2031}, {}}});
        QStringList chart;
        for (int i = 0; i < 3000; ++i)
            chart << QStringLiteral("insert into code values('%1', %2);").arg(7000 + i).arg(i % 3 ? "0" : "'1 '");
        SqliteFixture::run(balances(), "create table GL_accsum(ccode text, iperiod integer, mb real, mc real, md real);"
                                       "insert into GL_accsum values('1011', 2, 100.25, -0.01, 3);"
                                       "insert into GL_accsum values('1011', 4, 0.1, 0.2, 0.30000000000000004);"
                                       "insert into GL_accsum values('1011', 1, 77, 77, 77);"
                                       "create table code(ccode text, bend);"
                                           + chart.join(""));
        const QString untouched = SqliteFixture::dump(balances(), "GL_accsum");

        // a walk killed halfway, one stopped, one failed, one completed, and the reset last
        m_walkRunner.start(N3_WALK_RUNNER, {m_dir->path(), "2031", "8500"});
        QVERIFY(m_walkRunner.waitForReadyRead(120000) && m_walkRunner.readAll() == "holding\n");
        m_walkRunner.kill();
        QVERIFY(m_walkRunner.waitForFinished());
        Walk stopped(5), completed;
        QCOMPARE(repair::repairEndFlags("007", "2031", stopped).result, repair::RunResult::Stopped);
        // the walks before gave 7001 its flag: another program takes it back, and refuses its write
        SqliteFixture::run(balances(), "update code set bend=0 where ccode='7001';"
                                       "create trigger refuse before update on code when old.ccode = '7001'"
                                       " begin select raise(abort, '别动'); end;");
        QTest::qWait(2);
        QCOMPARE(repair::repairEndFlags("007", "2031", completed).result, repair::RunResult::Failed);
        SqliteFixture::run(balances(), "drop trigger refuse;");
        QTest::qWait(2);
        QCOMPARE(repair::repairEndFlags("007", "2031", completed).result, repair::RunResult::Completed);
        QTest::qWait(2);
        const repair::BalanceResetRun reset = repair::resetBalances("007", "2031", "1011", repair::resetPeriod("2"));
        QCOMPARE(reset.failure, QString());
        const QString afterReset = SqliteFixture::dump(balances(), "GL_accsum");
        QVERIFY(afterReset != untouched);

        m_window = std::make_unique<JournalWindow>();
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        m_window->activateWindow();  // no window manager to do it
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
        QTableView *list = m_window->repairList;
        QStringList outcomes;
        for (int row = 0; row < list->model()->rowCount(); ++row)
            outcomes << cellUnder(list, row, "修复") + ':' + cellUnder(list, row, "结果").section(QStringLiteral("："), 0, 0);
        QCOMPARE(outcomes, QStringList({"修正科目错误:完成", "彻底根除:完成", "彻底根除:在第 2 行失败",
                                        "彻底根除:写入 5 行后停止", "彻底根除:未记录结束"}));
        // the screen shows the list as the window paints it
        QTRY_VERIFY(list->viewport()->isVisible());
        const auto onScreen = [&] {
            const QRect area(list->viewport()->mapToGlobal(QPoint(0, 0)), list->viewport()->size());
            const QImage screen = m_window->screen()
                                      ->grabWindow(0, area.x(), area.y(), area.width(), area.height())
                                      .toImage()
                                      .convertToFormat(QImage::Format_RGB32);
            const QImage painted = list->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
            return screen.size() == painted.size() && screen == painted;
        };
        QTRY_VERIFY(onScreen());

        // Enter on the reset: the box's default 取消 takes Enter; then Alt+U undoes, and Enter
        // closes the result
        list->setFocus();
        QCOMPARE(list->selectionModel()->selectedRows().value(0).row(), 0);
        {
            BoxAnswerer answerer({PressEnter});
            QTest::keyClick(list, Qt::Key_Return);
            QTRY_COMPARE(answerer.shown.size(), 1);
            QVERIFY2(
                answerer.shown[0].startsWith(MessageBox::ApplicationTitle + "|撤销修复 " + reset.journal
                                             + "（修正科目错误，帐套 007，2031 年度（LQDATA_007_2031），科目 1011，2 月起）吗？"),
                qPrintable(answerer.shown[0]));
            QVERIFY2(answerer.shown[0].endsWith("|取消"), qPrintable(answerer.shown[0]));
        }
        QCOMPARE(SqliteFixture::dump(balances(), "GL_accsum"), afterReset);
        QCOMPARE(list->model()->rowCount(), 5);
        {
            BoxAnswerer answerer({PressAltU, PressEnter});
            QTest::keyClick(list, Qt::Key_Return);
            QTRY_COMPARE(answerer.shown.size(), 2);
            QCOMPARE(answerer.shown[1], MessageBox::ApplicationTitle + "|已撤销修复 " + reset.journal + "：恢复 2 行。|确定|确定");
        }
        QCOMPARE(SqliteFixture::dump(balances(), "GL_accsum"), untouched);
        // the rows read again after the undo show the old amounts and those written whole
        QTableView *rows = m_window->rowList;
        QTRY_COMPARE(rows->model()->rowCount(), 2);
        QTRY_VERIFY2(shownWhole(rows, 0, 2) && shownWhole(rows, 0, 3), qPrintable(cell(rows, 0, 2)));
        QCOMPARE(cell(rows, 0, 2), QStringLiteral("mb=100.25 mc=-0.01 md=3.00"));
        QCOMPARE(list->model()->rowCount(), 6);
        QCOMPARE(cellUnder(list, 0, "修复"), "撤销 " + reset.journal);
        QVERIFY(!m_window->undoButton->isEnabled());

        // a second undo of the same reset is refused, in a box of its own
        list->setFocus();
        QCOMPARE(cellUnder(list, list->selectionModel()->selectedRows().value(0).row(), "修复").left(7),
                 QStringLiteral("修正科目错误（"));
        {
            BoxAnswerer answerer({PressEnter});
            QTest::keyClick(list, Qt::Key_Return);
            QTRY_COMPARE(answerer.shown.size(), 1);
            QVERIFY2(answerer.shown[0].contains("已由 ") && answerer.shown[0].endsWith("撤销过，不再重复撤销。|确定|确定"),
                     qPrintable(answerer.shown[0]));
        }
        QCOMPARE(SqliteFixture::dump(balances(), "GL_accsum"), untouched);
        QCOMPARE(list->model()->rowCount(), 6);
    }
};

QTEST_MAIN(X11JournalWindow)
#include "tst_x11_journal_window.moc"
