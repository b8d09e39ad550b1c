#include "BoxAnswerer.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

namespace {

QString described(QWidget *modal)
{
    auto *box = qobject_cast<QMessageBox *>(modal);
    if (!box)
        return QString::fromLatin1(modal->metaObject()->className());
    QStringList buttons;
    for (QAbstractButton *button : box->buttons())
        buttons << button->text();
    return box->windowTitle() + '|' + box->text() + '|' + buttons.join(',') + '|'
           + (box->defaultButton() ? box->defaultButton()->text() : QString());
}

}  // namespace

BoxAnswerer::BoxAnswerer(QList<Answer> answers) : m_answers(std::move(answers))
{
    connect(&m_timer, &QTimer::timeout, this, &BoxAnswerer::answer);
    m_timer.start(10);
}

BoxAnswerer::Answer BoxAnswerer::press(Qt::Key key, Qt::KeyboardModifiers modifiers)
{
    return [key, modifiers](QWidget *window) { QTest::keyClick(window, key, modifiers); };
}

BoxAnswerer::Answer BoxAnswerer::click(const QString &text)
{
    return [text](QWidget *window) {
        for (QAbstractButton *button : window->findChildren<QAbstractButton *>())
            if (button->text() == text)
                return QTest::mouseClick(button, Qt::LeftButton);
        QFAIL(qPrintable("no button " + text));
    };
}

void BoxAnswerer::answer()
{
    QWidget *modal = QApplication::activeModalWidget();
    if (!modal || !modal->isVisible())
        return;
    m_timer.stop();  // waiting below runs the event loop
    if (modal != m_answered) {
        m_answered = modal;
        shown << described(modal);
        if (!QTest::qWaitForWindowExposed(modal))
            shown.last() += QStringLiteral("|never exposed");
        m_answer = m_answers.isEmpty() ? press(Qt::Key_Escape) : m_answers.takeFirst();
        m_given.invalidate();
    }
    // A shortcut such as Alt+U reaches the window only once X has made it the active one; on a
    // slow run the first answer may come before that, so a window still up a second later gets
    // the same answer again.
    if (m_answered && (!m_given.isValid() || m_given.hasExpired(1000))) {
        modal->activateWindow();  // no window manager to do it
        if (QTest::qWaitForWindowActive(modal))
            m_answer(modal);
        m_given.start();
    }
    m_timer.start();
}
