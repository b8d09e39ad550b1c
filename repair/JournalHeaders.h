#pragma once

#include "RepairRecord.h"

#include <QList>
#include <QString>

// The headers of the journals in a folder, for a listing: taken from the index beside them
// (JournalIndex) for each journal unchanged since its entry was made, read from the journal itself
// for the rest. The journals are the truth; the index only spares opening them.
namespace repair {

enum class HeaderSource {
    // The index where it is current; every other journal is read and its entry brought up to date
    // (made, replaced, or dropped with its journal). What can't be written is left as it is.
    Index,
    // Every journal itself; the index is neither read nor written. For what undoes a repair.
    Journals,
};

// The record of every journal in `directory` that can be read, in no particular order, with whether
// its repair still runs. A journal not written yet (an empty file), or torn as its repair was killed
// while first writing it, is passed over: that repair never changed a row.
QList<RepairRecord> journalHeaders(const QString &directory, HeaderSource source);

}  // namespace repair
