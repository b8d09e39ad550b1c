// The icon as the desktop shows it: the PNG files the package installs at every size, and the
// icon the running program's window gives the window manager of a real X server (Xvfb), read
// back with xprop. Each is transparent at its corners and holds opaque red and black strokes; at
// 16 pixels, where nothing may blur, every pixel is either fully transparent or fully opaque.
#include "support/ProcessRun.h"
#include "support/X11Windows.h"

#include <QtTest>

namespace {

// How an icon's pixels divide up: fully transparent, partly transparent, and the opaque ones by
// colour.
struct Pixels {
    int transparent = 0, partial = 0, red = 0, black = 0, white = 0;
};

Pixels countPixels(const QImage &icon)
{
    Pixels counted;
    const QImage image = icon.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            if (qAlpha(pixel) == 0)
                ++counted.transparent;
            else if (qAlpha(pixel) < 255)
                ++counted.partial;
            else if (qRed(pixel) >= 180 && qGreen(pixel) <= 40 && qBlue(pixel) <= 40)
                ++counted.red;
            else if (qRed(pixel) <= 40 && qGreen(pixel) <= 40 && qBlue(pixel) <= 40)
                ++counted.black;
            else if (qRed(pixel) >= 240 && qGreen(pixel) >= 240 && qBlue(pixel) >= 240)
                ++counted.white;
        }
    return counted;
}

// The corners show what lies behind the icon, and the book and the spanner are drawn in solid
// red and black: the spine, the ruling and the spanner take a fifth of the square, the covers more
// than a third, and the margins around the book nearly a third are left transparent.
void verifyLooks(const QImage &icon, int size)
{
    QCOMPARE(icon.size(), QSize(size, size));
    QVERIFY(icon.hasAlphaChannel());
    for (const QPoint corner : {QPoint(0, 0), QPoint(size - 1, 0), QPoint(0, size - 1), QPoint(size - 1, size - 1)})
        QVERIFY2(qAlpha(icon.pixel(corner)) == 0,
                 qPrintable(QStringLiteral("%1 px at %2,%3").arg(size).arg(corner.x()).arg(corner.y())));
    const Pixels counted = countPixels(icon);
    const int area = size * size;
    QVERIFY2(counted.red > area / 8 && counted.black > area / 4 && counted.transparent > area / 10,
             qPrintable(QStringLiteral("%1 px: red %2, black %3, transparent %4")
                            .arg(size)
                            .arg(counted.red)
                            .arg(counted.black)
                            .arg(counted.transparent)));
}

}  // namespace

class tst_Icon : public QObject {
    Q_OBJECT

private slots:
    void installedFiles_data()
    {
        QTest::addColumn<int>("size");
        for (const int size : {16, 32, 48, 64, 128, 256})
            QTest::addRow("%d", size) << size;
    }
    void installedFiles()
    {
        QFETCH(int, size);
        const QImage icon(QStringLiteral(N3FIX_ICON_DIR "/%1x%1/cn.chenglan.n3fix.png").arg(size));
        QVERIFY(!icon.isNull());
        verifyLooks(icon, size);
        if (size == 16) {
            const Pixels counted = countPixels(icon);
            QCOMPARE(counted.partial, 0);
            QCOMPARE(counted.transparent + counted.red + counted.black + counted.white, size * size);
        }
    }

    // The window's icon as the window manager reads it: the 32-pixel image of the title bar, the
    // same as the installed file of that size, and 16 and 48 for panels.
    void windowIcon()
    {
        QTemporaryDir home;
        RunningProgram program(N3FIX, {"--demo"}, environmentWithHome(home.path()));
        const QString window = X11Windows::waitFor(QStringLiteral("澄岚N3科目错误修正工具（修复总账和明细账不平的错误）"));
        QVERIFY(!window.isEmpty());
        const QList<QImage> icons = X11Windows::icons(window);
        QList<int> sizes;
        for (const QImage &icon : icons)
            sizes << icon.width();
        std::sort(sizes.begin(), sizes.end());
        QCOMPARE(sizes, QList<int>({16, 32, 48}));
        for (const QImage &icon : icons)
            verifyLooks(icon, icon.width());
        const QImage installed =
            QImage(QStringLiteral(N3FIX_ICON_DIR "/32x32/cn.chenglan.n3fix.png")).convertToFormat(QImage::Format_ARGB32);
        const auto shown = std::find_if(icons.cbegin(), icons.cend(), [](const QImage &icon) { return icon.width() == 32; });
        QCOMPARE(shown->convertToFormat(QImage::Format_ARGB32), installed);
    }
};

QTEST_MAIN(tst_Icon)
#include "tst_icon.moc"
