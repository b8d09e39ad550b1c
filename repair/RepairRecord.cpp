#include "RepairRecord.h"

#include "WhoAndWhere.h"

#include "db/ODBC.h"

#include <QLatin1String>

namespace repair {

namespace {

// The names as the journal stores them, nothing past the enum's last value: each enum counts
// from 0 with no gaps, so a lookup by name tries every value in turn. A switch without default
// makes the compiler name a value added to the enum without a name.
std::optional<QLatin1String> nameOf(RepairKind kind)
{
    switch (kind) {
    case RepairKind::BalanceReset:
        return QLatin1String("balance-reset");
    case RepairKind::RecomputeBalances:
        return QLatin1String("recompute-balances");
    case RepairKind::EndFlags:
        return QLatin1String("end-flags");
    case RepairKind::Undo:
        return QLatin1String("undo");
    }
    return std::nullopt;
}

std::optional<QLatin1String> nameOf(Outcome outcome)
{
    switch (outcome) {
    case Outcome::Unrecorded:
        return QLatin1String("");
    case Outcome::Completed:
        return QLatin1String("completed");
    case Outcome::Stopped:
        return QLatin1String("stopped");
    case Outcome::Failed:
        return QLatin1String("failed");
    case Outcome::RolledBack:
        return QLatin1String("rolled-back");
    }
    return std::nullopt;
}

template <typename Enum> std::optional<Enum> named(const QString &name)
{
    for (int value = 0;; ++value) {
        const std::optional<QLatin1String> stored = nameOf(Enum(value));
        if (!stored)
            return std::nullopt;
        if (name == *stored)
            return Enum(value);
    }
}

}  // namespace

QString storedName(RepairKind kind)
{
    return nameOf(kind).value_or(QLatin1String());
}

QString storedName(Outcome outcome)
{
    return nameOf(outcome).value_or(QLatin1String());
}

std::optional<RepairKind> repairKindNamed(const QString &name)
{
    return named<RepairKind>(name);
}

std::optional<Outcome> outcomeNamed(const QString &name)
{
    return named<Outcome>(name);
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
