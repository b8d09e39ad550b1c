#pragma once

#include <QJsonDocument>
#include <QString>
#include <QStringList>

// What one run of a program gave: its exit status (-1 when it crashed or did not end in time)
// and what it wrote, read as UTF-8.
struct ProgramRun {
    int status = -1;
    QString out, err;
    QJsonDocument json() const { return QJsonDocument::fromJson(out.toUtf8()); }
};

// Runs `program` to its end with `home` as its home directory, so it finds and keeps its data
// there as on a fresh account.
ProgramRun runWithHome(const QString &program, const QStringList &arguments, const QString &home);
