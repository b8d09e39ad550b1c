#pragma once

#include <QJsonValue>
#include <QString>

// What the tests of the ledger commands share: the usual tables of an account-set database and how
// a JSON value is spelled in an expected line.
namespace LedgerFixture {

// The chart (code) and the balances (GL_accsum) with the types the product gives them.
inline constexpr char TypicalTables[] = "create table code(ccode TEXT primary key, bend INTEGER);"
                                        "create table GL_accsum(ccode TEXT, iperiod INTEGER, mb NUMERIC, md NUMERIC, mc NUMERIC);";

// Books with something for each repair of the check-and-repair window to do, in the usual tables.
// Chart: 1001 > 100101 > 10010101, 1001 > 100102, and 1002; the flags of 1001 (1, should be 0) and
// 10010101 (0, should be 1) are wrong. Balances: period 1 agrees throughout; in period 2 the
// detail account 10010101 holds mb 200 but its parent 100101 holds 180, while 1001 holds 230, the
// sum of what its sub-accounts hold (180 + 50); in period 3 only 100102 has a row (mb 5), so 1001
// lacks one; and code 9999, not in the chart, has a row. The balance check finds 100101 in period
// 2 (mb 180 against 200) and 1001 in period 3 (no row against 5): two accounts, two periods. The
// recompute, from the detail accounts up, writes mb 200 into 100101 and 250 into 1001 in period
// 2, and can't mend period 3 of 1001, which has no row.
inline constexpr char PlantedBooks[] =
    "insert into code values('1001', 1), ('100101', 0), ('10010101', 0), ('100102', 1), ('1002', 1);"
    "insert into GL_accsum values('10010101', 1, 100, 10, 5), ('100101', 1, 100, 10, 5), ('100102', 1, 50, 0, 0),"
    " ('1001', 1, 150, 10, 5), ('1002', 1, 7, 0, 0),"
    " ('10010101', 2, 200, 20, 10), ('100101', 2, 180, 20, 10), ('100102', 2, 50, 0, 0), ('1001', 2, 230, 20, 10),"
    " ('100102', 3, 5, 0, 0), ('9999', 1, 1, 0, 0);";

// A JSON value as expected lines spell it: null, a number (15 significant digits), or a text in
// quotes.
QString spelled(const QJsonValue &value);
// An amount as expected lines spell it: null, or the string of decimal digits JSON gives it as,
// bare; a number (which a reader would take as a double) as "number " and its digits, which no
// expected line holds.
QString amount(const QJsonValue &value);

}  // namespace LedgerFixture
