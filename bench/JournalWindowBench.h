#pragma once

#include "demo/ChartOfAccounts.h"

#include <QString>
#include <QVector>

class QTemporaryDir;

// A finished end-flag walk's journal in `directory` over `rows` codes of `chart`, written by the
// journal writer the walk uses.
void writeWalkJournal(const QString &directory, const QVector<ChartAccount> &chart, int rows);

// The journal window and n3fix --journal on large journals, with the data in `root`: a folder of
// 5,000 repairs, listed with no index and with the index current, against a folder with none; and
// one repair of 200,000 rows read a page at a time. Prints its tables.
void journalWindowRows(const QTemporaryDir &root);
