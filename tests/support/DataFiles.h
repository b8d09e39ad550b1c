#pragma once

#include <QString>

// Where the embedded engine keeps the product's databases in a data directory: the system database
// "<dir>/LQsystem.db" and an account set's fiscal year "<dir>/LQDATA_001_2007.db", written out
// here apart from the program's own naming so that a test notices when that changes.
QString systemDatabase(const QString &dir);
QString yearDatabase(const QString &dir, const QString &accountSet = QStringLiteral("001"),
                     const QString &year = QStringLiteral("2007"));
