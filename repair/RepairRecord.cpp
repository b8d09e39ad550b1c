#include "RepairRecord.h"

#include "WhoAndWhere.h"

#include "db/ODBC.h"

#include <QLatin1String>

namespace repair {

namespace {

// Indexed by the enums' values, in their order.
const char *const KindNames[] = {"balance-reset", "recompute-balances", "end-flags", "undo"};
const char *const OutcomeNames[] = {"", "completed", "stopped", "failed", "rolled-back"};

template <typename Enum, std::size_t N> std::optional<Enum> named(const char *const (&names)[N], const QString &name)
{
    for (std::size_t i = 0; i < N; ++i)
        if (name == QLatin1String(names[i]))
            return Enum(i);
    return std::nullopt;
}

}  // namespace

QString storedName(RepairKind kind)
{
    return QLatin1String(KindNames[int(kind)]);
}

QString storedName(Outcome outcome)
{
    return QLatin1String(OutcomeNames[int(outcome)]);
}

std::optional<RepairKind> repairKindNamed(const QString &name)
{
    return named<RepairKind>(KindNames, name);
}

std::optional<Outcome> outcomeNamed(const QString &name)
{
    return named<Outcome>(OutcomeNames, name);
}

RepairRecord newRepairRecord(RepairKind kind, const QString &database, const QString &accountSet, const QString &year,
                             const QString &table)
{
    RepairRecord record;
    record.database = database;
    record.engine = ODBC::engineName();
    record.repair = kind;
    record.accountSet = accountSet;
    record.year = year;
    record.table = table;
    record.user = loginName();
    record.host = computerName();
    return record;
}

}  // namespace repair
