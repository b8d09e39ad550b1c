#pragma once

#include "repair/RepairRecord.h"

#include "db/Recordset.h"

#include <QList>
#include <QString>
#include <QVariantList>

#include <memory>

namespace db {
class Connection;
}

// What a database holds now in the rows a repair journaled, read on a read-only connection of
// its own so that nothing the window shows can change the database. A row is found as undo finds
// it: by its rowid where the repair recorded one, else by its key values.
class CurrentValues {
public:
    explicit CurrentValues(const repair::RepairRecord &record);
    ~CurrentValues();

    // The changed columns' values of every row found where `row` was, in the engine's order:
    // none when the row is gone, more than one for identical copies without a rowid. Raises
    // db::DbError when the database can't be read; once it could not be opened, it is not tried
    // again.
    QList<QVariantList> of(const repair::JournalRow &row);

private:
    repair::RepairRecord m_record;
    std::shared_ptr<db::Connection> m_connection;
    QString m_openFailure;
    db::Recordset m_found;
};
