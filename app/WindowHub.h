#pragma once

#include <QString>

class QWidget;

// The windows a process shows on its data: the main window, the check-and-repair window and the
// journal window, at most one of each. Each opens on the engine in use, which is the process's own,
// so every window of a process is on the same data; one already open is brought to the front
// instead. A window is deleted when it closes; the program ends with its last window.
namespace WindowHub {

enum class Window { Main, Check, Journal };

// Opens the window, or brings the one open to the front (out of the task bar if minimized); either
// way it gets the keyboard. Gives it.
QWidget *show(Window window);

// The window of that kind open now, or null.
QWidget *open(Window window);

// Starts this program anew to choose another data place (n3fix --choose-data): it asks, keeps the
// choice and opens the main window on it. The windows open here stay on their data, where a
// repair may be running. Gives what went wrong, or nothing.
QString chooseData();

// Deletes the windows still there, before the program ends: a check window stops and waits for
// its work.
void deleteAll();

}  // namespace WindowHub
