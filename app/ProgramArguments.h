#pragma once

#include <QStringList>

// The words the program was started with, read before any application object exists (the
// options decide which kind it gets). On Windows they come from the command line in UTF-16, so
// a folder's name in any language arrives whole; argv there holds them in the ANSI code page.
QStringList programArguments(int argc, char *argv[]);
