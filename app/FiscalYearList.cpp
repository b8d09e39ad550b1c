// The fiscal-year list: matching the account set typed or picked in Combo3 and listing its
// live fiscal years in Combo5.
#include "ComboEntries.h"
#include "ConnectDatabase.h"
#include "Form1.h"
#include "PatternMatch.h"

#include "db/ODBC.h"
#include "db/Recordset.h"
#include "db/SystemDatabase.h"

#include <QComboBox>

// Every entry that begins with the typed text (read under the pattern rules) is handled in
// list order, so the last match decides Combo4's text and the years in Combo5. Combo5's own
// text is left as the user had it.
void Form1::Combo3_Change()
{
    app::ConnectDatabase(ODBC::SystemDatabase);
    const QString pattern = Combo3->currentText() + QLatin1Char('*');
    const int last = Combo3->count() - 1;
    db::Recordset years;
    for (int i = 0; i <= last; ++i) {
        if (!app::matchesPattern(Combo3->itemText(i), pattern))
            continue;
        accountSetNumber = Combo4->itemText(i);
        Combo4->setEditText(Combo4->itemText(i));
        years.open(db::LiveYearsQuery, ODBC::DbConn(), db::CursorType::Keyset, db::LockType::ReadOnly, {accountSetNumber.left(3)});
        ComboEntries::clear(Combo5);
        while (!years.bof() && !years.eof()) {
            if (db::isListedYear(years.field(QStringLiteral("iYear"))))
                ComboEntries::append(Combo5, years.field(QStringLiteral("iyear")).toString());
            years.moveNext();
        }
        years.close();
    }
}
