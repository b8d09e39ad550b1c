#pragma once

#include <QByteArray>
#include <QJsonDocument>
#include <QMap>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <QTest>

// One run of a program as a real process, to its end.
struct ProcessRun {
    int status = -1;  // the exit code; -1 when killed by a signal or not finished in time
    QByteArray out, err;
    QJsonDocument json() const { return QJsonDocument::fromJson(out); }
};

// Runs `program` with `arguments`, in `workingDirectory` when one is given, and waits up to two
// minutes for it to end.
ProcessRun runProcess(const QString &program, const QStringList &arguments,
                      const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment(),
                      const QString &workingDirectory = QString());

// `program` (n3fix) on the data directory `dataDir`, as runProcess() runs it: `arguments` with
// "--data-dir `dataDir`" after them.
ProcessRun runOnData(const QString &program, const QString &dataDir, const QStringList &arguments,
                     const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment());

// A program running as a real process from here to the end of the scope that holds it, where it
// is killed unless it has ended by then.
class RunningProgram : public QProcess {
public:
    RunningProgram(const QString &program, const QStringList &arguments,
                   const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment());
    ~RunningProgram() override;
};

// The system's environment with `home` as the home directory, as on a fresh account: the program
// finds and keeps its data and its settings there.
QProcessEnvironment environmentWithHome(const QString &home);

// Every entry under `dir`, at any depth, with its bytes and its modification time: two snapshots
// are equal only when nothing was written, created or touched.
QMap<QString, QString> snapshot(const QString &dir);

// A test that can't be tried here (a tool missing, no right to trace or to mount) is skipped,
// except where the environment variable CI is set: a run that is to try everything then fails,
// naming what is missing, rather than pass on fewer tests.
#define SKIP_UNLESS_CI(message)                                                                                                  \
    do {                                                                                                                         \
        if (!qEnvironmentVariableIsEmpty("CI"))                                                                                  \
            QFAIL(message " (CI is set: every test must run)");                                                                  \
        QSKIP(message);                                                                                                          \
    } while (false)
