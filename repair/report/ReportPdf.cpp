#include "ReportPdf.h"

#include <QIODevice>

namespace repair::report {

void print(const Report &, QPagedPaintDevice &)
{
}

void writePdf(const Report &, QIODevice &)
{
}

}  // namespace repair::report
