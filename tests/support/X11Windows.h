#pragma once

#include <QImage>
#include <QList>
#include <QSize>
#include <QRect>
#include <QString>

// The windows of every program on the X server the test runs on, read as a window manager or a
// person would see them, with the X utilities (xwininfo, xprop) as real processes: a window
// another process shows can be found by its title and its icon read.
namespace X11Windows {

// The titles of the top-level windows, in the server's stacking order.
QStringList titles();

// Waits up to `ms` milliseconds for a window titled `title` to be on the screen; gives its id
// (0x...), or nothing.
QString waitFor(const QString &title, int ms = 30000);

// The size of the window `windowId`, as the X server holds it.
QSize size(const QString &windowId);

// Keys pressed for real (XTest, by xdotool) into the window `id` of another program, which gets the
// keyboard first as from a window manager, once it is on the screen; false when it never does.
// `keys` as xdotool names them: "ctrl+w", "alt+r", "F5".
bool pressIn(const QString &windowId, const QString &keys);

// The process that shows the window, as it tells the window manager (_NET_WM_PID); 0 if unknown.
qint64 processOf(const QString &windowId);
// Where a window is on the screen, its frame's decorations aside; empty when there is no such
// window.
QRect frame(const QString &windowId);

// The images a window offers the window manager as its icon (_NET_WM_ICON), in the order given.
QList<QImage> icons(const QString &windowId);

}  // namespace X11Windows
