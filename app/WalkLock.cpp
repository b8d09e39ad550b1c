#include "WalkLock.h"

#include <QApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QWidget>

WalkLock::WalkLock(std::initializer_list<QWidget *> guarded, QObject *parent) : QObject(parent), m_guarded(guarded) {}

WalkLock::Scope::Scope(WalkLock &lock) : m_lock(lock)
{
    m_lock.m_active = true;
    m_lock.m_closeRequested = false;
    qApp->installEventFilter(&m_lock);
}

WalkLock::Scope::~Scope()
{
    qApp->removeEventFilter(&m_lock);
    m_lock.m_active = false;
}

// A widget belongs to a guarded control when the control is among its parents, windows such
// as a combo box's pop-up list included.
bool WalkLock::isGuarded(QObject *object) const
{
    for (QObject *o = object; o; o = o->parent())
        for (QWidget *guarded : m_guarded)
            if (o == guarded)
                return true;
    return false;
}

bool WalkLock::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::Shortcut:
    case QEvent::ShortcutOverride:
    case QEvent::InputMethod:  // text committed by an input method (how Chinese is typed)
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
        return isGuarded(watched);
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
        // Tab still moves the focus on; every other key aimed at a guarded control is dropped.
        const int key = static_cast<QKeyEvent *>(event)->key();
        return key != Qt::Key_Tab && key != Qt::Key_Backtab && isGuarded(watched);
    }
    default:
        return false;
    }
}
