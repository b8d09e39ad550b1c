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

#include <QDir>
#include <QJsonArray>

namespace cli {

namespace {

const int PageRows = 1000;  // journal rows read at a time

// Which repairs, by the engine that made them.
QString madeThrough(bool odbc)
{
    return odbc ? QStringLiteral("通过 ODBC（SQL Server）做的") : QStringLiteral("在内置数据库上做的");
}

// The repairs of the other engine that share the journal directory (the embedded engine's default
// data directory keeps ODBC's journal too): how many, and the option that lists them.
QString otherEngineLine(int count)
{
    const bool odbc = ODBC::engine().kind == db::EngineKind::Odbc;
    const QString option = odbc ? QStringLiteral("--data-dir ") + QDir::toNativeSeparators(db::defaultDataDirectory())
                                : QStringLiteral("--odbc");
    return QStringLiteral("另有 %1 次%2修复，加 %3 查看。").arg(QString::number(count), madeThrough(!odbc), option);
}

} // namespace

int journal(const Request &request)
{
    const Output out(request.json);
    const QString directory = repair::journalDirectory();
    try {
        if (request.journal.isEmpty()) {
            // Only the engine in use, as the journal window lists them: a repair made through the other
            // engine is read and undone through that one.
            QJsonArray list;
            int otherEngine = 0;
            for (const repair::RepairRecord &record : repair::listRepairs(directory)) {
                if (record.engine != ODBC::engineName()) {
                    ++otherEngine;
                    continue;
                }
                list.append(repairJson(record));
                out.line(repairLine(record));
            }
            if (list.isEmpty())
                out.line(QStringLiteral("修复日志目录 %1 中没有%2修复记录。")
                             .arg(QDir::toNativeSeparators(directory),
                                  otherEngine ? madeThrough(ODBC::engine().kind == db::EngineKind::Odbc) : QString()));
            if (otherEngine)
                out.line(otherEngineLine(otherEngine));
            if (list.isEmpty() && db::noDataYet(ODBC::engine()))
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

} // namespace cli
