#pragma once

#include "db/DataLocation.h"

#include <QString>

#include <optional>

namespace repair {

// The place whose journal holds repair `id`, made through that place's own engine, when the
// journal of the engine in use does not: the demo data, SQL Server, the default data directory or
// the place chosen last, whichever keeps its journal in another folder than this run's. So a
// repair looked for on the wrong data can be found where it was made. Journals are read through
// the journal reader only. Nothing when no other place holds it.
std::optional<db::DataLocation> placeOfRepair(const QString &id);

}  // namespace repair
