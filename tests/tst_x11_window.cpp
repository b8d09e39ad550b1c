// What the screen shows, read back from a real X server (Xvfb, Qt's xcb platform): the status
// line while the end-flag walk runs and under the walk's failure box, the boxes of one pick from
// the account-set list once the system database is gone, the two boxes of a reset on a table
// with a trigger, and those of both repairs on a year that has no database. Message boxes are the
// real ones, each closed by a click on its button.
#include "support/DataFiles.h"
#include "support/BoxAnswerer.h"
#include "support/FormDriver.h"
#include "support/SqliteFixture.h"

#include "app/Form1.h"
#include "app/MessageBox.h"
#include "demo/DemoData.h"
#include "repair/Journal.h"
#include "repair/JournalReader.h"

#include <QtTest>
#include <QtWidgets>

#include <memory>

static const QString Working = QStringLiteral("正在修复");

class tst_X11Window : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Form1> m_form;
    QVector<ChartAccount> m_chart;
    QImage m_blank;  // the status line as the window paints it with no caption

    QString data(const QString &name) const { return m_dir->filePath(name); }

    // Account set 001 with the year 2007 and a chart of `codes` accounts, and 002; the window
    // opened on them, with real message boxes and, with `pick`, 001 and 2007 picked from the lists.
    // A window on a chart of `codes` codes, about `wrongShare` of their flags wrong.
    bool openWindow(int codes, bool pick, double wrongShare = 0.1)
    {
        m_dir =
            std::make_unique<QTemporaryDir>((QDir("/dev/shm").exists() ? "/dev/shm" : QDir::tempPath()) + "/tst_x11_window-XXXXXX");
        writeSystemDatabase(systemDatabase(m_dir->path()), {{"001", "演示", {2007}, {}}, {"002", "第二", {2008}, {}}});
        m_chart = generateChart(codes, {4, 2, 2, 2});
        writeAccountSetDatabase(yearDatabase(m_dir->path()), m_chart, wrongShare, 7);
        FormDriver::useDataDirectory(m_dir->path());
        MessageBox::setRecording(false);
        m_form = FormDriver::openWindow();
        if (!m_form)
            return false;
        m_form->activateWindow();  // no window manager to do it
        if (!QTest::qWaitForWindowActive(m_form.get()))
            return false;
        if (pick) {
            FormDriver::pickFromList(m_form->Combo3, 0);
            FormDriver::pickFromList(m_form->Combo5, 0);
        }
        // the status line is empty until a walk: as the window paints it, it is the empty line
        m_blank = m_form->grab(m_form->Label1->geometry()).toImage().convertToFormat(QImage::Format_RGB32);
        return !QTest::currentTestFailed() && (!pick || m_form->Combo5->currentText() == "2007");
    }

    // Label1's area of the screen, read from the X server.
    QImage statusLineOnScreen() const
    {
        const QRect area(m_form->Label1->mapToGlobal(QPoint(0, 0)), m_form->Label1->size());
        return m_form->screen()
            ->grabWindow(0, area.x(), area.y(), area.width(), area.height())
            .toImage()
            .convertToFormat(QImage::Format_RGB32);
    }

    // Label1 painted with its caption onto the empty status line, off the screen, by a label of
    // the same kind: the window's own label cannot be painted off the screen while the walk keeps
    // its updates off.
    QImage statusLineExpected() const
    {
        const QLabel *label = m_form->Label1;
        QLabel probe(label->text());
        probe.setFont(label->font());
        probe.setPalette(label->palette());
        probe.setAlignment(label->alignment());
        probe.resize(label->size());
        QImage image = m_blank.copy();
        probe.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
        return image;
    }

    // Within `part` of the status line (label coordinates): -1 when the screen differs from the
    // status line painted with its caption, else the pixels of text the screen shows there.
    int textShown(const QRegion &part) const
    {
        const QImage screen = statusLineOnScreen(), expected = statusLineExpected();
        if (screen.size() != m_blank.size())
            return -1;
        const auto differ = [](QRgb a, QRgb b) {
            return std::max({qAbs(qRed(a) - qRed(b)), qAbs(qGreen(a) - qGreen(b)), qAbs(qBlue(a) - qBlue(b))}) > 64;
        };
        int strokes = 0;
        for (const QRect &rect : part &m_blank.rect())
            for (int y = rect.top(); y <= rect.bottom(); ++y)
                for (int x = rect.left(); x <= rect.right(); ++x) {
                    if (differ(screen.pixel(x, y), expected.pixel(x, y)))
                        return -1;
                    strokes += differ(expected.pixel(x, y), m_blank.pixel(x, y));
                }
        return strokes;
    }
    // Whether the screen shows the caption within `part`: as painted, and with text there.
    bool showsCaption(const QRegion &part) const { return textShown(part) >= 20; }

