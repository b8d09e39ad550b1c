#include "CommandAdvice.h"

namespace cli {

QString setupGuide()
{
    return QStringLiteral("man n3fix");
}

}  // namespace cli
