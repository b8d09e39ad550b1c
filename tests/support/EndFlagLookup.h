#pragma once

#include <QVariant>

#include <memory>

namespace db {
class Connection;
class Recordset;
}  // namespace db

// The per-row lookup that the end-flag verdict must agree with: the engine itself asked, for one
// code at a time, whether any longer code begins with it, as the repair once asked it for every
// row: "select ccode from code where left(ccode,n)=? and len(ccode)>n", the code bound without
// its trailing blanks and n its length as the engine counts it. The tests' oracle.
class EndFlagLookup {
public:
    explicit EndFlagLookup(std::shared_ptr<db::Connection> connection);
    ~EndFlagLookup();
    // 1 when no longer code begins with `code` (as read from the chart), else 0.
    int flagOf(const QVariant &code);

private:
    std::shared_ptr<db::Connection> m_connection;
    std::unique_ptr<db::Recordset> m_lookup;
};