private slots:
    void initTestCase() { QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb")); }
    void cleanup()
    {
        m_form.reset();
        m_dir.reset();
    }

    // During a walk of 20,000 codes, every flag wrong so that every row is written, the screen
    // shows "正在修复" in the status line each time the test looks (every 20 ms, when the walk
    // hands the window its events), but for the first look, which may come before the walk's
    // first frame; at the end it shows the final caption.
    void statusLineShownDuringTheWalk()
    {
        QVERIFY(openWindow(20000, true, 1.0));
        QTRY_COMPARE(textShown(m_blank.rect()), 0);
        const QRect prefix(0, 0, m_form->Label1->fontMetrics().horizontalAdvance(Working), m_blank.height());
        QList<bool> seen;
        QTimer timer;
        connect(&timer, &QTimer::timeout, this, [&] {
            if (m_form->Label1->text().startsWith(Working))
                seen << showsCaption(prefix);
        });
        timer.start(20);
        QTest::mouseClick(m_form->Command2, Qt::LeftButton);
        timer.stop();
        QVERIFY2(seen.size() >= 5 && !seen.mid(1).contains(false), qPrintable(QDebug::toString(seen)));
        QCOMPARE(m_form->Label1->text(), QStringLiteral("修复完毕复"));
        QTRY_VERIFY(showsCaption(m_blank.rect()));
    }

    // A write refused halfway through the walk: while the failure box is up, the status line shows
    // the failing row's caption wherever the box leaves it uncovered, also once the box is moved.
    void statusLineShownUnderTheFailureBox()
    {
        QVERIFY(openWindow(4000, true));
        const QString refused = m_chart[2000].code;
        // its flag is wrong, so the walk writes it
        SqliteFixture::run(yearDatabase(m_dir->path()), "update code set bend=9 where ccode='" + refused
                                                            + "';"
                                                              "create trigger refuse before update on code when old.ccode='"
                                                            + refused + "' begin select raise(abort, '拒绝'); end;");
        bool shown = false;
        BoxAnswerer closer({[&](QWidget *box) {
            const QRect label(m_form->Label1->mapToGlobal(QPoint(0, 0)), m_form->Label1->size());
            // a long message's box may hide the whole line: moved down as a user would, it uncovers it
            box->move(box->x(), label.bottom() + 40);
            const QRegion uncovered = QRegion(label).subtracted(box->frameGeometry()).translated(-label.topLeft());
            shown = QTest::qWaitFor([&] { return showsCaption(uncovered); });
            BoxAnswerer::click("确定")(box);
        }});
        QTest::mouseClick(m_form->Command2, Qt::LeftButton);
        QCOMPARE(closer.shown.size(), 1);
        QVERIFY2(closer.shown[0].startsWith(MessageBox::ApplicationTitle + "|重建末级科目标志时出错：\r\n拒绝"),
                 qPrintable(closer.shown[0]));
        QVERIFY(closer.shown[0].endsWith("|确定"));
        QCOMPARE(m_form->Label1->text(), Working + refused);
        QVERIFY(shown);
        QTRY_VERIFY(showsCaption(m_blank.rect()));
    }

    // One pick from the account-set list with LQsystem.db gone: the connection box, then the
    // read error, each once.
    void pickWithoutSystemDatabaseShowsTwoBoxes()
    {
        QVERIFY(openWindow(40, false));
        QVERIFY(QFile::remove(systemDatabase(m_dir->path())));
        BoxAnswerer closer({BoxAnswerer::click("确定"), BoxAnswerer::click("确定")});
        FormDriver::pickFromList(m_form->Combo3, 1);
        QCoreApplication::processEvents();
        QCOMPARE(closer.shown.size(), 2);
        QVERIFY2(closer.shown[0].startsWith("数据库连接错误|数据库LQsystem连接错误 "), qPrintable(closer.shown[0]));
        QVERIFY2(closer.shown[1].startsWith(MessageBox::ApplicationTitle + "|读取会计年度时出错："), qPrintable(closer.shown[1]));
        QVERIFY(closer.shown[0].endsWith("|确定") && closer.shown[1].endsWith("|确定"));
    }

    // Both repairs on a year with no database: first the connection box, critical, with the
    // prompt and title the window always had, then the repair's own failure; nothing is written,
    // no journal either, and the status line stays empty.
    void repairsOnAMissingDatabaseShowTheConnectionBoxFirst()
    {
        QVERIFY(openWindow(40, true));
        FormDriver::typeOver(m_form->Combo5, "2006");
        QTest::keyClicks(m_form->txtCode, "1001");
        const QMap<QString, QByteArray> before = SqliteFixture::dumpDirectory(m_dir->path());
        const QString connectionBox = "数据库连接错误|数据库LQDATA_001_2006连接错误 \r\n数据库文件不存在：" + m_dir->path()
                                      + "/LQDATA_001_2006.db\r\n请正确配置数数据连接|确定|确定";
        QStringList icons;
        const BoxAnswerer::Answer ok = [&icons](QWidget *box) {
            icons << (qobject_cast<QMessageBox *>(box)->icon() == QMessageBox::Critical ? "critical" : "none");
            BoxAnswerer::click("确定")(box);
        };
        {
            BoxAnswerer closer({ok, ok});
            QTest::mouseClick(m_form->Command1, Qt::LeftButton);
            QCoreApplication::processEvents();
            QCOMPARE(closer.shown, QStringList({connectionBox, "N3新会计制度科目增加工具|修复失败！|确定|确定"}));
            QCOMPARE(icons, QStringList({"critical", "none"}));
        }
        icons.clear();
        {
            BoxAnswerer closer({ok, ok});
            QTest::mouseClick(m_form->Command2, Qt::LeftButton);
            QCoreApplication::processEvents();
            QCOMPARE(closer.shown, QStringList({connectionBox, "N3新会计制度科目增加工具|重建末级科目标志时出错：\r\n"
                                                               "数据库连接未打开，无法执行操作。|确定|确定"}));
            QCOMPARE(icons, QStringList({"critical", "critical"}));
        }
        QCOMPARE(m_form->Label1->text(), QString());
        QCOMPARE(SqliteFixture::dumpDirectory(m_dir->path()), before);
        QCOMPARE(repair::listRepairs(repair::journalDirectory()).size(), 0);
    }

    // A balance reset on a GL_accsum with a trigger: 修复成功！, then the box that names the
    // trigger, each a real box on the screen, each once.
    void resetNamesTheTriggerInASecondBox()
    {
        QVERIFY(openWindow(40, true));
        const QString code =
            SqliteFixture::select(yearDatabase(m_dir->path()), "select ccode from GL_accsum limit 1").section('\'', 1, 1);
        SqliteFixture::run(yearDatabase(m_dir->path()), "create table audit(ccode TEXT); create trigger audit_writes after update"
                                                        " on GL_accsum begin insert into audit values(new.ccode); end;");
        QTest::keyClicks(m_form->txtCode, code);
        BoxAnswerer closer({BoxAnswerer::click("确定"), BoxAnswerer::click("确定")});
        QTest::mouseClick(m_form->Command1, Qt::LeftButton);
        QCoreApplication::processEvents();
        QCOMPARE(closer.shown.size(), 2);
        QCOMPARE(closer.shown[0], MessageBox::ApplicationTitle + "|修复成功！|确定|确定");
        QVERIFY2(closer.shown[1].startsWith(MessageBox::ApplicationTitle + "|数据表 GL_accsum 上有触发器 audit_writes："),
                 qPrintable(closer.shown[1]));
        QVERIFY(closer.shown[1].endsWith("|确定"));
    }
};

QTEST_MAIN(tst_X11Window)
#include "tst_x11_window.moc"
