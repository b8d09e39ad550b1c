#include "MessageBox.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

namespace {

struct Recorder {
    bool recording = false;
    QList<MessageBox::Shown> shown;
    QList<int> answers;  // for the next recorded questions, in order
};

Recorder &recorder()
{
    static Recorder instance;
    return instance;
}

// A box with the tool's title rule, without buttons yet, over `parent`: by default the window the
// user is in.
std::unique_ptr<QMessageBox> emptyBox(const QString &prompt, MessageBox::Icon icon, const QString &title,
                                      QWidget *parent = QApplication::activeWindow())
{
    auto box = std::make_unique<QMessageBox>(parent);
    box->setWindowTitle(title.isEmpty() ? MessageBox::ApplicationTitle : title);
    box->setText(prompt);
    box->setIcon(icon == MessageBox::Icon::Critical ? QMessageBox::Critical : QMessageBox::NoIcon);
    return box;
}

// The property that tells a question box's button its position among the buttons asked for.
constexpr char PositionProperty[] = "n3fixButtonPosition";

// One question, as ask() describes it; the aside's button, at `asidePosition` when there is one,
// closes the box like the others, for ask() to show its window and ask again in a new box.
int askOnce(const QString &prompt, const QStringList &buttons, int defaultButton, int escapeButton, const QString &aside,
            int asidePosition)
{
    Recorder &r = recorder();
    if (r.recording) {
        r.shown.append({prompt, MessageBox::ApplicationTitle, MessageBox::Icon::None,
                        asidePosition < 0 ? buttons : buttons + QStringList{aside}});
        return r.answers.isEmpty() ? defaultButton : r.answers.takeFirst();
    }
    // A box with an aside is of no window and blocks none, so the window it shows can be used
    // while it waits.
    const bool withAside = asidePosition >= 0;
    const std::unique_ptr<QMessageBox> box =
        emptyBox(prompt, MessageBox::Icon::None, QString(), withAside ? nullptr : QApplication::activeWindow());
    if (withAside)
        box->setWindowModality(Qt::WindowModal);
    for (int i = 0; i < buttons.size(); ++i) {
        // Each button closes the box; its position tells which was pressed, whatever role Qt
        // would give its text.
        QPushButton *button = box->addButton(buttons.at(i), QMessageBox::ActionRole);
        button->setProperty(PositionProperty, i);
        if (i == defaultButton)
            box->setDefaultButton(button);
        if (i == escapeButton)
            box->setEscapeButton(button);
    }
    if (withAside) {
        // set apart from the answers, where the style puts help
        QPushButton *button = box->addButton(aside, QMessageBox::HelpRole);
        button->setProperty(PositionProperty, asidePosition);
        button->setShortcut(QKeySequence::HelpContents);
    }
    box->exec();
    const QAbstractButton *pressed = box->clickedButton();
    return pressed ? pressed->property(PositionProperty).toInt() : escapeButton;
}

}  // namespace

const QString MessageBox::ApplicationTitle = QStringLiteral("N3新会计制度科目增加工具");

std::unique_ptr<QMessageBox> MessageBox::build(const QString &prompt, Icon icon, const QString &title)
{
    auto box = emptyBox(prompt, icon, title);
    QPushButton *ok = box->addButton(QStringLiteral("确定"), QMessageBox::AcceptRole);
    box->setDefaultButton(ok);
    box->setEscapeButton(ok);
    return box;
}

void MessageBox::show(const QString &prompt, Icon icon, const QString &title)
{
    Recorder &r = recorder();
    if (r.recording) {
        r.shown.append({prompt, title.isEmpty() ? ApplicationTitle : title, icon, {QStringLiteral("确定")}});
        return;
    }
    build(prompt, icon, title)->exec();
}

int MessageBox::ask(const QString &prompt, const QStringList &buttons, int defaultButton, int escapeButton, const Aside &aside)
{
    const int asidePosition = aside.show ? int(buttons.size()) : -1;
    for (;;) {
        const int answer = askOnce(prompt, buttons, defaultButton, escapeButton, aside.button, asidePosition);
        if (answer != asidePosition)
            return answer;
        aside.show();
    }
}

void MessageBox::answerNext(int button)
{
    recorder().answers.append(button);
}

void MessageBox::setRecording(bool recording)
{
    recorder().recording = recording;
}

QList<MessageBox::Shown> MessageBox::takeShown()
{
    return std::exchange(recorder().shown, {});
}
