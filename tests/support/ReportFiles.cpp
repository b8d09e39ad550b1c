#include "ReportFiles.h"

#include <QFile>
#include <QProcess>

namespace ReportFiles {

QList<QStringList> readCsv(const QString &path, QString *raw)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    const QString text = QString::fromUtf8(bytes);  // which drops a byte-order mark
    if (raw)
        *raw = (bytes.startsWith("\xEF\xBB\xBF") ? QString(QChar(0xFEFF)) : QString()) + text;
    QList<QStringList> records;
    QStringList record;
    QString field;
    bool quoted = false;
    qsizetype i = text.startsWith(QChar(0xFEFF)) ? 1 : 0;
    for (; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text.at(i + 1) == '"')
                field += text.at(++i);
            else if (c == '"')
                quoted = false;
            else
                field += c;
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            record << field;
            field.clear();
        } else if (c == '\r' && i + 1 < text.size() && text.at(i + 1) == '\n') {
            record << field;
            records << record;
            record.clear();
            field.clear();
            ++i;
        } else {
            field += c;
        }
    }
    if (!field.isEmpty() || !record.isEmpty())
        records << (record << field);
    return records;
}

QString pdfText(const QString &path)
{
    QProcess pdftotext;
    pdftotext.start(QStringLiteral("pdftotext"),
                    {QStringLiteral("-layout"), QStringLiteral("-enc"), QStringLiteral("UTF-8"), path, QStringLiteral("-")});
    if (!pdftotext.waitForFinished(60000) || pdftotext.exitStatus() != QProcess::NormalExit || pdftotext.exitCode() != 0)
        return QString();
    return QString::fromUtf8(pdftotext.readAllStandardOutput());
}

}  // namespace ReportFiles
