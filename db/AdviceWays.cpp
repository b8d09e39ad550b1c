#include "AdviceWays.h"

namespace db {

namespace {

AdviceWays &ways()
{
    static AdviceWays inUse;
    return inUse;
}

}  // namespace

void setAdviceWays(const AdviceWays &inUse)
{
    ways() = inUse;
}

const AdviceWays &adviceWays()
{
    return ways();
}

QString inParentheses(const QString &way)
{
    return way.isEmpty() ? QString() : QStringLiteral("（") + way + QStringLiteral("）");
}

}  // namespace db
