#include "ReportCsv.h"

namespace repair::report {

QByteArray csv(const Report &)
{
    return QByteArray();  // written next
}

}  // namespace repair::report
