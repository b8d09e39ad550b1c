#pragma once

#include <QString>

// The data a window shows, as its title names it after a dash: "演示数据" for the demo folder, the
// data directory of the embedded engine, or "ODBC（SQL Server）".
QString shownData();
