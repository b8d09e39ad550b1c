#pragma once

#include <QString>
#include <QVariant>

#include <memory>
#include <vector>

namespace db {
class Connection;
class Recordset;
}

namespace repair {

// The right end-level flag (1 or 0) of each code, in the order given. On SQLite the flags come
// from one sorted read of the codes (their answer is fully decided by the codes themselves);
// on any other engine each is asked of the server with EndFlagProbe, whose collation decides.
std::vector<int> rightEndFlags(const std::shared_ptr<db::Connection> &connection, const std::vector<QVariant> &codes);

// Asks the engine for codes' flags with the lookup "does any longer code begin with it": the code
// goes in as a parameter, without its trailing blanks, and its length as a literal; one lookup per
// code, each prepared once per code length.
class EndFlagProbe {
public:
    explicit EndFlagProbe(std::shared_ptr<db::Connection> connection);
    ~EndFlagProbe();
    int flagOf(const QVariant &code);

private:
    std::shared_ptr<db::Connection> m_connection;
    std::unique_ptr<db::Recordset> m_probe;
};

// Whether a stored flag already holds `right`: a number equal to it, or a text that spells such a
// number. A NULL, a blob or any other text is changed by the repair.
bool flagIsRight(const QVariant &stored, int right);

// Whether a value read from the engine is a whole number type (an integer column, a bit).
bool isWholeNumber(const QVariant &value);

// Whether writing the integer `value` leaves the stored value exactly as it is: an integer of that
// value. A value kept in another form ('1 ', 1.0) is equal by value but is rewritten as an
// integer, so a repair journals it all the same, and undo can give the old form back.
bool storedAsInteger(const QVariant &stored, int value);

} // namespace repair
