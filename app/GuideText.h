#pragma once

#include <QString>
#include <QTextBlock>

class QTextDocument;

// The user guide as the program carries it: docs/guide.zh_CN.md and its pictures, built in as Qt
// resources, shown by Qt's own Markdown rendering.
namespace GuideText {

// The guide's Markdown, as the program carries it.
QString markdown();

// Fills `document` with the guide. Each heading is a link target named as GitHub names it, so that
// the guide's links to its own headings ([…](#连接-sql-server)) work in the program as on the web;
// its pictures come from the resources, none wider than a window.
void fill(QTextDocument *document);

// The name a heading is linked by: its text in lower case, punctuation left out, each space a
// hyphen (连接 SQL Server: 连接-sql-server).
QString anchorName(const QString &heading);

// The heading block a link target names, or an invalid block.
QTextBlock heading(const QTextDocument *document, const QString &anchor);

}  // namespace GuideText
