#pragma once

#include <QWidget>

// The user guide, built into the program, in a window of its own: no browser, viewer or network
// needed. One guide window a process.
class GuideWindow : public QWidget {
    Q_OBJECT
public:
    explicit GuideWindow(QWidget *parent = nullptr);

    // Opens the guide window, or raises the one already open, and gives it.
    static GuideWindow *showGuide();
};
