// The Windows installer under Wine, in a Wine prefix and a home of its own made for the test (a
// user who has never had the tool): a silent install puts the programs' files in the user's
// programs folder, the Start-menu shortcuts start what they are named for (read from the .lnk
// files themselves), the installed-programs entry says how to uninstall; the check window and the
// journal window, started as their shortcuts start them, open on the data in the default data
// folder and draw their tables; an installer run while the program runs changes nothing; a
// reinstall and a silent uninstall leave the data folder and its journal as they were. Run by
// scripts/test-windows (inside Xvfb), which names the installer in N3FIX_WINDOWS_SETUP and the
// files it installs in N3FIX_WINDOWS.
#include "ShellLink.h"
#include "TableShot.h"
#include "demo/DemoData.h"
#include "support/ProcessRun.h"
#include "support/X11Windows.h"

#include <QtTest>

#include <QCryptographicHash>
#include <QGuiApplication>
#include <QScreen>

namespace {

const QString DisplayName = QStringLiteral("澄岚N3科目错误修正工具");
const QString UninstallKey = QStringLiteral("HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\n3fix");

// Each file under `dir`, by its path there, with a digest of its bytes.
QMap<QString, QByteArray> contents(const QString &dir)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(dir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile file(it.next());
        if (file.open(QIODevice::ReadOnly))
            files[QDir(dir).relativeFilePath(file.fileName())] =
                QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
    }
    return files;
}

// The values of a key as `reg export` writes them (UTF-16, "name"="text" or "name"=dword:hex):
// texts unescaped, numbers in decimal.
QMap<QString, QString> exportedValues(const QByteArray &file)
{
    QMap<QString, QString> values;
    static const QRegularExpression line(
        QStringLiteral("^\"((?:[^\"\\\\]|\\\\.)*)\"=(?:\"((?:[^\"\\\\]|\\\\.)*)\"|dword:([0-9a-f]{8}))\\r?$"),
        QRegularExpression::MultilineOption);
    static const QRegularExpression escape(QStringLiteral("\\\\(.)"));
    const QString text = QString::fromUtf16(reinterpret_cast<const char16_t *>(file.constData()), file.size() / 2);
    for (const QRegularExpressionMatch &m : line.globalMatch(text)) {
        QString name = m.captured(1), value = m.captured(2);
        name.replace(escape, QStringLiteral("\\1"));
        value.replace(escape, QStringLiteral("\\1"));
        values[name] = m.capturedLength(3) ? QString::number(m.captured(3).toUInt(nullptr, 16)) : value;
    }
    return values;
}

}  // namespace

