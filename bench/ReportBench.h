#pragma once

class QTemporaryDir;

// Reports of repairs of 1,000 and 10,000 rows: the record read from the journal, then written as
// CSV and as PDF. Prints its table, the PDF's time also as a ratio to the CSV's.
void reportSizes(const QTemporaryDir &root);
