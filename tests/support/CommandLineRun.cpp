#include "CommandLineRun.h"

#include <QDateTime>
#include <QDirIterator>
#include <QProcess>

namespace CommandLineRun {

Run run(const QString &program, const QStringList &arguments, const QString &workingDirectory)
{
    QProcess process;
    process.setWorkingDirectory(workingDirectory);
    process.start(program, arguments);
    Run run;
    if (!process.waitForFinished(120000))
        return run;
    run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

QMap<QString, QString> snapshot(const QString &dir)
{
    QMap<QString, QString> files;
    QDirIterator it(dir, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo entry = it.nextFileInfo();
        QFile file(entry.filePath());
        const QByteArray bytes = entry.isFile() && file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        files[entry.filePath()] = QString::fromLatin1(bytes.toBase64()) + '@'
            + QString::number(entry.lastModified().toMSecsSinceEpoch());
    }
    return files;
}

} // namespace CommandLineRun
