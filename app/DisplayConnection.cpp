#include "DisplayConnection.h"

#include <QList>

#include <cstdlib>

namespace {

// What Qt said while connecting, held back until it is known whether it connected.
struct HeldMessage {
    QtMsgType type;
    QByteArray category;
    QString text;
};
QList<HeldMessage> heldMessages;
QtMessageHandler qtHandler = nullptr;
void (*sayWhyNoWindow)(const QString &) = nullptr;

// Why no window can open, in the user's words: no display named at all, one named that doesn't
// answer, or (with a display there) Qt's window-system plugin failing, in Qt's words too.
QString whyNoWindow(const QString &qtFailure)
{
    const QString x11 = qEnvironmentVariable("DISPLAY"), wayland = qEnvironmentVariable("WAYLAND_DISPLAY");
    if (x11.isEmpty() && wayland.isEmpty())
        return QStringLiteral("没有找到图形显示（没有设置环境变量 DISPLAY 或 WAYLAND_DISPLAY，例如通过 ssh 登录而没有转发图形界面），"
                              "无法打开窗口。");
    QStringList qtWords;
    bool unreachable = false;
    for (const HeldMessage &message : std::as_const(heldMessages)) {
        qtWords << message.text;
        unreachable = unreachable || message.text.contains(QLatin1String("could not connect to display"))
                      || message.text.contains(QLatin1String("Failed to create wl_display"));
    }
    if (unreachable)
        return QStringLiteral("没有找到图形显示：连接不上 %1，无法打开窗口。")
            .arg(x11.isEmpty() ? QStringLiteral("WAYLAND_DISPLAY=") + wayland : QStringLiteral("DISPLAY=") + x11);
    qtWords << qtFailure;
    return QStringLiteral("无法打开窗口：Qt 的图形界面插件无法启动。Qt 的原文：\n") + qtWords.join(QLatin1Char('\n'));
}

void whileConnecting(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (type != QtFatalMsg) {
        heldMessages.append({type, QByteArray(context.category ? context.category : "default"), text});
        return;
    }
    sayWhyNoWindow(whyNoWindow(text)
                   + QStringLiteral("\n不需要窗口的命令照常可用，例如 n3fix --check、n3fix --check-balances、n3fix --journal、"
                                    "n3fix --undo 日志编号；用 n3fix --help 查看全部命令。"));
    std::_Exit(2);  // Qt aborts once this returns; nothing of the program has started yet
}

}  // namespace

std::unique_ptr<QApplication> connectToDisplay(int &argc, char **argv, void (*sayWhy)(const QString &))
{
    sayWhyNoWindow = sayWhy;
    qtHandler = qInstallMessageHandler(whileConnecting);
    auto application = std::make_unique<QApplication>(argc, argv);
    qInstallMessageHandler(qtHandler);
    for (const HeldMessage &message : std::as_const(heldMessages)) {
        const QMessageLogContext context(nullptr, 0, nullptr, message.category.constData());
        qtHandler(message.type, context, message.text);
    }
    heldMessages.clear();
    return application;
}

std::unique_ptr<QGuiApplication> drawingApplication(int &argc, char **argv)
{
#ifndef Q_OS_WIN
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
#endif
    return std::make_unique<QGuiApplication>(argc, argv);
}
