#pragma once

#include <QByteArray>
#include <QFont>
#include <QString>

namespace repair::report {

// A PDF written by Qt with its text map mended, so that a reader copying or searching its text
// gets the characters drawn. Qt maps each glyph back to the first character that draws it; a
// Chinese font draws many radicals (U+2E80 to U+2FDF) with the very glyph of an everyday character
// (⾦ and 金, ⻚ and 页), so 金额 would copy as ⾦额 and 第 1 页 could not be found. Where `drawn`,
// the text the PDF draws, holds such a character and not the radical, the radical is replaced in
// the map by the character. `font` is the font the text is drawn in. The PDF keeps its size and
// the places of its objects: each mapping is the same number of bytes.
QByteArray withTextMapMended(const QByteArray &pdf, const QFont &font, const QString &drawn);

}  // namespace repair::report
