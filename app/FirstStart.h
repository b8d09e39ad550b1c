#pragma once

#include "db/DataLocation.h"

#include <QString>

#include <optional>

// Where the window's databases come from. Asked for on the command line; else the place chosen
// last; else, when the default data directory holds no system database yet (a first start from
// the menu), chosen by the user in one box before the window appears: the demo data, SQL Server
// (on this computer or another, with Windows or SQL Server authentication), or a folder of
// databases; a button beside those opens the guide, and the box waits on. The box comes back with
// --choose-data, and when the folder chosen last is gone; what is chosen there is kept for the
// starts to come, a password never. SQL Server that can't be reached at start is offered again.
namespace FirstStart {

// The button texts of the choice, in the order shown.
enum Choice { DemoData, SqlServer, Folder, Quit };
QStringList choiceButtons();

// Whether the window is to open on the default data directory while it has no system database.
bool isNeeded(const db::EngineSettings &engine);

// The engine a window over the account sets opens on (the main window and any other that needs
// the system database); none when the user quits, or the demo folder can't be made. Makes the
// demo folder on first use. With `chooseAgain` (--choose-data) the box is shown whatever the
// place.
std::optional<db::EngineSettings> windowEngine(const db::PlaceAsked &asked, bool chooseAgain = false);

// The engine the journal window opens on: the place asked for or chosen last, with neither the
// first-start box nor demo data, since it lists only what repairs left. None when the folder
// chosen last is gone; a box has then said so and what to do. A SQL Server login's password is
// asked for, for the undo; none when the user cancels.
std::optional<db::EngineSettings> journalEngine(const db::PlaceAsked &asked);

}  // namespace FirstStart
