#include "ReportPdf.h"

#include "PdfTextMap.h"

#include "db/DbError.h"

#include <QAbstractTextDocumentLayout>
#include <QBuffer>
#include <QCoreApplication>
#include <QFontDatabase>
#include <QPainter>
#include <QPdfWriter>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextTable>

#include <algorithm>

namespace repair::report {

namespace {

// The font families that draw Chinese well, best first: Debian's Noto CJK and the fonts of
// Chinese Windows.
const QStringList preferredFamilies = {
    QStringLiteral("Noto Sans CJK SC"),
    QStringLiteral("Noto Sans SC"),
    QStringLiteral("Source Han Sans SC"),
    QStringLiteral("Microsoft YaHei"),
    QStringLiteral("微软雅黑"),
    QStringLiteral("SimSun"),
    QStringLiteral("宋体"),
    QStringLiteral("SimHei"),
    QStringLiteral("黑体"),
    QStringLiteral("WenQuanYi Zen Hei"),
    QStringLiteral("WenQuanYi Micro Hei"),
    QStringLiteral("Droid Sans Fallback"),
};

// Rows of a long table laid out as one table.
constexpr qsizetype PartRows = 200;

// The families that draw Latin letters and digits first, where the system has one: a Chinese
// font shapes them with glyphs of its own that no character maps back to, so that a reader
// copying the text of a PDF would get LQDATA_007_2031 as "LQDATA_ _".
const QStringList latinFamilies = {QStringLiteral("DejaVu Sans"), QStringLiteral("Segoe UI"), QStringLiteral("Arial"),
                                   QStringLiteral("Liberation Sans")};

// A font family of this system that draws Simplified Chinese: a preferred one, else any.
QString chineseFamily()
{
    const QStringList chinese = QFontDatabase::families(QFontDatabase::SimplifiedChinese);
    for (const QString &family : preferredFamilies)
        if (chinese.contains(family, Qt::CaseInsensitive))
            return family;
    for (const QString &family : chinese)
        if (!QFontDatabase::isPrivateFamily(family) && QFontDatabase::isScalable(family))
            return family;
    throw db::DbError(QStringLiteral("这台计算机上没有能显示中文的字体，无法制作 PDF 报告或打印。"
                                     "请安装中文字体（Debian 上是软件包 fonts-noto-cjk），或把报告存为 CSV。"));
}

QString factText(const Fact &fact)
{
    return fact.label + QStringLiteral("：") + shown(fact.value);
}

// The text of `report` as it is to be paged: sizes in points, which the document turns into the
// device's pixels.
class Layout {
public:
    Layout(QTextDocument &document, const QString &chinese) : m_cursor(&document)
    {
        const QStringList installed = QFontDatabase::families();
        for (const QString &family : latinFamilies)
            if (installed.contains(family, Qt::CaseInsensitive)) {
                m_families << family;
                break;
            }
        m_families << chinese;
        document.setDocumentMargin(0);
        document.setDefaultFont(font(9));
    }

    void title(const QString &text)
    {
        QTextBlockFormat centered;
        centered.setAlignment(Qt::AlignHCenter);
        centered.setBottomMargin(8);
        m_cursor.setBlockFormat(centered);
        m_cursor.insertText(text, charFormat(16, true));
    }

    void paragraph(const QString &text, int points = 9, bool bold = false, qreal above = 0)
    {
        QTextBlockFormat block;
        block.setTopMargin(above);
        block.setBottomMargin(2);
        m_cursor.insertBlock(block, charFormat(points, bold));
        m_cursor.insertText(text);
    }

    void table(const Table &table)
    {
        paragraph(table.heading, 11, true, 10);
        QStringList context;
        for (const Fact &fact : table.context)
            context << factText(fact);
        if (!context.isEmpty())
            paragraph(context.join(QStringLiteral("　")));
        if (table.rows.isEmpty()) {
            paragraph(table.empty);
            return;
        }
        // A long table goes in parts of PartRows rows, each with its header, one under the other
        // and with the same column widths: Qt lays a table out again for each page it runs on, so
        // that one table of 10,000 rows takes three times as long as its parts.
        QTextTableFormat format;
        format.setHeaderRowCount(1);  // repeated at the top of every page the table runs on
        format.setBorder(0.5);
        format.setBorderCollapse(true);
        format.setCellPadding(2);
        format.setCellSpacing(0);
        format.setWidth(QTextLength(QTextLength::PercentageLength, 100));
        format.setColumnWidthConstraints(columnWidths(table));
        format.setBottomMargin(0);
        for (qsizetype first = 0; first < table.rows.size(); first += PartRows)
            part(table, first, std::min(first + PartRows, table.rows.size()), format);
        m_cursor.movePosition(QTextCursor::End);
    }

    // Rows [first, end) of `table` as a table of their own under its header row.
    void part(const Table &table, qsizetype first, qsizetype end, const QTextTableFormat &format)
    {
        QTextTable *grid = m_cursor.insertTable(int(end - first) + 1, int(table.columns.size()), format);
        // Cell after cell with one cursor: looking each cell up would take time that grows with
        // the square of the rows.
        QTextCharFormat heading = charFormat(9, true);
        heading.setBackground(QColor(0xE8, 0xE8, 0xE8));
        const QTextCharFormat body = charFormat(9, false);
        QTextCursor cursor = grid->cellAt(0, 0).firstCursorPosition();
        for (qsizetype row = first - 1; row < end; ++row)
            for (qsizetype column = 0; column < table.columns.size(); ++column) {
                const Column &of = table.columns[column];
                const bool header = row < first;
                if (header)
                    grid->cellAt(0, int(column)).setFormat(heading);
                if (alignsRight(of.kind)) {
                    QTextBlockFormat right;
                    right.setAlignment(Qt::AlignRight);
                    cursor.setBlockFormat(right);
                }
                cursor.insertText(header ? of.title : shown(table.rows[row].value(column)), header ? heading : body);
                cursor.movePosition(QTextCursor::NextCell);
            }
        m_cursor.movePosition(QTextCursor::End);
    }

