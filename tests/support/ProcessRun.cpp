#include "ProcessRun.h"

#include <QDateTime>
#include <QDirIterator>

ProcessRun runProcess(const QString &program, const QStringList &arguments, const QProcessEnvironment &environment,
                      const QString &workingDirectory)
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(workingDirectory);
    process.start(program, arguments);
    ProcessRun run;
    if (!process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

ProcessRun runOnData(const QString &program, const QString &dataDir, const QStringList &arguments,
                     const QProcessEnvironment &environment)
{
    return runProcess(program, arguments + QStringList{QStringLiteral("--data-dir"), dataDir}, environment);
}

RunningProgram::RunningProgram(const QString &program, const QStringList &arguments, const QProcessEnvironment &environment)
{
    setProcessEnvironment(environment);
    start(program, arguments);
}

RunningProgram::~RunningProgram()
{
    kill();
    waitForFinished();
}

QProcessEnvironment environmentWithHome(const QString &home)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), home);
    environment.remove(QStringLiteral("XDG_DATA_HOME"));
    environment.remove(QStringLiteral("XDG_CONFIG_HOME"));
    return environment;
}

QMap<QString, QString> snapshot(const QString &dir)
{
    QMap<QString, QString> files;
    QDirIterator it(dir, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo entry = it.nextFileInfo();
        QFile file(entry.filePath());
        const QByteArray bytes = entry.isFile() && file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        files[entry.filePath()] =
            QString::fromLatin1(bytes.toBase64()) + '@' + QString::number(entry.lastModified().toMSecsSinceEpoch());
    }
    return files;
}
