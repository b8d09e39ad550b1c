#pragma once

class QTemporaryDir;

// The journal window on large journals: a folder of 5,000 repairs, and one repair of 200,000 rows
// read a page at a time. Prints its table.
void journalWindowRows(const QTemporaryDir &root);
