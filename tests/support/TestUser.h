#pragma once

#include <QString>

// Who the tests run as and on which computer, as the system says, apart from the code under test:
// what a repair the test makes must record.
namespace TestUser {

// The login name of the user the test runs as.
QString loginName();
// The computer's name.
QString hostName();

}  // namespace TestUser
