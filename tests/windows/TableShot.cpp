#include "TableShot.h"

namespace TableShot {

bool showsTable(const QImage &shot)
{
    return !shot.isNull();
}

} // namespace TableShot
