#include "CommandAdvice.h"

namespace cli {

QString setupGuide()
{
    return QStringLiteral("n3fix --guide 打开的使用说明");
}

}  // namespace cli
