#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class QMessageBox;

// The one place where the tool shows its modal message boxes. A box with no title of its own
// carries the application title. Tests switch to recording: boxes are then kept in a list,
// in the order shown, instead of waiting for a click.
class MessageBox {
public:
    static const QString ApplicationTitle;

    // A box has no icon, or the critical-stop icon for a failure.
    enum class Icon { None, Critical };

    struct Shown {
        QString prompt;
        QString title;
        Icon icon;
        QStringList buttons;
    };

    // Shows a modal box with a single "确定" button.
    static void show(const QString &prompt, Icon icon = Icon::None, const QString &title = QString());
    // The box show() would display, for callers that need to inspect it.
    static std::unique_ptr<QMessageBox> build(const QString &prompt, Icon icon, const QString &title);

    // A button of a question that shows a window to read beside it, such as the guide, and asks
    // again; the question then blocks no other window, so the one shown can be read and used
    // while the question waits. F1 presses it too.
    struct Aside {
        QString button;
        std::function<void()> show;
    };

    // Shows a modal box with one button per text, in order, and returns the position of the one
    // pressed. Enter presses `defaultButton`; Esc or closing the box counts as `escapeButton`.
    // With `aside`, its button comes after the others (position buttons.size()) and is never the
    // answer. While recording, the box is answered with the button given by answerNext(), else
    // with its default button.
    static int ask(const QString &prompt, const QStringList &buttons, int defaultButton, int escapeButton, const Aside &aside = {});
    // The button the next recorded ask() gets, by position; answers queue up in order.
    static void answerNext(int button);

    static void setRecording(bool recording);
    static QList<Shown> takeShown();
};
