#pragma once

#include <QJsonValue>
#include <QString>

// What the tests of the ledger commands share: the usual tables of an account-set database and how
// a JSON value is spelled in an expected line.
namespace LedgerFixture {

// The chart (code) and the balances (GL_accsum) with the types the product gives them.
inline constexpr char TypicalTables[] = "create table code(ccode TEXT primary key, bend INTEGER);"
                                        "create table GL_accsum(ccode TEXT, iperiod INTEGER, mb NUMERIC, md NUMERIC, mc NUMERIC);";

// A JSON value as expected lines spell it: null, a number (15 significant digits), or a text in
// quotes.
QString spelled(const QJsonValue &value);

} // namespace LedgerFixture
