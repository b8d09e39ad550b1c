#pragma once

#include <QString>
#include <QStringList>

// What an end-flag walk pays whatever the size of its chart, on the embedded engine: the walk
// without the window against the anchor (c) at 1,000 and 20,000 codes; walks of 1,000 codes that
// write only a few rows, against the same rows written in the file's own journal mode and with a
// switch to the write-ahead log and back; and the walk's time taken apart, phase by phase. Data
// in a new folder under `root`; prints its tables.
void walkCostsRows(const QString &placeName, const QString &root);

// (internal, in a process of its own) `--walk-phases DIR`: one walk in the data directory DIR,
// its phases timed one after another, one line each; `--floor own|log FILE`: the changed rows'
// guarded updates in the file's own journal mode (each commit synced), or in the write-ahead log
// switched to first and back from last. Returns the process's exit status.
int walkPhasesChild(const QString &dir);
int ownOrLogFloorChild(const QString &which, const QString &file);
