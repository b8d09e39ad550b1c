#include "X11Windows.h"

#include "ProcessRun.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QThread>

namespace X11Windows {

namespace {

QString run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(20000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

// Each top-level window: its id and its title, as xwininfo lists the root's children.
QList<std::pair<QString, QString>> windows()
{
    static const QRegularExpression line(QStringLiteral("^\\s+(0x[0-9a-f]+) \"(.*)\": "), QRegularExpression::MultilineOption);
    QList<std::pair<QString, QString>> found;
    for (const QRegularExpressionMatch &match : line.globalMatch(run(QStringLiteral("xwininfo"), {"-root", "-children"})))
        found.append({match.captured(1), match.captured(2)});
    return found;
}

// Whether the window is mapped and on the screen: a window gets its title before it is shown, and
// its size and place only once it is.
bool viewable(const QString &windowId)
{
    return run(QStringLiteral("xwininfo"), {"-id", windowId}).contains(QStringLiteral("Map State: IsViewable"));
}

}  // namespace

QStringList titles()
{
    QStringList names;
    for (const auto &[id, title] : windows())
        names << title;
    return names;
}

QString waitFor(const QString &title, int ms)
{
    const QDeadlineTimer deadline(ms);
    do {
        for (const auto &[id, name] : windows())
            if (name == title && viewable(id))
                return id;
        QThread::msleep(100);
    } while (!deadline.hasExpired());
    return QString();
}

QSize size(const QString &windowId)
{
    return frame(windowId).size();
}

bool pressIn(const QString &windowId, const QString &keys)
{
    for (int tries = 0; tries < 300; ++tries) {
        if (runProcess("xdotool", {"windowfocus", "--sync", windowId}).status == 0)
            return runProcess("xdotool", {"key", keys}).status == 0;
        QTest::qWait(100);
    }
    return false;
}

qint64 processOf(const QString &windowId)
{
    return run(QStringLiteral("xdotool"), {"getwindowpid", windowId}).trimmed().toLongLong();
}

QRect frame(const QString &windowId)
{
    const QString text = run(QStringLiteral("xwininfo"), {"-id", windowId});
    const auto number = [&text](const QString &name) {
        const QRegularExpression line(QStringLiteral("^\\s*%1:\\s*(-?\\d+)$").arg(name), QRegularExpression::MultilineOption);
        return line.match(text).captured(1).toInt();
    };
    return QRect(number(QStringLiteral("Absolute upper-left X")), number(QStringLiteral("Absolute upper-left Y")),
                 number(QStringLiteral("Width")), number(QStringLiteral("Height")));
}

QList<QImage> icons(const QString &windowId)
{
    // _NET_WM_ICON is a list of CARDINALs: width, height, then width x height ARGB pixels, for
    // each image in turn.
    const QString text = run(QStringLiteral("xprop"), {"-id", windowId, "-notype", "-f", "_NET_WM_ICON", "32c", "_NET_WM_ICON"});
    const QStringList numbers = text.section(QLatin1Char('='), 1).split(QLatin1Char(','), Qt::SkipEmptyParts);
    QList<QImage> images;
    for (qsizetype at = 0; at + 2 <= numbers.size();) {
        const int width = numbers[at].trimmed().toInt(), height = numbers[at + 1].trimmed().toInt();
        at += 2;
        if (width <= 0 || height <= 0 || at + width * height > numbers.size())
            break;
        QImage image(width, height, QImage::Format_ARGB32);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                image.setPixel(x, y, numbers[at++].trimmed().toUInt());
        images << image;
    }
    return images;
}

}  // namespace X11Windows
