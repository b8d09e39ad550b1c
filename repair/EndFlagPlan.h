#pragma once

#include <QVariant>

#include <cstdint>
#include <memory>
#include <vector>

namespace db {
class Connection;
}

namespace repair {

class EndFlagChart;

// The right end-level flag (1 or 0) of each row of `chart`, in its order: 1 when no longer code
// begins with the row's code. On SQLite the flags come from the chart itself, worked out in
// memory as the engine answers (EndFlagVerdict). Any other engine is asked, in as many statements
// as the chart has code lengths divided by 50 and one more, which rows a longer code begins with:
// the server's own collation and padding decide, in a form it plans as one semi-join per length.
std::vector<std::int8_t> rightEndFlags(const std::shared_ptr<db::Connection> &connection, const EndFlagChart &chart);

// Whether a stored flag already holds `right`: a number equal to it, or a text that spells such a
// number. A NULL, a blob or any other text is changed by the repair.
bool flagIsRight(const QVariant &stored, int right);

}  // namespace repair
