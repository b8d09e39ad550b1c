#pragma once

#include "CommandLine.h"

#include "db/Engine.h"

#include <QString>

#include <optional>

// Where the window's databases come from. Asked for on the command line, or, when the default
// data directory holds no system database yet (a first start from the menu), chosen by the user
// in one box before the window appears: the demo data, SQL Server, or a folder of databases.
namespace FirstStart {

// The button texts of the choice, in the order shown.
enum Choice { DemoData, SqlServer, Folder, Quit };
QStringList choiceButtons();

// Whether the window is to open on the default data directory while it has no system database.
bool isNeeded(const db::EngineSettings &engine);

// The engine the window opens on; none when the user quits, or the demo folder can't be made.
// Makes the demo folder on first use.
std::optional<db::EngineSettings> windowEngine(const StartOptions &options);

// Fills the demo folder on first use; gives what went wrong, or nothing.
QString prepareDemoData(const QString &dir);

} // namespace FirstStart
