#include "OdbcAdvice.h"

namespace db {

namespace {

QString &setupGuide()
{
    static QString where = defaultOdbcSetupGuide();
    return where;
}

}  // namespace

QString odbcSetupGuide()
{
    return setupGuide();
}

void setOdbcSetupGuide(const QString &where)
{
    setupGuide() = where;
}

}  // namespace db
