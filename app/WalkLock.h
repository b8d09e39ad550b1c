#pragma once

#include <QObject>

#include <initializer_list>
#include <vector>

class QWidget;

// While the end-flag walk runs, the window handles its messages once per row but must not let
// the user start anything else: a second walk, a reset, or a change of the account set walked.
// WalkLock swallows the mouse, wheel, key, input-method and drop input aimed at the guarded
// controls (and at everything inside them, such as a combo box's list), so their text and
// state stay as they are, and remembers a request to close the window so it can be honoured
// once the walk stops.
class WalkLock : public QObject {
    Q_OBJECT
public:
    WalkLock(std::initializer_list<QWidget *> guarded, QObject *parent = nullptr);

    bool active() const { return m_active; }
    void setCloseRequested() { m_closeRequested = true; }
    bool closeRequested() const { return m_closeRequested; }

    // Holds the lock for one walk.
    class Scope {
    public:
        explicit Scope(WalkLock &lock);
        ~Scope();
        Scope(const Scope &) = delete;
        Scope &operator=(const Scope &) = delete;

    private:
        WalkLock &m_lock;
    };

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool isGuarded(QObject *object) const;

    std::vector<QWidget *> m_guarded;
    bool m_active = false;
    bool m_closeRequested = false;
};
