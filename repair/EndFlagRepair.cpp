#include "EndFlagRepair.h"

#include "db/ODBC.h"
#include "db/Recordset.h"
#include "db/RowByRowWrites.h"

#include <set>

namespace repair {

namespace {

// Does any longer code begin with `code`? The code's length stays a literal in the text, the
// code itself goes in as a parameter, so a quote in a code is probed like any other character.
// A NULL code begins no code (the comparison with NULL is never true).
QString probeQuery(int length)
{
    return QStringLiteral("select ccode from code where left(ccode,%1)=? and len(ccode)>%1").arg(length);
}

} // namespace

EndFlagResult repairEndFlags(const QString &accountSet, const QString &year, EndFlagProgress &progress)
{
    if (accountSet.isEmpty() || year.isEmpty())
        return EndFlagResult::NotChosen;
    ODBC::ConnectDatabase(ODBC::accountSetDatabaseName(accountSet, year));

    db::RowByRowWrites writes(ODBC::DbConn());
    std::set<int> indexedLengths;
    db::Recordset walk;
    db::Recordset probe;
    walk.open(QStringLiteral("select ccode,bend from code order by ccode"), ODBC::DbConn(), db::CursorType::Static,
              db::LockType::Optimistic);
    while (!walk.eof()) {
        const QVariant code = walk.field(0);
        const QString text = code.toString();
        progress.rowStarted(text);
        const int length = int(text.size());
        if (indexedLengths.insert(length).second)
            writes.indexExpression(QStringLiteral("code"), QStringLiteral("left(ccode,%1)").arg(length));
        probe.open(probeQuery(length), ODBC::DbConn(), db::CursorType::Keyset, db::LockType::ReadOnly,
                   {code});
        walk.setField(1, qint16(probe.eof() ? 1 : 0));
        probe.close();
        walk.update();
        walk.moveNext();
        if (!progress.rowWritten())
            return EndFlagResult::Stopped;
    }
    return EndFlagResult::Completed;
}

} // namespace repair
