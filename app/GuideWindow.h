#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;
class QTextBrowser;
class QUrl;

// The user guide, built into the program, in a window of its own: no browser, viewer or network
// needed. One guide window a process. Links to the guide's own headings jump there; a link out of
// the guide only shows its address. Ctrl+F goes to the search field, where Enter and F3 find the
// next place and Shift+F3 the one before, round the end; Esc closes the window (in the search
// field, it first clears the words typed).
class GuideWindow : public QWidget {
    Q_OBJECT
public:
    explicit GuideWindow(QWidget *parent = nullptr);

    // Opens the guide window, or raises the one already open, and gives it.
    static GuideWindow *showGuide();

    // The window's title, and the menu item that opens it as messages name it.
    static const QString Title;
    static const QString MenuPath;

    // Controls, top of the window to the bottom.
    QLineEdit *searchField;
    QPushButton *previousButton;
    QPushButton *nextButton;
    QLabel *note;  // what the search found, or the address of a link out of the guide
    QTextBrowser *text;

    // The next and the previous place the words of the search field are found, from the cursor;
    // false, and a note that says so, when they are found nowhere.
    bool findNext();
    bool findPrevious();
    // Puts the heading a link target names at the top, with the cursor on it.
    bool showHeading(const QString &anchor);

private:
    void setupUi();
    void wireEvents();
    bool find(bool backward, bool fromSelectionStart = false);
    void followLink(const QUrl &link);
    void escape();
};
