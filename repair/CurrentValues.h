#pragma once

#include "RepairRecord.h"
#include "RowLookup.h"

#include <QList>
#include <QString>
#include <QVariantList>

#include <memory>

namespace db {
class Connection;
}

namespace repair {

// What a database holds now in the rows a repair journaled, read on a read-only connection of
// its own so that nothing shown can change the database. Each row is found as undo finds it
// (RowLookup), so what is shown is what undo would meet.
class CurrentValues {
public:
    explicit CurrentValues(const RepairRecord &record);
    ~CurrentValues();

    // The changed columns' values of every row found where `row` is now, in the engine's order:
    // none when the row is gone, more than one for identical copies that can't be told apart.
    // Raises db::DbError when the database can't be read; once it could not be opened, it is not
    // tried again.
    QList<QVariantList> of(const JournalRow &row);

private:
    RepairRecord m_record;
    std::shared_ptr<db::Connection> m_connection;
    std::unique_ptr<RowLookup> m_lookup;
    QString m_openFailure;
};

}  // namespace repair
