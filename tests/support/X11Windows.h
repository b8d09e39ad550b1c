#pragma once

#include <QImage>
#include <QList>
#include <QRect>
#include <QString>

// The windows of every program on the X server the test runs on, read as a window manager or a
// person would see them, with the X utilities (xwininfo, xprop) as real processes: a window
// another process shows can be found by its title and its icon read.
namespace X11Windows {

// The titles of the top-level windows, in the server's stacking order.
QStringList titles();

// Waits up to `ms` milliseconds for a window titled `title`; gives its id (0x...), or nothing.
QString waitFor(const QString &title, int ms = 30000);

// Where a window is on the screen, its frame's decorations aside; empty when there is no such
// window.
QRect frame(const QString &windowId);

// The images a window offers the window manager as its icon (_NET_WM_ICON), in the order given.
QList<QImage> icons(const QString &windowId);

} // namespace X11Windows
