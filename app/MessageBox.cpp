#include "MessageBox.h"

#include "db/ODBC.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

namespace {

struct Recorder {
    bool recording = false;
    QList<MessageBox::Shown> shown;
    QList<bool> answers;  // for the next recorded questions, in order
};

Recorder &recorder()
{
    static Recorder instance;
    return instance;
}

} // namespace

const QString MessageBox::ApplicationTitle = QStringLiteral("N3新会计制度科目增加工具");

std::unique_ptr<QMessageBox> MessageBox::build(const QString &prompt, int style, const QString &title)
{
    auto box = std::make_unique<QMessageBox>(QApplication::activeWindow());
    box->setWindowTitle(title.isEmpty() ? ApplicationTitle : title);
    box->setText(prompt);
    box->setIcon(style == ODBC::StyleCritical ? QMessageBox::Critical : QMessageBox::NoIcon);
    QPushButton *ok = box->addButton(QStringLiteral("确定"), QMessageBox::AcceptRole);
    box->setDefaultButton(ok);
    box->setEscapeButton(ok);
    return box;
}

void MessageBox::show(const QString &prompt, int style, const QString &title)
{
    Recorder &r = recorder();
    if (r.recording) {
        r.shown.append({prompt, title.isEmpty() ? ApplicationTitle : title, style});
        return;
    }
    build(prompt, style, title)->exec();
}

std::unique_ptr<QMessageBox> MessageBox::buildQuestion(const QString &prompt, const QString &accept, const QString &title)
{
    auto box = std::make_unique<QMessageBox>(QApplication::activeWindow());
    box->setWindowTitle(title.isEmpty() ? ApplicationTitle : title);
    box->setText(prompt);
    box->setIcon(QMessageBox::Question);
    box->addButton(accept, QMessageBox::AcceptRole);
    QPushButton *cancel = box->addButton(QStringLiteral("取消"), QMessageBox::RejectRole);
    box->setDefaultButton(cancel);
    box->setEscapeButton(cancel);
    return box;
}

bool MessageBox::ask(const QString &prompt, const QString &accept, const QString &title)
{
    Recorder &r = recorder();
    if (r.recording) {
        r.shown.append({prompt, title.isEmpty() ? ApplicationTitle : title, StyleQuestion});
        return !r.answers.isEmpty() && r.answers.takeFirst();
    }
    const std::unique_ptr<QMessageBox> box = buildQuestion(prompt, accept, title);
    box->exec();
    return box->buttonRole(box->clickedButton()) == QMessageBox::AcceptRole;
}

void MessageBox::answerNext(bool accept)
{
    recorder().answers.append(accept);
}

void MessageBox::showDataLayerMessages()
{
    ODBC::setMessageSink([](const QString &prompt, const QString &title, int style) { show(prompt, style, title); });
}

void MessageBox::setRecording(bool recording)
{
    recorder().recording = recording;
}

QList<MessageBox::Shown> MessageBox::takeShown()
{
    return std::exchange(recorder().shown, {});
}
