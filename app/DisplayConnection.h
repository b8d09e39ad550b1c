#pragma once

#include <QApplication>

#include <memory>

// The application object of the windows, connected to the display. Qt ends a program that finds
// no display with an English message and an abort; a window started without one (over ssh, on a
// text console) ends here instead, with a Chinese message that names the commands that work
// without a display, and status 2; `sayWhy` writes that message where the user reads it. Qt's
// own words while it connects reach its message handler once it has connected.
std::unique_ptr<QApplication> connectToDisplay(int &argc, char **argv, void (*sayWhy)(const QString &));

// The application object of a command that draws (a PDF report needs the system's fonts, which
// only Qt's Gui reaches): on Windows its own platform, which opens no window; elsewhere the
// offscreen platform unless QT_QPA_PLATFORM names another, so that it needs no display.
std::unique_ptr<QGuiApplication> drawingApplication(int &argc, char **argv);
