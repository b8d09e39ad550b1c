#include "ReportCsv.h"

#include "db/StoredValue.h"

#include <QStringList>

namespace repair::report {

namespace {

// Whether a cell goes into CSV as a number a spreadsheet may compute with: counts, amounts that
// read as money, and flags and other values stored as numbers. Everything else (codes above all,
// which a spreadsheet would otherwise strip of leading zeros or turn into dates, and amounts that
// read as no number) goes as quoted text.
bool isNumber(const Cell &cell)
{
    switch (cell.kind) {
    case Kind::Count:
        return true;
    case Kind::Money:
    case Kind::Amount:
        return moneyOf(cell).has_value();
    case Kind::Flag:
    case Kind::Value: {
        const db::StorageClass storage = db::storageClass(cell.stored);
        return storage == db::StorageClass::Integer || storage == db::StorageClass::Real;
    }
    default:
        return false;
    }
}

// A text field, quoted. A text a spreadsheet would take for a formula (beginning with = + - @,
// a tab or a carriage return) gets an apostrophe before it, which spreadsheets read as "this is
// text"; so does a text that itself begins with one, so two different texts never read alike.
QString quoted(QString text)
{
    static const QString formulaStarts = QStringLiteral("=+-@\t\r'");
    if (!text.isEmpty() && formulaStarts.contains(text.front()))
        text.prepend(QLatin1Char('\''));
    text.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + text + QLatin1Char('"');
}

QString field(const Cell &cell)
{
    const QString text = plain(cell);
    if (text.isEmpty())
        return QString();
    return isNumber(cell) ? text : quoted(text);
}

// The keys of the columns every table's rows are set under, with their titles: first the context
// of every table, then its columns, each key once, in the order met.
struct Header {
    QStringList keys;
    QStringList titles;

    void add(const QString &key, const QString &title)
    {
        if (keys.contains(key))
            return;
        keys << key;
        titles << title;
    }
};

Header headerOf(const Report &report)
{
    Header header;
    for (const Table &table : report.tables)
        if (table.inCsv)
            for (const Fact &fact : table.context)
                header.add(fact.key, fact.label);
    for (const Table &table : report.tables)
        if (table.inCsv)
            for (const Column &column : table.columns)
                header.add(column.key, column.title);
    return header;
}

}  // namespace

QByteArray csv(const Report &report)
{
    const Header header = headerOf(report);
    QStringList lines;
    QStringList titles;
    for (const QString &title : header.titles)
        titles << quoted(title);
    lines << titles.join(QLatin1Char(','));
    for (const Table &table : report.tables) {
        if (!table.inCsv)
            continue;
        for (const QList<Cell> &row : table.rows) {
            QStringList fields(header.keys.size());
            for (const Fact &fact : table.context)
                fields[header.keys.indexOf(fact.key)] = field(fact.value);
            for (qsizetype i = 0; i < table.columns.size() && i < row.size(); ++i)
                fields[header.keys.indexOf(table.columns[i].key)] = field(row[i]);
            lines << fields.join(QLatin1Char(','));
        }
    }
    return QByteArray("\xEF\xBB\xBF") + lines.join(QStringLiteral("\r\n")).toUtf8() + "\r\n";
}

}  // namespace repair::report
