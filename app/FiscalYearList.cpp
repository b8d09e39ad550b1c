// The fiscal-year list: matching the account set typed or picked in Combo3 and listing its
// live fiscal years in Combo5.
#include "ComboEntries.h"
#include "Form1.h"
#include "PatternMatch.h"

#include "db/ODBC.h"
#include "db/Recordset.h"

#include <QComboBox>

namespace {

// The live years of an account set, each once, ascending. The product keys KS_period by the
// first three characters of the account-set number; the number goes in as a parameter.
const QString YearQuery = QStringLiteral(
    "SELECT iyear FROM KS_period WHERE cacc_id=? AND (bisdelete=0 or bisdelete is null) GROUP BY iyear ORDER BY iyear");

// The year 9999 is a placeholder row, never a real fiscal year; NULL is no year either.
bool isListedYear(const QVariant &year)
{
    bool numeric = false;
    const qlonglong value = year.toLongLong(&numeric);
    return !year.isNull() && !(numeric && value == 9999);
}

} // namespace

// Every entry that begins with the typed text (read under the pattern rules) is handled in
// list order, so the last match decides Combo4's text and the years in Combo5. Combo5's own
// text is left as the user had it.
void Form1::Combo3_Change()
{
    ODBC::ConnectDatabase(ODBC::SystemDatabase);
    const QString pattern = Combo3->currentText() + QLatin1Char('*');
    const int last = Combo3->count() - 1;
    db::Recordset years;
    for (int i = 0; i <= last; ++i) {
        if (!app::matchesPattern(Combo3->itemText(i), pattern))
            continue;
        QString &number = ODBC::currentAccountSetNumber();
        number = Combo4->itemText(i);
        Combo4->setEditText(Combo4->itemText(i));
        years.open(YearQuery, ODBC::DbConn(), db::CursorType::Keyset, db::LockType::ReadOnly, {number.left(3)});
        ComboEntries::clear(Combo5);
        while (!years.bof() && !years.eof()) {
            if (isListedYear(years.field(QStringLiteral("iYear"))))
                ComboEntries::append(Combo5, years.field(QStringLiteral("iyear")).toString());
            years.moveNext();
        }
        years.close();
    }
}
