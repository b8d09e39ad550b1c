#pragma once

#include "Commands.h"

#include "repair/RepairRecord.h"
#include "repair/report/FindingsReport.h"

#include <QList>

namespace cli {

// What --report FILE asks of a command: the findings it made, or the repair it listed, saved as
// a report in the format the file's extension names. The command's own output and status stay
// as they are; a report that can't be saved is said on standard error and ends the command with
// status 2, since what was asked for did not happen.
class ReportFile {
public:
    explicit ReportFile(const Request &request) : m_request(request) {}

    // The findings of one database, to be reported once the command has made them all.
    void add(repair::report::DatabaseFindings findings);
    // Saves the findings added, when --report was given; the status to end with.
    int saveFindings(int status) const;
    // Saves the record of the repair `record`, whose journal is in `directory`, when --report was given.
    int saveRepair(const QString &directory, const repair::RepairRecord &record, int status) const;

private:
    int saved(const repair::report::Report &report, int status) const;

    const Request &m_request;
    QList<repair::report::DatabaseFindings> m_findings;
};

}  // namespace cli