class WineInstallerTests : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir{QDir::temp().filePath(QStringLiteral("n3fix-installer-XXXXXX"))};
    QProcessEnvironment m_environment;
    QString m_localAppData;  // %LOCALAPPDATA% as Windows names it
    QString m_installed;     // the install folder as Windows names it, and on this system
    QString m_installedHere;
    QString m_menuHere;  // the Start-menu folder of the shortcuts, and the desktop, on this system
    QString m_desktopHere;
    QString m_dataHere;             // the default data folder on this system
    QMap<QString, QString> m_data;  // the data folder as the windows left it

    ProcessRun wine(const QStringList &arguments) { return runProcess(QStringLiteral("wine"), arguments, m_environment); }
    // Waits for every program of the prefix to end (the uninstaller goes on in a copy of itself).
    void settle() { runProcess(QStringLiteral("wineserver"), {"-w"}, m_environment); }
    // A Windows path's place on this system, or a variable of Windows' environment.
    QString unixPath(const QString &windowsPath)
    {
        return QString::fromUtf8(wine({"winepath", "-u", windowsPath}).out).trimmed();
    }
    QString windowsVariable(const QString &name)
    {
        return QString::fromUtf8(wine({"cmd", "/c", "echo", "%" + name + "%"}).out).trimmed();
    }
    ShellLink link(const QString &name) const
    {
        QFile file(QDir(m_menuHere).filePath(name + QStringLiteral(".lnk")));
        return ShellLink::read(file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray());
    }
    QMap<QString, QString> uninstallEntry()
    {
        const QString file = m_dir.filePath(QStringLiteral("entry.reg"));
        QFile::remove(file);
        const ProcessRun run = wine({"reg", "export", UninstallKey, wineName(file), "/y"});
        QFile exported(file);
        return run.status == 0 && exported.open(QIODevice::ReadOnly) ? exportedValues(exported.readAll())
                                                                     : QMap<QString, QString>();
    }
    static QString wineName(const QString &path)
    {
        return QStringLiteral("Z:") + QString(path).replace(QLatin1Char('/'), QLatin1Char('\\'));
    }

    // What the installer puts in the install folder: the files of the Windows build, and the
    // uninstaller.
    void checkInstalledFiles()
    {
        QMap<QString, QByteArray> installed = contents(m_installedHere);
        QVERIFY2(installed.remove(QStringLiteral("uninstall.exe")) == 1, "no uninstaller installed");
        QCOMPARE(installed.keys(), contents(qEnvironmentVariable("N3FIX_WINDOWS")).keys());
        QVERIFY(installed == contents(qEnvironmentVariable("N3FIX_WINDOWS")));
    }

    // Starts the program as the shortcut `name` starts it, waits for the window titled `title`,
    // and gives a screen capture of it once it shows a table (or the last one taken); the program
    // goes on running in `program`.
    QImage windowOfShortcut(const QString &name, const QString &title, QProcess &program)
    {
        const ShellLink shortcut = link(name);
        program.setProcessEnvironment(m_environment);
        program.setWorkingDirectory(unixPath(shortcut.workingDirectory));
        program.start(QStringLiteral("wine"), QStringList{unixPath(shortcut.target)} + QProcess::splitCommand(shortcut.arguments));
        const QString id = X11Windows::waitFor(title, 90000);
        if (id.isEmpty())
            return QImage();
        QImage shot;
        QElapsedTimer waited;
        waited.start();
        do {
            QThread::msleep(500);
            const QRect frame = X11Windows::frame(id);
            shot = QGuiApplication::primaryScreen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height()).toImage();
        } while (!TableShot::showsTable(shot) && waited.elapsed() < 60000);
        return shot;
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(QFileInfo(qEnvironmentVariable("N3FIX_WINDOWS_SETUP")).isFile(), "N3FIX_WINDOWS_SETUP names no installer");
        QVERIFY(m_dir.isValid());
        // A prefix and a home of their own: Wine puts the user's desktop in the home.
        m_environment = environmentWithHome(m_dir.filePath(QStringLiteral("home")));
        QDir().mkpath(m_dir.filePath(QStringLiteral("home")));
        m_environment.insert("WINEPREFIX", m_dir.filePath(QStringLiteral("wine")));
        m_environment.insert("WINEDEBUG", "-all");
        // no Mono or Gecko asked for, and no entries in the Linux desktop's menus
        m_environment.insert("WINEDLLOVERRIDES", "mscoree,mshtml=;winemenubuilder.exe=d");
        QCOMPARE(runProcess(QStringLiteral("wineboot"), {"-i"}, m_environment).status, 0);
        settle();

        m_localAppData = windowsVariable(QStringLiteral("LOCALAPPDATA"));
        QVERIFY2(m_localAppData.startsWith(QStringLiteral("C:\\")), qPrintable(m_localAppData));
        m_installed = m_localAppData + QStringLiteral("\\Programs\\n3fix");
        m_installedHere = unixPath(m_installed);
        m_dataHere = unixPath(m_localAppData + QStringLiteral("\\n3fix"));
        m_menuHere = QDir(unixPath(windowsVariable(QStringLiteral("APPDATA"))
                                   + QStringLiteral("\\Microsoft\\Windows\\Start Menu\\Programs")))
                         .filePath(DisplayName);
        m_desktopHere = unixPath(windowsVariable(QStringLiteral("USERPROFILE")) + QStringLiteral("\\Desktop"));
    }

    void cleanupTestCase()
    {
        runProcess(QStringLiteral("wineserver"), {"-k"}, m_environment);
        settle();
    }

    // A silent install, without administrator rights, puts the build's files in the user's own
    // programs folder, with a shortcut on the desktop by default.
    void silentInstall()
    {
        const ProcessRun run = wine({qEnvironmentVariable("N3FIX_WINDOWS_SETUP"), "/S"});
        QVERIFY2(run.status == 0, run.err.constData());
        settle();
        checkInstalledFiles();
        const ShellLink desktop = ShellLink::read([&] {
            QFile file(QDir(m_desktopHere).filePath(DisplayName + QStringLiteral(".lnk")));
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        }());
        QVERIFY2(desktop.error.isEmpty(), qPrintable(desktop.error));
        QCOMPARE(desktop.target, m_installed + QStringLiteral("\\n3fix.exe"));
        QCOMPARE(desktop.arguments, QString());
    }

    // The Start-menu folder holds one shortcut for each thing the tool opens, and the uninstaller.
    void startMenuShortcuts()
    {
        const QString program = m_installed + QStringLiteral("\\n3fix.exe");
        const QList<std::pair<QString, QStringList>> expected{
            {DisplayName, {program, ""}},
            {QStringLiteral("检查和修复"), {program, "--check-window"}},
            {QStringLiteral("修复日志"), {program, "--journal-window"}},
            {QStringLiteral("选择数据位置"), {program, "--choose-data"}},
            {QStringLiteral("使用说明"), {program, "--guide"}},
            {QStringLiteral("卸载"), {m_installed + QStringLiteral("\\uninstall.exe"), ""}},
        };
        QStringList names;
        for (const auto &[name, targetAndArguments] : expected)
            names << name + QStringLiteral(".lnk");
        names.sort();
        QCOMPARE(QDir(m_menuHere).entryList(QDir::Files, QDir::Name), names);
        for (const auto &[name, targetAndArguments] : expected) {
            const ShellLink shortcut = link(name);
            QVERIFY2(shortcut.error.isEmpty(), qPrintable(name + ": " + shortcut.error));
            QCOMPARE(shortcut.target, targetAndArguments[0]);
            QCOMPARE(shortcut.arguments, targetAndArguments[1]);
            QCOMPARE(shortcut.workingDirectory, m_installed);
            QCOMPARE(shortcut.iconLocation, targetAndArguments[0]);
            QCOMPARE(shortcut.showCommand, 1u);  // SW_SHOWNORMAL
            QVERIFY2(!shortcut.name.isEmpty(), qPrintable(name));
            QVERIFY(QFileInfo(unixPath(shortcut.target)).isFile());
        }
    }

    // The entry of the user's installed programs, as Windows' reg reads it.
    void installedProgramsEntry()
    {
        QCOMPARE(wine({"reg", "query", UninstallKey}).status, 0);
        const QMap<QString, QString> entry = uninstallEntry();
        const QString uninstaller = m_installed + QStringLiteral("\\uninstall.exe");
        // the size in KB of the files installed (the uninstaller aside), each counted whole
        qint64 kilobytes = 0;
        QDirIterator it(m_installedHere, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext())
            if (const QFileInfo file = it.nextFileInfo(); file.fileName() != QStringLiteral("uninstall.exe"))
                kilobytes += (file.size() + 1023) / 1024;
        const QMap<QString, QString> expected{
            {"DisplayName", DisplayName},
            {"DisplayVersion", QStringLiteral(N3FIX_VERSION)},
            {"Publisher", "n3fix developers"},
            {"DisplayIcon", m_installed + QStringLiteral("\\n3fix.exe,0")},
            {"InstallLocation", m_installed},
            {"UninstallString", '"' + uninstaller + '"'},
            {"QuietUninstallString", '"' + uninstaller + QStringLiteral("\" /S")},
            {"NoModify", "1"},
            {"NoRepair", "1"},
            {"EstimatedSize", QString::number(kilobytes)},
        };
        QCOMPARE(entry, expected);
    }

    // The check window and the journal window as their shortcuts start them, on the data in the
    // default data folder: demo data and a repair's journal, made by the installed programs. Each
    // draws its table. An installer run while the program runs stops and changes nothing.
    void windowsOfShortcuts()
    {
        const QString program = m_installedHere + QStringLiteral("/n3fix.exe");
        QCOMPARE(wine({m_installedHere + QStringLiteral("/n3demo.exe")}).status, 0);
        QVERIFY(QFileInfo::exists(QDir(m_dataHere).filePath(QStringLiteral("LQsystem.db"))));
        const DemoAccountSet set = demoAccountSets().first();
        const ProcessRun repair =
            wine({program, "--repair-end-flags", "--account-set", set.id, "--year", QString::number(set.liveYears.first())});
        QVERIFY2(repair.status == 0, (repair.out + repair.err).constData());
        QCOMPARE(QDir(m_dataHere + QStringLiteral("/journal")).entryList({"*.journal"}).size(), 1);

        const QString shots = QFileInfo(qEnvironmentVariable("N3FIX_WINE_SCREENSHOT", m_dir.filePath("x.png"))).absolutePath();
        const QString data = m_localAppData + QStringLiteral("\\n3fix");
        QProcess checkWindow;
        const QImage check = windowOfShortcut(QStringLiteral("检查和修复"), QStringLiteral("检查和修复 — ") + data, checkWindow);
        QVERIFY2(!check.isNull(), qPrintable(X11Windows::titles().join('\n')));
        check.save(QDir(shots).filePath(QStringLiteral("wine-check-window.png")));
        QVERIFY2(TableShot::showsTable(check), "the check window shows no table");

        const QMap<QString, QByteArray> before = contents(m_installedHere);
        const ProcessRun refused = wine({qEnvironmentVariable("N3FIX_WINDOWS_SETUP"), "/S"});
        QCOMPARE(refused.status, 2);
        QVERIFY(contents(m_installedHere) == before);

        QProcess journalWindow;
        const QImage journal = windowOfShortcut(QStringLiteral("修复日志"), QStringLiteral("修复日志 — ") + data, journalWindow);
        QVERIFY2(!journal.isNull(), qPrintable(X11Windows::titles().join('\n')));
        journal.save(QDir(shots).filePath(QStringLiteral("wine-journal-window.png")));
        QVERIFY2(TableShot::showsTable(journal), "the journal window shows no table");

        for (QProcess *window : {&checkWindow, &journalWindow}) {
            window->kill();
            window->waitForFinished();
        }
        settle();
        m_data = snapshot(m_dataHere);
    }

    // Installed again (as a newer version is), silently and without the desktop shortcut: the
    // earlier installation is uninstalled first, the data stays.
    void reinstallKeepsData()
    {
        const ProcessRun run = wine({qEnvironmentVariable("N3FIX_WINDOWS_SETUP"), "/S", "/NODESKTOP"});
        QVERIFY2(run.status == 0, run.err.constData());
        settle();
        checkInstalledFiles();
        QVERIFY(!QFileInfo::exists(QDir(m_desktopHere).filePath(DisplayName + QStringLiteral(".lnk"))));
        QCOMPARE(QDir(m_menuHere).entryList(QDir::Files).size(), 6);
        QCOMPARE(uninstallEntry().value("InstallLocation"), m_installed);
        QCOMPARE(snapshot(m_dataHere), m_data);
    }

    // The uninstall the installed-programs list runs silently removes the program, its shortcuts
    // and its entry, and leaves the data folder and the journal in it as they were.
    void silentUninstall()
    {
        const QString quiet = uninstallEntry().value("QuietUninstallString");
        const QStringList command = QProcess::splitCommand(quiet);
        QCOMPARE(command.size(), 2);
        QCOMPARE(wine({unixPath(command[0]), command[1]}).status, 0);
        settle();
        QVERIFY2(!QFileInfo::exists(m_installedHere), qPrintable(QDir(m_installedHere).entryList().join(' ')));
        QVERIFY(!QFileInfo::exists(m_menuHere));
        QCOMPARE(wine({"reg", "query", UninstallKey}).status, 1);
        QCOMPARE(snapshot(m_dataHere), m_data);
        QCOMPARE(QDir(m_dataHere + QStringLiteral("/journal")).entryList({"*.journal"}).size(), 1);
    }
};

QTEST_MAIN(WineInstallerTests)
#include "tst_wine_installer.moc"
