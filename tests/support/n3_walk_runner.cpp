// Test helper: the tool as a person runs it, in a process of its own that a test can kill.
// Opens the window on the data directory argv[1], picks the first account set and the year
// argv[2] from the lists, presses 彻底根除, and prints "walking" once the walk is under way.
// Once the walk reaches the code argv[3] it holds there, between two rows, until it is killed,
// so that a test's kill always finds the walk unfinished.
#include "tests/support/FormDriver.h"

#include "app/Form1.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <cstdio>
#include <utility>

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 4)
        return 2;
    const QString holdAt = QString::fromLocal8Bit(argv[3]);
    FormDriver::useDataDirectory(QString::fromLocal8Bit(argv[1]));
    Form1 form;
    form.show();
    if (!QTest::qWaitForWindowExposed(&form))
        return 3;
    FormDriver::pickFromList(form.Combo3, 0);
    const int year = form.Combo5->findText(QString::fromLocal8Bit(argv[2]));
    if (year < 0)
        return 4;
    FormDriver::pickFromList(form.Combo5, year);

    // The walk hands the window its events once per row; the first tick after the status
    // line shows a code means at least one row has been written.
    QTimer ticker;
    bool walking = false;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const QString caption = form.Label1->text();
        if (!caption.startsWith(QStringLiteral("正在修复")))
            return;
        if (!std::exchange(walking, true)) {
            std::puts("walking");
            std::fflush(stdout);
        }
        if (caption.mid(4) >= holdAt)
            while (std::getchar() != EOF) {
            }
    });
    ticker.start(0);
    QTest::mouseClick(form.Command2, Qt::LeftButton);
    std::puts(form.Label1->text().toUtf8().constData());
    return 0;
}
