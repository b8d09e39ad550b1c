#pragma once

#include <QImage>

// What a screen capture of a window shows of its tables.
namespace TableShot {

// Whether the capture shows a table drawn: a header strip over rows ruled by grid lines.
bool showsTable(const QImage &shot);

} // namespace TableShot
