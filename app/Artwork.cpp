#include "Artwork.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>

namespace Artwork {

namespace {

// Linear blend of two colours, t from 0 to 1.
QRgb blend(QColor a, QColor b, double t)
{
    return qRgb(qRound(a.red() + (b.red() - a.red()) * t), qRound(a.green() + (b.green() - a.green()) * t),
                qRound(a.blue() + (b.blue() - a.blue()) * t));
}

} // namespace

// Grey at the left edge rising to almost white near column 216, then falling to a grey
// with a faint violet tint at the right edge.
QPixmap backgroundPicture()
{
    constexpr int width = 444, height = 285, peak = 216;
    const QColor left(184, 184, 184), middle(252, 252, 252), right(171, 168, 171);
    QImage image(width, height, QImage::Format_RGB32);
    for (int x = 0; x < width; ++x) {
        const QRgb colour = x <= peak ? blend(left, middle, double(x) / peak)
                                      : blend(middle, right, double(x - peak) / (width - 1 - peak));
        for (int y = 0; y < height; ++y)
            image.setPixel(x, y, colour);
    }
    return QPixmap::fromImage(image);
}

// A black tile with a red ring and a red bar across it: a plain mark of "repair". The design
// is laid out on a 32 x 32 grid and scaled to the size asked for.
QImage iconImage(int size)
{
    QImage image(size, size, QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 32.0, size / 32.0);
    const QColor red(204, 0, 0);
    painter.setPen(QPen(red, 4));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(QRectF(5, 5, 22, 22));
    painter.setPen(Qt::NoPen);
    painter.setBrush(red);
    painter.drawRect(QRectF(9, 14, 14, 4));
    painter.end();
    return image;
}

QIcon applicationIcon()
{
    return QIcon(QPixmap::fromImage(iconImage(32)));
}

} // namespace Artwork
