#include "WindowHub.h"

#include "CheckWindow.h"
#include "Form1.h"
#include "JournalWindow.h"

#include <QCoreApplication>
#include <QPointer>
#include <QProcess>

namespace WindowHub {

namespace {

// Every kind of window, for deleteAll().
constexpr Window Windows[] = {Window::Main, Window::Check, Window::Journal};

// The window of each kind this process has open, if any.
QPointer<QWidget> &slot(Window window)
{
    static QPointer<QWidget> main, check, journal;
    switch (window) {
    case Window::Main:
        return main;
    case Window::Check:
        return check;
    case Window::Journal:
        break;
    }
    return journal;
}

QWidget *create(Window window)
{
    switch (window) {
    case Window::Main:
        return new Form1;
    case Window::Check:
        return new CheckWindow;
    case Window::Journal:
        break;
    }
    return new JournalWindow;
}

}  // namespace

QWidget *open(Window window)
{
    // A window closed is hidden until its deletion comes round: it counts as gone already.
    QWidget *widget = slot(window);
    return widget && widget->isVisible() ? widget : nullptr;
}

QWidget *show(Window window)
{
    QWidget *widget = open(window);
    if (!widget) {
        widget = create(window);
        widget->setAttribute(Qt::WA_DeleteOnClose);
        slot(window) = widget;
    }
    widget->setWindowState(widget->windowState() & ~Qt::WindowMinimized);
    widget->show();
    widget->raise();
    widget->activateWindow();
    return widget;
}

QString chooseData()
{
    QProcess program;
    program.setProgram(QCoreApplication::applicationFilePath());
    program.setArguments({QStringLiteral("--choose-data")});
    return program.startDetached() ? QString() : program.errorString();
}

void deleteAll()
{
    for (const Window window : Windows)
        delete slot(window);
}

}  // namespace WindowHub
