#include "OdbcAdvice.h"

#include "AdviceWays.h"

namespace db {

QString seeSetupGuide()
{
    const QString &guide = adviceWays().setupGuide;
    return inParentheses(guide.isEmpty() ? QString() : QStringLiteral("见 ") + guide);
}

}  // namespace db
