#pragma once

#include "demo/ChartOfAccounts.h"

#include <QString>
#include <QVector>

class QTemporaryDir;

// A finished end-flag walk's journal in `directory` over `rows` codes of `chart`, written by the
// journal writer the walk uses.
void writeWalkJournal(const QString &directory, const QVector<ChartAccount> &chart, int rows);

// The journal window on large journals: a folder of 5,000 repairs, and one repair of 200,000 rows
// read a page at a time. Prints its table.
void journalWindowRows(const QTemporaryDir &root);
