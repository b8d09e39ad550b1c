#pragma once

#include "RepairRecord.h"

#include "db/Recordset.h"
#include "db/RowMatch.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>

#include <memory>

namespace db {
class Connection;
}

namespace repair {

// Finds a row a repair journaled as the database holds it now, the one way undo and the journal
// window both find it: by the rowid (or primary key) it had, while the row there still holds the
// key values it held; failing that by all it held, when exactly one row holds it all. Every value
// is compared by the engine, as the engine compares values; names from the journal are quoted.
class RowLookup {
public:
    // One row found: where it is now, and its changed columns' values and whether they hold what
    // the repair wrote, or the values it replaced.
    struct Found {
        QVariant rowid;  // null for a row found by its key values alone
        QVariantList now;
        bool holdsNew = false;
        bool holdsOld = false;
    };
    enum class Where {
        Same,       // at its rowid, holding all its key values
        Moved,      // its rowid finds another row now; exactly one row holds all it held
        Altered,    // at its rowid, still the same account (and period), but another column changed
        Gone,       // neither its rowid nor its values find it
        Ambiguous,  // its rowid finds another row now; several rows hold all it held
    };
    struct Result {
        Where where = Where::Gone;
        QList<Found> rows;           // one, but none when Gone and the first two when Ambiguous
        QStringList alteredColumns;  // when Altered: the key columns that hold other values now
    };
    using Condition = db::Condition;

    RowLookup(std::shared_ptr<db::Connection> connection, const RepairRecord &repair);
    ~RowLookup();

    // A row journaled with its rowid.
    Result byRowid(const JournalRow &row);
    // Every row holding the key values of a row journaled without a rowid, in the engine's order.
    QList<Found> byKey(const JournalRow &row);
    // Finds `row` at `rowid` (by its key values alone when null) only while the row there still
    // holds its key values and what the repair wrote: the guard of undo's write.
    Condition stillWritten(const JournalRow &row, const QVariant &rowid) const;

    // Which account (and period) a journaled row is for, as a text that tells values of different
    // types apart; empty when its journal kept neither. Rows of two repairs of one table with the
    // same text are one account's row of one period.
    static QString accountOf(const RepairRecord &repair, const JournalRow &row);

private:
    Result byAllItHeld(const JournalRow &row);
    Result altered(const JournalRow &row);
    Condition sameKey(const JournalRow &row) const;
    QVariantList currentValues() const;

    std::shared_ptr<db::Connection> m_connection;
    RepairRecord m_repair;
    db::Recordset m_now;  // reused for every row: its statements stay prepared
};

}  // namespace repair
