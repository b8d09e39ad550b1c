#pragma once

#include <QImage>

// What a screen capture of a window shows of its tables.
namespace TableShot {

// Whether the capture shows a table drawn with rows in it: at least three evenly spaced
// horizontal grid lines of one colour and width, crossed by at least two vertical lines of that
// colour (the column borders), with text (dark pixels) in at least two of the rows between.
// A blank window, a frame without rows, or a picture has no such grid.
bool showsTable(const QImage &shot);

}  // namespace TableShot
