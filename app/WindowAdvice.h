#pragma once

#include "db/AdviceWays.h"

// The windows' ways to follow the advice that comes with a fault (db::AdviceWays): their menus and
// boxes, and the guide by its menu item. Set once as the windows start.
db::AdviceWays windowAdviceWays();
