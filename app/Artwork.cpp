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

// A black tile with a red ring and a red bar across it: a plain mark of "repair".
QIcon applicationIcon()
{
    QImage image(32, 32, QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor red(204, 0, 0);
    painter.setPen(QPen(red, 4));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(QRectF(5, 5, 22, 22));
    painter.setPen(Qt::NoPen);
    painter.setBrush(red);
    painter.drawRect(QRectF(9, 14, 14, 4));
    painter.end();
    return QIcon(QPixmap::fromImage(image));
}

} // namespace Artwork
