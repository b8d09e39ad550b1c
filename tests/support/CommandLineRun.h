#pragma once

#include <QByteArray>
#include <QJsonDocument>
#include <QMap>
#include <QString>
#include <QStringList>

// The command line as a real process, and the files it may touch.
namespace CommandLineRun {

// What one run of a program gave: its exit status (-1 when it crashed or did not end within two
// minutes) and its output.
struct Run {
    int status = -1;
    QByteArray out, err;
    QJsonDocument json() const { return QJsonDocument::fromJson(out); }
};

// Runs `program` with `arguments` to its end, in `workingDirectory` when one is given.
Run run(const QString &program, const QStringList &arguments, const QString &workingDirectory = QString());

// Every entry under `dir`, at any depth, with its bytes and its modification time: two snapshots
// are equal only when nothing was written, created or touched.
QMap<QString, QString> snapshot(const QString &dir);

} // namespace CommandLineRun
