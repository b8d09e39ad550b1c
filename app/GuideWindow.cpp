#include "GuideWindow.h"

#include <QPointer>

GuideWindow::GuideWindow(QWidget *parent)
    : QWidget(parent)
{
    setWindowTitle(QStringLiteral("使用说明"));
    setAttribute(Qt::WA_DeleteOnClose);
}

GuideWindow *GuideWindow::showGuide()
{
    static QPointer<GuideWindow> open;
    if (!open)
        open = new GuideWindow;
    open->show();
    open->raise();
    open->activateWindow();
    return open;
}
