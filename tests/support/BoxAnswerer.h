#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>

#include <functional>

class QWidget;

// Answers each real modal window (a message box, a file dialog) once it is on the screen with the
// next answer given, as a person would: a key pressed or a button clicked on it, or whatever the
// answer does with it; a window beyond the answers gets Esc. Keeps every window shown, in order:
// a message box as "title|text|buttons|default button" (the buttons joined by ","), any other
// window as its class name; "|never exposed" added to one that did not come up on the screen.
class BoxAnswerer : public QObject {
public:
    using Answer = std::function<void(QWidget *)>;
    explicit BoxAnswerer(QList<Answer> answers);

    // A key pressed on the window, and a click on its button of that text.
    static Answer press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    static Answer click(const QString &text);

    QStringList shown;

private:
    void answer();

    QList<Answer> m_answers;
    Answer m_answer;  // for the window on the screen
    QPointer<QWidget> m_answered;
    QElapsedTimer m_given;
    QTimer m_timer;
};

inline const BoxAnswerer::Answer PressEnter = BoxAnswerer::press(Qt::Key_Return);
