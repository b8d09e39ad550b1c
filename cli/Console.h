#pragma once

#include <cstdio>

// The terminal a command's words are shown in, where its system needs telling. Every command
// prints UTF-8; a Windows console shows text in its own code page, so it is asked for UTF-8.
namespace cli::console {

// Sets the console (if the program has one) to show UTF-8 text; nothing to do on POSIX systems.
void showUtf8();

// Whether `stream` (stdout or stderr) is shown on a terminal that redraws a line on carriage
// return and clears the rest of it on "ESC [ K": not a file, a pipe or the null device.
bool redrawsLines(std::FILE *stream);

} // namespace cli::console
