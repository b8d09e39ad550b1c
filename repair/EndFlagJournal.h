#pragma once

#include "Journal.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

namespace db {
class Connection;
class RowByRowWrites;
}  // namespace db

namespace repair {

class EndFlagChart;

// Whether the end-flag walk writes row i of the chart to give it `flag`: unless it holds that
// flag as an integer already.
bool walkWrites(const EndFlagChart &chart, std::size_t i, int flag);

// The journal of an end-flag walk over `chart` of `database`, written and flushed before the walk
// changes anything: the rows whose flag the walk will change, each with its flag now, the flag
// it is to get (`right`), its place in the walk and everything else it holds (read over
// `connection` a batch of rows at a time), and the number of rows in the chart. Where `writes`
// switch SQLite's journal mode, the mode the file must end in, also in the database's memo;
// modes earlier walks could not restore are taken over from that memo.
std::unique_ptr<Journal> writeEndFlagJournal(const std::shared_ptr<db::Connection> &connection, const QString &database,
                                             const QString &accountSet, const QString &year, const EndFlagChart &chart,
                                             const std::vector<std::int8_t> &right, db::RowByRowWrites &writes);

// Row i of the chart as the journal keeps it (see writeEndFlagJournal), to get `flag`, read on its
// own: for a row the walk had not planned to change when its journal was written.
JournalRow endFlagJournalRow(const std::shared_ptr<db::Connection> &connection, const EndFlagChart &chart, std::size_t i, int flag);

}  // namespace repair
