#include "ReportFile.h"

#include "Output.h"

#include "db/DataLocation.h"
#include "db/DbError.h"
#include "db/ODBC.h"
#include "repair/report/RepairReport.h"

namespace cli {

void ReportFile::add(repair::report::DatabaseFindings findings)
{
    if (!m_request.report.isEmpty())
        m_findings.append(std::move(findings));
}

int ReportFile::saveFindings(int status) const
{
    if (m_request.report.isEmpty())
        return status;
    const repair::report::FindingsScope scope{db::DataLocation::of(ODBC::engine()).shown(), m_request.dryRun};
    return saved(repair::report::findingsReport(m_findings, scope), status);
}

int ReportFile::saveRepair(const QString &directory, const repair::RepairRecord &record, int status) const
{
    if (m_request.report.isEmpty())
        return status;
    try {
        return saved(repair::report::repairReport(directory, record), status);
    } catch (const db::DbError &error) {
        Output::error(error.description());
        return 2;
    }
}

int ReportFile::saved(const repair::report::Report &report, int status) const
{
    try {
        repair::report::save(report, m_request.report);
        return status;
    } catch (const db::DbError &error) {
        Output::error(error.description());
        return 2;
    }
}

}  // namespace cli
