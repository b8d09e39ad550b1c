#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QPair>
#include <QPointer>
#include <QStringList>
#include <QTimer>

class QMessageBox;

// Answers each real message box once it is on the screen with the next keys given, pressed on the
// box as a person would (Esc for a box beyond them); keeps every box as "title|text|default
// button", in the order shown.
class BoxAnswerer : public QObject {
public:
    using Keys = QList<QPair<Qt::Key, Qt::KeyboardModifiers>>;
    explicit BoxAnswerer(QList<Keys> answers);

    QStringList shown;

private:
    void answer();

    QList<Keys> m_answers;
    Keys m_keys;  // for the box on the screen
    QPointer<QMessageBox> m_answered;
    QElapsedTimer m_pressed;
    QTimer m_timer;
};

inline const BoxAnswerer::Keys PressEnter{{Qt::Key_Return, Qt::NoModifier}};
