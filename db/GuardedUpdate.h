#pragma once

#include "RowMatch.h"

#include <QList>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVariantList>

#include <map>
#include <memory>

namespace db {

class Connection;

// Writes new values into single rows of one table, each only while the row still holds every
// value it was read with: found by its rowid (or primary key) where SQLite gives one, and in any
// case by the values read, so another program's change since the read is never overwritten
// unseen. Rows identical in every column read can't be told apart by their values, so the first
// such write reaches them all; a later write of an identical row then finds no row with the old
// values but one already holding the new ones, and that is the outcome wanted. Where the engine
// reports no row count (a server with NOCOUNT on), the row is looked for holding its new values.
// Each statement is prepared once for the columns it writes and the NULLs it compares.
class GuardedUpdate {
public:
    // Rows of `table`, found by the columns `locator` (none: by their values alone), that were
    // read holding values of `columns`.
    GuardedUpdate(std::shared_ptr<Connection> connection, QString table, QStringList locator, QStringList columns);
    ~GuardedUpdate();
    GuardedUpdate(const GuardedUpdate &) = delete;
    GuardedUpdate &operator=(const GuardedUpdate &) = delete;

    // Writes `values` into the columns at the positions `changed` of the row found by
    // `locatorValues` that was read holding `read` (one value for each column). Raises DbError
    // when the row no longer holds them (rowChangedSinceRead), when the engine left a row that
    // still does unchanged (updateIgnored), or when the engine refuses.
    void write(const QVariantList &locatorValues, const QVariantList &read, const QList<int> &changed, const QVariantList &values);

private:
    QSqlQuery &prepared(const QString &text);
    Condition criteria(const QVariantList &locatorValues, const QVariantList &read, const QList<int> &replaced,
                       const QVariantList &values) const;
    qint64 countMatching(const Condition &where);

    std::shared_ptr<Connection> m_connection;
    QString m_table;
    QStringList m_locator, m_columns;
    std::map<QString, QSqlQuery> m_statements;  // by text
};

}  // namespace db
