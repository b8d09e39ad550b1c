#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>

namespace db {

class Connection;

// What the system database lists: the account sets (KS_Account) and their fiscal years
// (KS_period).

// Every account set, every column, in no set order.
extern const QString AccountSetsQuery;

// The live years of an account set, each once, ascending. The product keys KS_period by the
// first three characters of the account-set number, which go in as the parameter.
extern const QString LiveYearsQuery;

// The year 9999 is a placeholder row, never a real fiscal year; NULL is no year either.
bool isListedYear(const QVariant &year);

struct AccountSet {
    QString number;
    QString name;
};

class Recordset;

// The account set of the current row of a recordset on AccountSetsQuery. A NULL number names no
// account set and raises DbError; a NULL name is an empty one.
AccountSet accountSetAt(const Recordset &row);

// Every account set, in the order the database returns them. Raises DbError.
QList<AccountSet> accountSets(const std::shared_ptr<Connection> &connection);

// The listed live years of account set `number`, ascending. Raises DbError.
QStringList liveYears(const std::shared_ptr<Connection> &connection, const QString &number);

}  // namespace db
