#include "CheckReport.h"

#include "CheckListModel.h"
#include "MessageBox.h"

#include "db/DataLocation.h"
#include "db/ODBC.h"

#include <QDateTime>

namespace CheckReport {

repair::report::DatabaseFindings findingsOf(const DatabaseCheck &database)
{
    repair::report::DatabaseFindings found;
    found.accountSet = database.accountSet;
    found.accountSetName = database.accountSetName;
    found.year = database.year;
    found.database = database.database;
    found.note = CheckListModel::note(database);
    if (database.checked) {
        found.endFlags = database.endFlags;
        found.balances = database.balances;
        found.recompute = database.recompute;
    }
    return found;
}

std::optional<repair::report::Report> ask(const CheckListModel &databases, int selectedRow, QString &name)
{
    bool all = selectedRow < 0;
    if (selectedRow >= 0 && databases.rowCount() > 1) {
        const int answer =
            MessageBox::ask(QStringLiteral("报告包含哪些年度的检查结果？"),
                            {QStringLiteral("选中的年度(&S)"), QStringLiteral("所有年度(&A)"), QStringLiteral("取消")}, 0, 2);
        if (answer == 2)
            return std::nullopt;
        all = answer == 1;
    }
    QList<repair::report::DatabaseFindings> findings;
    for (int row = 0; row < databases.rowCount(); ++row)
        if (all || row == selectedRow)
            findings << findingsOf(databases.databaseAt(row));
    name = QStringLiteral("检查报告-%1-%2")
               .arg(all ? QStringLiteral("全部") : databases.databaseAt(selectedRow).database,
                    QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmm")));
    return repair::report::findingsReport(findings, {db::DataLocation::of(ODBC::engine()).shown(), false});
}

}  // namespace CheckReport
