#pragma once

#include "db/Engine.h"

#include <QString>
#include <QStringList>

// What the command line asks for. Only three options exist: --data-dir DIR, --odbc, --help.
struct StartOptions {
    db::EngineSettings engine;
    bool showHelp = false;
    QString error;  // set when the command line can't be understood
};

StartOptions parseCommandLine(const QStringList &arguments);
QString commandLineHelp();

// The per-user folder that holds the embedded databases when no --data-dir is given.
QString defaultDataDirectory();