    // The columns' shares of the width, by the longest text each holds (a Chinese character
    // counted as two), so that the parts of a long table line up.
    static QList<QTextLength> columnWidths(const Table &table)
    {
        QList<double> longest(table.columns.size(), 4);
        const auto measure = [&longest](qsizetype column, const QString &text) {
            double width = 0;
            for (const QChar c : text)
                width += c.unicode() >= 0x2E80 ? 2 : 1;
            longest[column] = std::max(longest[column], std::min(width, 60.0));
        };
        for (qsizetype column = 0; column < table.columns.size(); ++column) {
            measure(column, table.columns[column].title);
            for (const QList<Cell> &row : table.rows)
                measure(column, shown(row.value(column)));
        }
        double total = 0;
        for (const double width : std::as_const(longest))
            total += width;
        QList<QTextLength> widths;
        for (const double width : std::as_const(longest))
            widths << QTextLength(QTextLength::PercentageLength, 100 * width / total);
        return widths;
    }

    QFont font(int points, bool bold = false) const
    {
        QFont font;
        font.setFamilies(m_families);
        font.setPointSize(points);
        font.setBold(bold);
        // Any spacing of letters turns off ligatures, so that "n3fix" copied from the PDF is not
        // "n3ﬁx"; this one is too small to see.
        font.setLetterSpacing(QFont::AbsoluteSpacing, 0.02);
        return font;
    }

private:
    QTextCharFormat charFormat(int points, bool bold) const
    {
        QTextCharFormat format;
        format.setFont(font(points, bold));
        return format;
    }

    QTextCursor m_cursor;
    QStringList m_families;
};

int widestTable(const Report &report)
{
    int widest = 0;
    for (const Table &table : report.tables)
        widest = std::max(widest, int(table.columns.size()));
    return widest;
}

QString pageFoot(int page, int pages)
{
    return QStringLiteral("第 %1 页，共 %2 页").arg(page).arg(pages);
}

// Draws `report` on `device`; returns the Chinese font its text is drawn in, and the whole text
// drawn, for mending a PDF's text map.
std::pair<QFont, QString> draw(const Report &report, QPagedPaintDevice &device)
{
    const QString family = chineseFamily();
    if (widestTable(report) > 6)
        device.setPageOrientation(QPageLayout::Landscape);

    // The text is laid out in the device's own measure, once, when whole: laid out as it is
    // written, a table would be laid out again for each cell.
    QTextDocument document;
    Layout layout(document, family);
    layout.title(report.title);
    for (const Fact &fact : report.facts)
        layout.paragraph(factText(fact));
    for (const Table &table : report.tables)
        layout.table(table);
    for (qsizetype i = 0; i < report.closing.size(); ++i)
        layout.paragraph(report.closing[i], 9, false, i == 0 ? 10 : 0);
    document.documentLayout()->setPaintDevice(&device);

    const QRectF area(QPointF(0, 0), device.pageLayout().paintRectPixels(device.logicalDpiX()).size());
    const QFont footFont = layout.font(8);
    const qreal footHeight = 2 * QFontMetricsF(footFont, &device).height();
    const QSizeF body(area.width(), area.height() - footHeight);
    document.setPageSize(body);

    QPainter painter;
    if (!painter.begin(&device))
        throw db::DbError(QStringLiteral("无法开始绘制报告：打印机或文件不可用。"));
    const int pages = document.pageCount();
    for (int page = 0; page < pages; ++page) {
        if (page > 0 && !device.newPage())
            throw db::DbError(QStringLiteral("无法开始报告的第 %1 页。").arg(page + 1));
        painter.save();
        painter.translate(0, -page * body.height());
        const QRectF shownPart(QPointF(0, page * body.height()), body);
        painter.setClipRect(shownPart);
        QAbstractTextDocumentLayout::PaintContext context;
        context.clip = shownPart;
        context.palette.setColor(QPalette::Text, Qt::black);
        document.documentLayout()->draw(&painter, context);
        painter.restore();
        painter.setFont(footFont);
        painter.setPen(Qt::black);
        painter.drawText(QRectF(0, body.height(), area.width(), footHeight), Qt::AlignCenter, pageFoot(page + 1, pages));
    }
    painter.end();
    return {QFont(family, 9), document.toPlainText() + pageFoot(0, 0)};
}

}  // namespace

void print(const Report &report, QPagedPaintDevice &device)
{
    draw(report, device);
}

QByteArray pdf(const Report &report)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    std::pair<QFont, QString> drawn;
    {
        QPdfWriter writer(&buffer);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
        writer.setResolution(300);
        writer.setTitle(report.title);
        writer.setCreator(QCoreApplication::applicationName());
        drawn = draw(report, writer);
    }
    return withTextMapMended(buffer.data(), drawn.first, drawn.second);
}

}  // namespace repair::report
