#pragma once

#include <QList>
#include <QString>

#include <memory>

class QMessageBox;

// The one place where the tool shows its modal message boxes. A box with no title of its own
// carries the application title. Tests switch to recording: boxes are then kept in a list,
// in the order shown, instead of waiting for a click.
class MessageBox {
public:
    static const QString ApplicationTitle;

    struct Shown {
        QString prompt;
        QString title;
        int style;
    };

    // Shows a modal box with a single "确定" button; style 16 adds the critical-stop icon.
    static void show(const QString &prompt, int style = 0, const QString &title = QString());
    // Asks before an action that changes data: a box with the question icon, a button `accept`
    // and "取消", which is the default, so Enter or Escape never starts the action by mistake.
    // True when `accept` was pressed. Recorded with style StyleQuestion; a test says the answer
    // in advance with answerNext(), else the recorded box is cancelled.
    static bool ask(const QString &prompt, const QString &accept, const QString &title = QString());
    static constexpr int StyleQuestion = 33;  // OK and Cancel, with the question icon
    // The box ask() would display; its accept button is the one with QMessageBox::AcceptRole.
    static std::unique_ptr<QMessageBox> buildQuestion(const QString &prompt, const QString &accept, const QString &title);
    // The box show() would display, for callers that need to inspect it.
    static std::unique_ptr<QMessageBox> build(const QString &prompt, int style, const QString &title);

    // Routes the data layer's messages (the connection error box) through show().
    static void showDataLayerMessages();

    static void setRecording(bool recording);
    static void answerNext(bool accept);
    static QList<Shown> takeShown();
};
