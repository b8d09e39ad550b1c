#pragma once

#include <QString>

// Who runs the program and on which computer, as a repair's journal and a report record them.
namespace repair {

// The login name of the user the program runs as; empty when the system can't tell.
QString loginName();
// The computer's name on its network.
QString computerName();

}  // namespace repair
