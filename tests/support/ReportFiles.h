#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// Report files read back as the programs that open them read them: CSV as a spreadsheet parses it
// (RFC 4180), PDF as text through poppler's pdftotext, a real process.
namespace ReportFiles {

// The file's records, each a list of its fields unquoted; `raw` gets the file's bytes as text,
// byte-order mark and all.
QList<QStringList> readCsv(const QString &path, QString *raw = nullptr);

// The text of the PDF at `path` in its layout, pages parted by form feeds; empty when pdftotext
// is missing or fails (the caller skips or fails, naming it).
QString pdfText(const QString &path);

}  // namespace ReportFiles
