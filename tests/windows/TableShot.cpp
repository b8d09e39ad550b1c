#include "TableShot.h"

#include <QList>

#include <algorithm>
#include <tuple>

namespace TableShot {

namespace {

// A line one pixel high, of one colour, across at least MinimumWidth pixels.
struct Line {
    QRgb colour;
    int x0, x1, y;  // x1 past the end
    bool operator<(const Line &other) const
    {
        return std::tie(colour, x0, x1, y) < std::tie(other.colour, other.x0, other.x1, other.y);
    }
};

constexpr int MinimumWidth = 150;

// Each run of one colour at least MinimumWidth long whose pixels above and below are, nearly all,
// of other colours: a line, not the edge or the inside of a flat area.
QList<Line> horizontalLines(const QImage &image)
{
    QList<Line> lines;
    for (int y = 1; y + 1 < image.height(); ++y) {
        for (int x = 0; x < image.width();) {
            const QRgb colour = image.pixel(x, y);
            int end = x;
            while (end < image.width() && image.pixel(end, y) == colour)
                ++end;
            if (end - x >= MinimumWidth) {
                int thin = 0;
                for (int i = x; i < end; ++i)
                    thin += image.pixel(i, y - 1) != colour && image.pixel(i, y + 1) != colour;
                if (thin * 10 >= (end - x) * 9)
                    lines.append({colour, x, end, y});
            }
            x = end;
        }
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

// Whether the rows ruled by lines[first] to lines[last] (one colour and width, evenly spaced) form
// a table: column borders of the lines' colour cross them all, and rows hold text.
bool isGrid(const QImage &image, const QList<Line> &lines, qsizetype first, qsizetype last)
{
    const Line &top = lines[first], &bottom = lines[last];
    int borders = 0;
    for (int x = top.x0 + 1; x + 1 < top.x1; ++x) {
        bool crosses = true;
        for (int y = top.y; y <= bottom.y && crosses; ++y)
            crosses = image.pixel(x, y) == top.colour;
        borders += crosses;
    }
    int rowsWithText = 0;
    for (qsizetype row = first; row < last; ++row) {
        bool text = false;
        for (int y = lines[row].y + 1; y < lines[row + 1].y && !text; ++y)
            for (int x = top.x0; x < top.x1 && !text; ++x)
                text = qGray(image.pixel(x, y)) < 110;
        rowsWithText += text;
    }
    return borders >= 2 && rowsWithText >= 2;
}

}  // namespace

bool showsTable(const QImage &shot)
{
    const QImage image = shot.convertToFormat(QImage::Format_RGB32);
    const QList<Line> lines = horizontalLines(image);
    // runs of lines alike but for their height, each as far apart as the one before
    for (qsizetype first = 0; first < lines.size(); ++first) {
        qsizetype last = first;
        while (last + 1 < lines.size()
               && std::tie(lines[last + 1].colour, lines[last + 1].x0, lines[last + 1].x1)
                      == std::tie(lines[first].colour, lines[first].x0, lines[first].x1)
               && lines[last + 1].y - lines[last].y == lines[first + 1].y - lines[first].y
               && lines[last + 1].y - lines[last].y >= 8)
            ++last;
        if (last - first >= 2 && isGrid(image, lines, first, last))
            return true;
    }
    return false;
}

}  // namespace TableShot
