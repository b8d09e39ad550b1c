#pragma once

#include "db/AdviceWays.h"

#include <QString>

namespace cli {

// The command line's ways to follow the advice that comes with a fault (db::AdviceWays): its
// options, and where its user reads more. Every command sets them before it connects.
db::AdviceWays commandAdviceWays();

// Where a terminal's user reads how to set up the connection to SQL Server: on Linux the manual
// page; on Windows, which has none, the guide that n3fix --guide opens.
QString setupGuide();

}  // namespace cli
