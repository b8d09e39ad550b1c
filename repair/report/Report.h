#pragma once

#include "repair/Money.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <optional>

// A report a bookkeeper keeps or hands on: the findings of checks, or the record of one repair.
// It is built once from what a check or a journal holds and written as PDF (ReportPdf, also to a
// printer) or CSV (ReportCsv); each writer shows the cells in its own way: amounts with thousands
// separators in print, plain decimals in CSV.
namespace repair::report {

// What a cell holds, which decides how each writer shows it.
enum class Kind {
    Text,    // words, as they are
    Code,    // an account code as read (db::shownCode() shows it), text in every writer
    Count,   // a whole number of rows, accounts, periods
    Money,   // an exact amount
    Amount,  // a stored amount: as Money when it reads as a number, else as stored
    Flag,    // a stored end-level flag: 是/否 with the stored value in print, the stored value in CSV
    Value,   // any other stored value (a period), as db::shownValue() shows it
};

struct Cell {
    Kind kind = Kind::Text;
    QString text;                // Text, Code
    QVariant stored;             // Amount, Flag, Value; Count as a qint64
    std::optional<Money> money;  // Money

    static Cell words(const QString &text) { return {Kind::Text, text, {}, {}}; }
    static Cell code(const QString &code) { return {Kind::Code, code, {}, {}}; }
    static Cell count(qint64 n) { return {Kind::Count, {}, QVariant(n), {}}; }
    static Cell amount(const Money &amount) { return {Kind::Money, {}, {}, amount}; }
    static Cell storedAmount(const QVariant &stored) { return {Kind::Amount, {}, stored, {}}; }
    static Cell flag(const QVariant &stored) { return {Kind::Flag, {}, stored, {}}; }
    static Cell value(const QVariant &stored) { return {Kind::Value, {}, stored, {}}; }
};

// A column: `key` names it across the tables of a report, so CSV, which has one header row, puts
// every table's cells of one key under one column; `title` heads it.
struct Column {
    QString key;
    QString title;
    Kind kind = Kind::Text;
};

// A labelled value that holds for a whole report or table: "帐套" 001(ABC), "数据库" LQDATA_001_2007.
struct Fact {
    QString key;
    QString label;
    Cell value;
};

struct Table {
    QString heading;      // above the table in print
    QList<Fact> context;  // holds for each of its rows: printed under the heading, and in CSV
                          // a column of its own on every row
    QList<Column> columns;
    QList<QList<Cell>> rows;  // each with a cell for every column
    QString empty;            // printed instead of the table when it has no row
    bool inCsv = true;        // false for a summary that only print shows; CSV lists findings
};

struct Report {
    QString title;      // "检查报告", "修复记录"
    QList<Fact> facts;  // the account set, year and database, and who made the report, when, where
    QList<Table> tables;
    QStringList closing;  // paragraphs after the tables: how to undo a repair
};

// The facts every report starts with after its own: when it was made, by whom and on which computer.
QList<Fact> madeFacts(const QDateTime &when = QDateTime::currentDateTime());

// A cell as print and the windows show it: amounts as RepairText::moneyShown(), flags as
// RepairText::flagShown().
QString shown(const Cell &cell);
// A cell as CSV holds it: amounts in plain decimals (RepairText::moneyExact()), flags and other
// values as stored.
QString plain(const Cell &cell);
// The amount a Money or Amount cell holds; nothing for a stored amount that reads as no number (or
// one beyond what Money holds), and for cells of other kinds.
std::optional<Money> moneyOf(const Cell &cell);
// Whether print sets the cell to the right: numbers and amounts.
bool alignsRight(Kind kind);

// The formats a report can be saved in, by the file's extension: ".pdf", ".csv".
enum class Format { Pdf, Csv };
std::optional<Format> formatOf(const QString &fileName);
// The formats offered, for a message that refuses another: "PDF（.pdf）、CSV（.csv）".
QString formatsOffered();

// Writes `report` to `fileName` in the format its extension names; raises db::DbError naming the
// file, and why, when it can't (no such format, the folder not writable, the disk full, no
// Chinese font for a PDF). A file that can't be written whole is not left behind.
void save(const Report &report, const QString &fileName);

}  // namespace repair::report
