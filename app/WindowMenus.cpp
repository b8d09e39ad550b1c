#include "WindowMenus.h"

#include "AboutBox.h"
#include "GuideWindow.h"
#include "MessageBox.h"
#include "WindowHub.h"

#include <QLayout>
#include <QMenuBar>

namespace WindowMenus {

namespace {

template <typename Handler> QAction *addItem(QMenu *menu, const QString &text, const QKeySequence &key, Handler handler)
{
    QAction *action = menu->addAction(text);
    action->setShortcut(key);
    QObject::connect(action, &QAction::triggered, menu, handler);
    return action;
}

void chooseData()
{
    const QString failure = WindowHub::chooseData();
    if (!failure.isEmpty())
        MessageBox::show(QStringLiteral("无法启动 n3fix 来选择数据位置：%1").arg(failure), MessageBox::Icon::Critical);
}

}  // namespace

QMenuBar *add(QWidget *window, QLayout *layout, const QList<QAction *> &fileItems)
{
    using WindowHub::Window;
    auto *bar = new QMenuBar(window);

    QMenu *file = bar->addMenu(QStringLiteral("文件(&F)"));
    file->addActions(fileItems);
    file->addSeparator();  // not shown while nothing is above it
    addItem(file, QStringLiteral("关闭"), QKeySequence(Qt::CTRL | Qt::Key_W), [window] { window->close(); });

    QMenu *windows = bar->addMenu(QStringLiteral("窗口(&W)"));
    addItem(windows, QStringLiteral("主窗口"), QKeySequence(Qt::CTRL | Qt::Key_1), [] { WindowHub::show(Window::Main); });
    addItem(windows, QStringLiteral("检查和修复"), QKeySequence(Qt::CTRL | Qt::Key_2), [] { WindowHub::show(Window::Check); });
    addItem(windows, QStringLiteral("修复日志"), QKeySequence(Qt::CTRL | Qt::Key_3), [] { WindowHub::show(Window::Journal); });
    windows->addSeparator();
    addItem(windows, QStringLiteral("选择数据位置…"), QKeySequence(Qt::CTRL | Qt::Key_O), &chooseData);

    QMenu *help = bar->addMenu(QStringLiteral("帮助(&H)"));
    addItem(help, QStringLiteral("使用说明"), QKeySequence(Qt::Key_F1), [] { GuideWindow::showGuide(); });
    addItem(help, QStringLiteral("关于"), QKeySequence(), &AboutBox::show);

    layout->setMenuBar(bar);
    return bar;
}

}  // namespace WindowMenus
