// Test helper: the tool in a process of its own that a test can kill. Opens the window on the
// data directory argv[1], picks the first account set and the year argv[2], presses 彻底根除,
// and once the walk's status line reaches the code argv[3] prints "holding" and holds there,
// between two rows, until killed, so a kill always finds the walk unfinished. Exits 0 when the
// walk ends with 修复完毕复.
#include "tests/support/FormDriver.h"

#include "app/Form1.h"

#include <QtTest>
#include <QtWidgets>

#include <cstdio>

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 4)
        return 2;
    FormDriver::useDataDirectory(QString::fromLocal8Bit(argv[1]));
    Form1 form;
    form.show();
    if (!QTest::qWaitForWindowExposed(&form))
        return 3;
    FormDriver::pickFromList(form.Combo3, 0);
    FormDriver::pickFromList(form.Combo5, form.Combo5->findText(QString::fromLocal8Bit(argv[2])));
    QTimer ticker;  // the walk hands the window its events once per row
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        if (form.Label1->text().startsWith(QStringLiteral("正在修复"))
            && form.Label1->text().mid(4) >= QString::fromLocal8Bit(argv[3])) {
            std::puts("holding");
            std::fflush(stdout);
            while (std::getchar() != EOF) {
            }
        }
    });
    ticker.start(0);
    QTest::mouseClick(form.Command2, Qt::LeftButton);
    return form.Label1->text() == QStringLiteral("修复完毕复") ? 0 : 5;
}
