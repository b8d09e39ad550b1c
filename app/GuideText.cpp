#include "GuideText.h"

#include <QFile>
#include <QImage>
#include <QList>
#include <QRegularExpression>
#include <QSet>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFragment>
#include <QUrl>

namespace GuideText {

namespace {

// Where the resources hold the guide and the pictures it names beside it.
const QString ResourceFolder = QStringLiteral(":/guide/");

// The widest a picture is shown, in pixels: the screenshots are of whole windows.
constexpr int MaxPictureWidth = 720;

// The guide's lines are wrapped in its source, and Markdown joins a paragraph's lines with a space,
// which Chinese has none of: a line that ends in a Chinese character or mark and a next one that
// begins with one are joined without it.
QString joinedChineseLines(const QString &markdown)
{
    static const QRegularExpression chineseBreak(
        QStringLiteral("(?<=[\\p{Han}\\x{3000}-\\x{303F}\\x{FF00}-\\x{FFEF}\\x{201C}\\x{201D}])\\n[ \\t]*"
                       "(?=[\\p{Han}\\x{3000}-\\x{303F}\\x{FF00}-\\x{FFEF}\\x{201C}\\x{201D}])"));
    return QString(markdown).replace(chineseBreak, QString());
}

// Gives each heading its link target. GitHub numbers a repeated name: the second is name-1.
void nameHeadings(QTextDocument *document)
{
    QSet<QString> used;
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        if (block.blockFormat().headingLevel() == 0 || block.text().isEmpty())
            continue;
        const QString name = anchorName(block.text());
        QString unique = name;
        for (int repeat = 1; used.contains(unique); ++repeat)
            unique = QStringLiteral("%1-%2").arg(name).arg(repeat);
        used.insert(unique);
        QTextCursor text(block);
        text.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
        QTextCharFormat target;
        target.setAnchor(true);
        target.setAnchorNames({unique});
        text.mergeCharFormat(target);
    }
}

// Loads each picture the guide names from the resources, scaled down to the widest shown.
void loadPictures(QTextDocument *document)
{
    struct Picture {
        int position;
        QTextImageFormat format;
    };
    QList<Picture> pictures;
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next())
        for (QTextBlock::iterator it = block.begin(); !it.atEnd(); ++it)
            if (const QTextImageFormat format = it.fragment().charFormat().toImageFormat(); format.isValid())
                pictures.append({it.fragment().position(), format});
    // Each picture is one character of the text, whose format is changed once all are found.
    for (Picture &picture : pictures) {
        const QImage image(ResourceFolder + picture.format.name());
        if (image.isNull())
            continue;
        document->addResource(QTextDocument::ImageResource, QUrl(picture.format.name()), image);
        if (image.width() <= MaxPictureWidth)
            continue;
        picture.format.setWidth(MaxPictureWidth);
        picture.format.setHeight(double(image.height()) * MaxPictureWidth / image.width());
        QTextCursor place(document);
        place.setPosition(picture.position);
        place.setPosition(picture.position + 1, QTextCursor::KeepAnchor);
        place.setCharFormat(picture.format);
    }
}

}  // namespace

QString markdown()
{
    QFile file(ResourceFolder + QStringLiteral("guide.zh_CN.md"));
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.readAll());
}

void fill(QTextDocument *document)
{
    document->setMarkdown(joinedChineseLines(markdown()));
    nameHeadings(document);
    loadPictures(document);
}

QString anchorName(const QString &heading)
{
    QString name;
    for (const QChar c : heading.toLower()) {
        if (c == QLatin1Char(' '))
            name += QLatin1Char('-');
        else if (c.isLetterOrNumber() || c.isMark() || c == QLatin1Char('-') || c == QLatin1Char('_'))
            name += c;
    }
    return name;
}

QTextBlock heading(const QTextDocument *document, const QString &anchor)
{
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        if (block.blockFormat().headingLevel() == 0)
            continue;
        for (QTextBlock::iterator it = block.begin(); !it.atEnd(); ++it)
            if (it.fragment().charFormat().anchorNames().contains(anchor))
                return block;
    }
    return QTextBlock();
}

}  // namespace GuideText
