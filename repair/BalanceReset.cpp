#include "BalanceReset.h"

#include "db/DbError.h"
#include "db/ODBC.h"

#include <QRegularExpression>

#include <optional>

namespace repair {

namespace {

// The period as a whole number: optional blanks around an optional sign and decimal digits.
// Anything else (empty, decimals, SQL) is no period at all.
std::optional<int> wholePeriod(const QString &text)
{
    static const QRegularExpression form(QStringLiteral(R"(^ *[+-]?[0-9]+ *$)"));
    if (!form.match(text).hasMatch())
        return std::nullopt;
    bool fits = false;
    const int value = text.trimmed().toInt(&fits);
    return fits ? std::optional<int>(value) : std::nullopt;
}

} // namespace

BalanceResetOutcome resetBalances(const QString &accountSet, const QString &year, const QString &code,
                                  const QString &firstPeriod)
{
    if (accountSet.isEmpty() || year.isEmpty())
        return BalanceResetOutcome::NotChosen;
    try {
        ODBC::ConnectDatabase(ODBC::accountSetDatabaseName(accountSet, year));
        const std::optional<int> period = wholePeriod(firstPeriod);
        if (!period)
            return BalanceResetOutcome::Failed;
        ODBC::DbConn()->execute(QStringLiteral("update GL_accsum set mb=0,mc=0,md=0 where ccode=? and iperiod>=?"),
                                {code, *period});
        return BalanceResetOutcome::Succeeded;
    } catch (const db::DbError &) {
        return BalanceResetOutcome::Failed;
    }
}

} // namespace repair
