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

}  // namespace

// Grey at the left edge rising to almost white near column 216, then falling to a grey
// with a faint violet tint at the right edge.
QPixmap backgroundPicture()
{
    constexpr int width = 444, height = 285, peak = 216;
    const QColor left(184, 184, 184), middle(252, 252, 252), right(171, 168, 171);
    QImage image(width, height, QImage::Format_RGB32);
    for (int x = 0; x < width; ++x) {
        const QRgb colour =
            x <= peak ? blend(left, middle, double(x) / peak) : blend(middle, right, double(x - peak) / (width - 1 - peak));
        for (int y = 0; y < height; ++y)
            image.setPixel(x, y, colour);
    }
    return QPixmap::fromImage(image);
}

// A ledger being repaired: a black-bound account book, its white page edges showing at the side
// and the foot, a red spine and a label ruled in red, and a red spanner set on it, its open jaw
// towards the label. The drawing is laid out on a 16 x 16 grid with every straight edge on a
// grid line, so that at 16 pixels and every multiple of 16 the book's edges fall on pixel edges
// and stay sharp. At 32 pixels and more the spanner is drawn smooth, edged in white; below that
// a smooth slant would blur into the cover, so it is set pixel by pixel. Outside the drawing the
// image is transparent.
QImage iconImage(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 16.0, size / 16.0);
    painter.setPen(Qt::NoPen);
    const QColor black(20, 20, 20), red(204, 0, 0), white(255, 255, 255);

    painter.fillRect(QRectF(3, 2, 11, 14), black);  // back cover
    painter.fillRect(QRectF(3, 2, 10, 13), white);  // page edges, right of and below the front cover
    painter.fillRect(QRectF(2, 1, 10, 13), black);  // front cover
    painter.fillRect(QRectF(2, 1, 2, 13), red);     // spine
    painter.fillRect(QRectF(5, 2, 5, 5), white);    // label
    painter.fillRect(QRectF(6, 3, 3, 1), red);      // its ruling
    painter.fillRect(QRectF(6, 5, 3, 1), red);

    if (size < 32) {
        // Each grid row of the spanner: its first column and how many squares it fills.
        const int rows[][3] = {{8, 10, 2}, {9, 9, 1}, {9, 11, 2}, {10, 9, 4}, {11, 10, 3}, {12, 11, 3}, {13, 12, 3}, {14, 13, 2}};
        for (const auto &[y, x, width] : rows)
            painter.fillRect(QRect(x, y, width, 1), red);
        painter.fillRect(QRect(9, 8, 1, 1), white);  // the open jaw
        painter.fillRect(QRect(10, 9, 1, 1), white);
        painter.end();
        return image;
    }
    // Drawn along the x axis with the head's centre at the origin and the jaw opening towards -x,
    // then turned so that the handle runs to the lower right corner.
    QPainterPath head;
    head.addEllipse(QPointF(0, 0), 2, 2);
    QPainterPath jaw;
    jaw.addRect(QRectF(-2.5, -0.6, 2.6, 1.2));
    QPainterPath handle;
    handle.addRoundedRect(QRectF(0.5, -0.95, 5.2, 1.9), 0.95, 0.95);
    const QPainterPath spanner = head.subtracted(jaw).united(handle);
    painter.translate(11, 11);
    painter.rotate(45);
    painter.strokePath(spanner, QPen(white, 1.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.fillPath(spanner, red);
    painter.end();
    return image;
}

QIcon applicationIcon()
{
    QIcon icon;
    for (const int size : {32, 16, 48})  // the title bar's 32, and what panels and task lists pick
        icon.addPixmap(QPixmap::fromImage(iconImage(size)));
    return icon;
}

}  // namespace Artwork
