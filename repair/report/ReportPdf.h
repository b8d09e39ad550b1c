#pragma once

#include "Report.h"

#include <QByteArray>

class QPagedPaintDevice;

namespace repair::report {

// Draws `report` on `device` (a PDF writer, or a printer) page by page on its page size: the
// title, the facts, each table with its header row repeated at the top of every page it runs on,
// the closing paragraphs, and "第 N 页，共 M 页" at the foot of every page. Chinese is drawn in
// a font found on the system that has it; raises db::DbError when there is none.
void print(const Report &report, QPagedPaintDevice &device);

// `report` as a PDF on A4, with the fonts it uses embedded.
QByteArray pdf(const Report &report);

}  // namespace repair::report
