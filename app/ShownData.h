#pragma once

#include <QString>

// The data a window shows, as its title names it after a dash: the data directory of the
// embedded engine, or "ODBC（SQL Server）".
QString shownData();
