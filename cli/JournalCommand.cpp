// n3fix --journal [ID]: the repairs the journal holds, or one repair's rows.
#include "Commands.h"
#include "DatabaseSelection.h"
#include "JournalText.h"
#include "Output.h"
#include "RepairElsewhere.h"
#include "ReportFile.h"

#include "db/DataLocation.h"
#include "db/DbError.h"
#include "db/ODBC.h"
#include "repair/Journal.h"
#include "repair/JournalReader.h"
#include "repair/RepairPlace.h"

#include <QDir>
#include <QJsonArray>
#include <QMap>

namespace cli {

namespace {

const int PageRows = 1000;  // journal rows read at a time

// The repairs made elsewhere that share the journal directory (the embedded engine's default data
// directory keeps SQL Server's journals too): how many of each place, and the option that lists them.
QStringList otherPlaceLines(const QMap<QString, int> &counts)
{
    QStringList lines;
    for (auto other = counts.cbegin(); other != counts.cend(); ++other)
        lines << QStringLiteral("另有 %1 次%2做的修复，加 %3 查看。")
                     .arg(QString::number(other.value()), repair::RepairPlace::madeOn(other.key()),
                          repair::RepairPlace::option(other.key()));
    return lines;
}

}  // namespace

int journal(const Request &request)
{
    const Output out(request.json);
    const QString directory = repair::journalDirectory();
    try {
        if (request.journal.isEmpty()) {
            // Only the engine in use, as the journal window lists them: a repair made through the other
            // engine is read and undone through that one.
            QJsonArray list;
            qsizetype listed = 0;
            QMap<QString, int> elsewhere;  // by engine name
            for (const repair::RepairRecord &record : repair::listRepairs(directory)) {
                if (record.engine != ODBC::engineName()) {
                    ++elsewhere[record.engine];
                    continue;
                }
                ++listed;
                // each repair in the one form printed
                if (out.json())
                    list.append(repairJson(record));
                else
                    out.line(repairLine(record));
            }
            if (listed == 0)
                out.line(QStringLiteral("修复日志目录 %1 中没有%2修复记录。")
                             .arg(QDir::toNativeSeparators(directory),
                                  elsewhere.isEmpty() ? QString()
                                                      : repair::RepairPlace::madeOn(ODBC::engineName()) + QStringLiteral("做的")));
            for (const QString &line : otherPlaceLines(elsewhere))
                out.line(line);
            if (listed == 0 && db::noDataYet(ODBC::engine()))
                Output::error(
                    QStringLiteral("默认数据目录 %1 中还没有数据。").arg(QDir::toNativeSeparators(db::defaultDataDirectory()))
                    + waysToData());
            out.document(list);
            return 0;
        }
        const repair::RepairRecord record = repair::readRepair(directory, request.journal);
        out.line(repairLine(record));
        out.beginStreamedDocument(repairJson(record), QStringLiteral("rows"));
        // A page at a time: a journal of a million rows is listed in the memory of one page.
        for (qint64 offset = 0;; offset += PageRows) {
            const QList<repair::JournalRow> rows = repair::readRows(directory, request.journal, offset, PageRows);
            // each row in the one form printed: a million rows are not built twice
            for (const repair::JournalRow &row : rows) {
                if (out.json())
                    out.streamedElement(QJsonObject{{QStringLiteral("key"), keyJson(record, row)},
                                                    {QStringLiteral("old"), valuesJson(record, row.oldValues)},
                                                    {QStringLiteral("new"), valuesJson(record, row.newValues)}});
                else
                    out.line(QStringLiteral("  %1：%2 → %3")
                                 .arg(keyText(record, row), valuesText(record, row.oldValues), valuesText(record, row.newValues)));
            }
            if (rows.size() < PageRows)
                break;
        }
        out.endStreamedDocument();
        return ReportFile(request).saveRepair(directory, record, 0);
    } catch (const db::DbError &error) {
        // A repair made on other data is named with the option that reaches it.
        const QString elsewhere = repairElsewhere(request.journal, QStringLiteral("--journal"));
        const QString said = elsewhere.isEmpty() ? error.description() : error.description() + QStringLiteral("。") + elsewhere;
        Output::error(said);
        out.document(QJsonObject{{QStringLiteral("error"), said}});
        return 2;
    }
}

}  // namespace cli
