#pragma once

#include "DatabaseCheck.h"

#include "repair/report/FindingsReport.h"

#include <QList>
#include <QString>

#include <optional>

class CheckListModel;

// The check window's report: the findings of the selected year, or of every year listed.
namespace CheckReport {

// One checked database's findings as a report lists them, with the window's note on it.
repair::report::DatabaseFindings findingsOf(const DatabaseCheck &database);

// Asks whether the report is to hold the selected year (`selectedRow`, -1 for none) or every year
// listed in `databases`, when there is a choice, and builds it; nothing when the user cancels.
// `name` gets the file name to propose for it, without its extension.
std::optional<repair::report::Report> ask(const CheckListModel &databases, int selectedRow, QString &name);

}  // namespace CheckReport
