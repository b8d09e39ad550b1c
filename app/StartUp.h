#pragma once

#include <QPoint>
#include <QSize>

// Where the window's outer top-left corner goes on a screen: centred across, and a quarter of
// the free height from the top, so the window sits high. Sizes and result in pixels; the
// arithmetic is done in twips in single precision, as the layout is.
QPoint windowPlacement(QSize screen, QSize window);

// The window's outer size for its fixed client area: the client area plus a frame of 3 pixels
// on each side and a title bar that puts the client area 29 pixels below the outer top.
QSize outerWindowSize(QSize client);
