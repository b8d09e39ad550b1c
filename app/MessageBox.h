#pragma once

#include <QList>
#include <QString>
#include <QStringList>

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
        QStringList buttons;
    };

    // Shows a modal box with a single "确定" button; style 16 adds the critical-stop icon.
    static void show(const QString &prompt, int style = 0, const QString &title = QString());
    // The box show() would display, for callers that need to inspect it.
    static std::unique_ptr<QMessageBox> build(const QString &prompt, int style, const QString &title);

    // Shows a modal box with one button per text, in order, and returns the position of the one
    // pressed. Enter presses `defaultButton`; Esc or closing the box counts as `escapeButton`.
    // While recording, the box is answered with its default button.
    static int ask(const QString &prompt, const QStringList &buttons, int defaultButton, int escapeButton);

    // Routes the data layer's messages (the connection error box) through show().
    static void showDataLayerMessages();

    static void setRecording(bool recording);
    static QList<Shown> takeShown();
};
