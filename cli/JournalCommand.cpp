// n3fix --journal [ID]: the repairs the journal holds, or one repair's rows.
#include "Commands.h"
#include "JournalText.h"
#include "Output.h"

#include "db/DbError.h"
#include "repair/Journal.h"
#include "repair/JournalReader.h"

#include <QDir>
#include <QJsonArray>

namespace cli {

namespace {
const int PageRows = 1000;  // journal rows read at a time
}

int journal(const Request &request)
{
    const Output out(request.json);
    const QString directory = repair::journalDirectory();
    try {
        if (request.journal.isEmpty()) {
            const QList<repair::RepairRecord> repairs = repair::listRepairs(directory);
            QJsonArray list;
            for (const repair::RepairRecord &record : repairs) {
                list.append(repairJson(record));
                out.line(repairLine(record));
            }
            if (repairs.isEmpty())
                out.line(QStringLiteral("修复日志目录 %1 中没有修复记录。").arg(QDir::toNativeSeparators(directory)));
            out.document(list);
            return 0;
        }
        const repair::RepairRecord record = repair::readRepair(directory, request.journal);
        out.line(repairLine(record));
        out.beginStreamedDocument(repairJson(record), QStringLiteral("rows"));
        // A page at a time: a journal of a million rows is listed in the memory of one page.
        for (qint64 offset = 0;; offset += PageRows) {
            const QList<repair::JournalRow> rows = repair::readRows(directory, request.journal, offset, PageRows);
            for (const repair::JournalRow &row : rows) {
                out.streamedElement(QJsonObject{{QStringLiteral("key"), keyJson(record, row)},
                                                {QStringLiteral("old"), valuesJson(record, row.oldValues)},
                                                {QStringLiteral("new"), valuesJson(record, row.newValues)}});
                out.line(QStringLiteral("  %1：%2 → %3")
                             .arg(keyText(record, row), valuesText(record, row.oldValues), valuesText(record, row.newValues)));
            }
            if (rows.size() < PageRows)
                break;
        }
        out.endStreamedDocument();
        return 0;
    } catch (const db::DbError &error) {
        Output::error(error.description());
        out.document(QJsonObject{{QStringLiteral("error"), error.description()}});
        return 2;
    }
}

} // namespace cli
