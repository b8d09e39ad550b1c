#pragma once

#include <QByteArray>
#include <QString>

#include <cstdio>
#include <optional>

// The terminal a command's words are shown in, where its system needs telling. Every command
// prints UTF-8: to files and pipes as it is, and to a Windows console as UTF-16 text, which the
// console shows whatever its code page.
namespace cli::console {

// Writes `utf8` to `stream` (stdout or stderr).
void write(std::FILE *stream, const QByteArray &utf8);

// Sets the console (if the program has one) to take UTF-8 from whatever else writes to it, such as
// Qt's own warnings; nothing to do on POSIX systems.
void showUtf8();

// Whether `stream` (stdout or stderr) is shown on a terminal that redraws a line on carriage
// return and clears the rest of it on "ESC [ K": not a file, a pipe or the null device.
bool redrawsLines(std::FILE *stream);

// Before a window of the program's own opens: a console window that the system opened for this
// program alone (Windows, started from Explorer or the Start menu) is closed; a console the
// program was started from stays. Nothing to do on POSIX systems.
void closeOwnConsole();

// A secret the user types: on a terminal after `prompt` on standard error, without echo; from a
// pipe or a file, its first line, with no prompt. The line's end is not part of it; nothing when
// standard input ends before a line is given.
std::optional<QString> readSecret(const QString &prompt);
// The next line of standard input, read as UTF-8 bytes, without its end (LF or CR LF); nothing when
// standard input ends before a line is given.
std::optional<QString> readInputLine();

}  // namespace cli::console
