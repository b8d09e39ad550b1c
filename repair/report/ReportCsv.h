#pragma once

#include "Report.h"

#include <QByteArray>

namespace repair::report {

// `report` as CSV for a spreadsheet: UTF-8 with a byte-order mark (so that Excel reads the
// Chinese), one header row over the columns of every table that goes into CSV (context first,
// each key once, in the order met), then one row per table row, with the cells it lacks empty.
// Amounts in plain decimals, codes and other texts quoted as text. Lines end in CR LF.
QByteArray csv(const Report &report);

}  // namespace repair::report
