#pragma once

#include <QList>

class QAction;
class QLayout;
class QMenuBar;
class QWidget;

// The menu bar of the windows over the data (the check-and-repair window and the journal window):
//   文件(&F)  the window's own items, then 关闭 (Ctrl+W);
//   窗口(&W)  主窗口 (Ctrl+1), 检查和修复 (Ctrl+2), 修复日志 (Ctrl+3), each opened on the same data or
//             brought to the front (WindowHub), and 选择数据位置… (Ctrl+O), which starts the program
//             anew to choose another place;
//   帮助(&H)  使用说明 (F1) and 关于.
// The keys work wherever the keyboard is in the window.
namespace WindowMenus {

// Puts the menu bar at the top of `layout`, the layout of `window`, and gives it. `fileItems`, such
// as saving or printing what the window shows, head its 文件 menu, above 关闭.
QMenuBar *add(QWidget *window, QLayout *layout, const QList<QAction *> &fileItems = {});

}  // namespace WindowMenus
