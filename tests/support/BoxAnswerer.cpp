#include "BoxAnswerer.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

BoxAnswerer::BoxAnswerer(QList<Keys> answers) : m_answers(std::move(answers))
{
    connect(&m_timer, &QTimer::timeout, this, &BoxAnswerer::answer);
    m_timer.start(10);
}

void BoxAnswerer::answer()
{
    auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
    if (!box || !box->isVisible())
        return;
    m_timer.stop();  // waiting below runs the event loop
    if (box != m_answered) {
        m_answered = box;
        shown << box->windowTitle() + '|' + box->text() + '|' + (box->defaultButton() ? box->defaultButton()->text() : QString());
        m_keys = m_answers.isEmpty() ? Keys{{Qt::Key_Escape, Qt::NoModifier}} : m_answers.takeFirst();
        m_pressed.invalidate();
    }
    // A shortcut such as Alt+U reaches the box only once X has made it the active window; on a
    // slow run the first press may come before that, so a box still up a second later gets the
    // same keys again.
    if (!m_pressed.isValid() || m_pressed.hasExpired(1000)) {
        box->activateWindow();  // no window manager to do it
        if (QTest::qWaitForWindowActive(box)) {
            for (const auto &[key, modifiers] : m_keys)
                QTest::keyClick(box, key, modifiers);
        }
        m_pressed.start();
    }
    m_timer.start();
}
