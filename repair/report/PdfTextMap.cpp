#include "PdfTextMap.h"

#include <QHash>
#include <QList>
#include <QRawFont>
#include <QRegularExpression>
#include <QSet>

namespace repair::report {

namespace {

constexpr char32_t firstRadical = 0x2E80;
constexpr char32_t lastRadical = 0x2FDF;

bool isRadical(char32_t c)
{
    return c >= firstRadical && c <= lastRadical;
}

// For each radical the font draws with the glyph of a character `drawn` holds (and `drawn` does
// not hold the radical itself), that character.
QHash<char32_t, char32_t> radicalsToCharacters(const QFont &font, const QString &drawn)
{
    const QRawFont raw = QRawFont::fromFont(font);
    QHash<quint32, char32_t> characterOfGlyph;
    QSet<char32_t> radicalsDrawn;
    const QList<uint> characters = drawn.toUcs4();
    for (const char32_t c : QSet<uint>(characters.begin(), characters.end())) {  // each once
        if (isRadical(c)) {
            radicalsDrawn.insert(c);
            continue;
        }
        if (c < firstRadical || c > 0xFFFF)
            continue;
        const QList<quint32> glyphs = raw.glyphIndexesForString(QString::fromUcs4(&c, 1));
        if (glyphs.size() == 1 && glyphs.front() != 0)
            characterOfGlyph.insert(glyphs.front(), c);
    }
    QHash<char32_t, char32_t> replacement;
    for (char32_t radical = firstRadical; radical <= lastRadical; ++radical) {
        if (radicalsDrawn.contains(radical))
            continue;
        const QList<quint32> glyphs = raw.glyphIndexesForString(QString::fromUcs4(&radical, 1));
        if (glyphs.size() == 1 && characterOfGlyph.contains(glyphs.front()))
            replacement.insert(radical, characterOfGlyph.value(glyphs.front()));
    }
    return replacement;
}

// The mapping target `<XXXX>` at `at` in `pdf`, replaced when it is a radical to replace.
void mendTarget(QByteArray &pdf, qsizetype at, const QHash<char32_t, char32_t> &replacement)
{
    bool ok = false;
    const char32_t target = pdf.mid(at + 1, 4).toUInt(&ok, 16);
    if (!ok || !replacement.contains(target))
        return;
    const QByteArray hex = QByteArray::number(replacement.value(target), 16).toUpper().rightJustified(4, '0');
    pdf.replace(at + 1, 4, hex);
}

}  // namespace

QByteArray withTextMapMended(const QByteArray &pdf, const QFont &font, const QString &drawn)
{
    const QHash<char32_t, char32_t> replacement = radicalsToCharacters(font, drawn);
    if (replacement.isEmpty())
        return pdf;
    QByteArray mended = pdf;
    // Each line of a map's ranges: "<first> <last> <character>", where first == last maps one
    // glyph (first < last maps a run of glyphs to a run of characters, which no radical run in a
    // report makes and which is left as it is), or "<first> <last> [<c1> <c2> ...]".
    static const QRegularExpression single(QStringLiteral("<([0-9A-F]{4})> <([0-9A-F]{4})> (<[0-9A-F]{4}>)\n"));
    static const QRegularExpression list(QStringLiteral("<[0-9A-F]{4}> <[0-9A-F]{4}> \\[((?:<[0-9A-F]{4}> )+)\\]\n"));
    qsizetype from = 0;
    while ((from = mended.indexOf("beginbfrange\n", from)) >= 0) {
        const qsizetype end = mended.indexOf("endbfrange", from);
        if (end < 0)
            break;
        // the map is ASCII, so its bytes and the characters of this text are at the same places
        const QString ranges = QString::fromLatin1(mended.mid(from, end - from));
        for (auto it = single.globalMatch(ranges); it.hasNext();) {
            const QRegularExpressionMatch match = it.next();
            if (match.captured(1) == match.captured(2))
                mendTarget(mended, from + match.capturedStart(3), replacement);
        }
        for (auto it = list.globalMatch(ranges); it.hasNext();) {
            const QRegularExpressionMatch match = it.next();
            for (qsizetype at = match.capturedStart(1); at < match.capturedEnd(1); at += 7)
                mendTarget(mended, from + at, replacement);
        }
        from = end;
    }
    return mended;
}

}  // namespace repair::report
