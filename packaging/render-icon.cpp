// Writes the application icon as a PNG of the given size, for the desktop menu's icon theme.
// Usage: n3fix-render-icon SIZE FILE (run with QT_QPA_PLATFORM=offscreen at build time).

#include "app/Artwork.h"

#include <QGuiApplication>
#include <QTextStream>

int main(int argc, char *argv[])
{
    QGuiApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    bool sizeOk = false;
    const int size = arguments.size() == 3 ? arguments.at(1).toInt(&sizeOk) : 0;
    QTextStream err(stderr);
    if (!sizeOk || size < 16 || size > 1024) {
        err << "用法：n3fix-render-icon 尺寸 文件（尺寸为 16 到 1024 像素）\n";
        return 2;
    }
    if (!Artwork::iconImage(size).save(arguments.at(2), "PNG")) {
        err << "无法写入图标文件：" << arguments.at(2) << "\n";
        return 1;
    }
    return 0;
}
