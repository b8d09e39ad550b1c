#pragma once

#include "Commands.h"

#include "db/DataLocation.h"

#include <QString>
#include <QStringList>

namespace cli {

// What the program is asked to do: open the window, the journal window, the check-and-repair
// window or the user guide, print its help or version, or run one of the command-line commands.
enum class Action { Window, JournalWindow, CheckWindow, Guide, Help, Version, Command };

// What the command line asks for.
struct StartOptions {
    Action action = Action::Window;
    Request request;          // for Action::Command
    db::PlaceAsked place;     // --data-dir, --odbc or --demo: for this run, instead of the place chosen last
    bool chooseData = false;  // --choose-data: the first-start box again, to change the place chosen
    QString error;            // set when the command line can't be understood; with --json given,
                              // request.json is then set too
};

// Reads the command line. Qt's own options (-platform, -style, -reverse, ...) are accepted and
// left for the application object to act on.
StartOptions parseCommandLine(const QStringList &arguments);
QString commandLineHelp();
// The long names of the options the parser knows (without the dashes), Qt's own left out: the
// help and the manual pages describe each of them.
QStringList commandLineOptionNames();

}  // namespace cli
