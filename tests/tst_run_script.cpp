// The run command of a fresh clone, as a newcomer starts it: scripts/run on a copy of the source
// tree, with a home directory of its own, on a real X server (Xvfb). It installs only what
// building and running the tool needs, builds the two programs and opens the window on the demo
// data, leaving the default data directory and the settings alone.
#include "support/ProcessRun.h"
#include "support/X11Windows.h"

#include <QtTest>

#include <csignal>
#include <unistd.h>

namespace {

// The tools only the tests and the package checks use: none of them is needed to build or run.
const QStringList TestTools = {
    "lintian", "strace", "xvfb", "xauth", "x11-utils", "man-db", "appstream", "desktop-file-utils", "libsqliteodbc", "ccache"};

QStringList packagesFor(const QStringList &purpose)
{
    const ProcessRun run = runProcess(QStringLiteral(N3FIX_SOURCE_DIR "/scripts/install-deps"), purpose + QStringList{"--list"});
    return QString::fromUtf8(run.out).split('\n', Qt::SkipEmptyParts);
}

// Every Debian package with its state, as dpkg knows them.
QString installedPackages()
{
    return QString::fromUtf8(runProcess("dpkg-query", {"-W", "-f", "${Package} ${Status}\\n"}).out);
}

// Copies the source tree as a clone holds it: without build folders and the repository's own
// files.
bool copySourceTree(const QString &to)
{
    const QDir source(QStringLiteral(N3FIX_SOURCE_DIR));
    QDirIterator it(source.path(), QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = source.relativeFilePath(it.next());
        const QString top = path.section('/', 0, 0);
        if (top.startsWith("build") || top == ".git" || top == ".cache")
            continue;
        const QFileInfo file(it.fileInfo());
        if (!QDir().mkpath(QFileInfo(to + '/' + path).path()) || !QFile::copy(file.filePath(), to + '/' + path))
            return false;
        QFile::setPermissions(to + '/' + path, file.permissions());
    }
    return true;
}

}  // namespace

class tst_RunScript : public QObject {
    Q_OBJECT

private slots:
    // Each purpose installs what it needs beyond the ones it builds on; the test tools come with
    // the test command only. Every name is a package dpkg knows, installed here by the test command.
    void packagesByPurpose()
    {
        const QStringList run = packagesFor({}), package = packagesFor({"--package"}), test = packagesFor({"--test"});
        QVERIFY(run.contains("cmake") && run.contains("qt6-base-dev") && run.contains("fonts-noto-cjk"));
        for (const QString &tool : TestTools) {
            QVERIFY2(!run.contains(tool) && !package.contains(tool), qPrintable(tool));
            QVERIFY2(test.contains(tool), qPrintable(tool));
        }
        for (const QString &name : run)
            QVERIFY2(package.contains(name), qPrintable(name));
        for (const QString &name : package)
            QVERIFY2(test.contains(name), qPrintable(name));
        QVERIFY(package.contains("file"));
        const QString installed = installedPackages();
        for (const QString &name : test)
            QVERIFY2(installed.contains(QRegularExpression("^" + QRegularExpression::escape(name) + " install ok installed$",
                                                           QRegularExpression::MultilineOption)),
                     qPrintable(name));
        QCOMPARE(runProcess(QStringLiteral(N3FIX_SOURCE_DIR "/scripts/install-deps"), {"--all"}).status, 2);
    }

    // The run command on a copy of the tree and a fresh home: the window comes up on the demo data,
    // the default data directory holds nothing but the demo folder, no settings are written and no
    // package is installed. The build goes through ccache when there is one, so that a second run
    // of this test is short.
    void runOnAFreshClone()
    {
        QTemporaryDir clone, home;
        QVERIFY(copySourceTree(clone.path()));
        QProcessEnvironment environment = environmentWithHome(home.path());
        environment.insert("QT_QPA_PLATFORM", "xcb");
        const QString ccacheDir = QString::fromUtf8(runProcess("ccache", {"-k", "cache_dir"}).out).trimmed();
        if (!ccacheDir.isEmpty()) {
            environment.insert("CMAKE_CXX_COMPILER_LAUNCHER", "ccache");
            environment.insert("CCACHE_DIR", ccacheDir);
            environment.insert("CCACHE_BASEDIR", clone.path());
        }
        const QString packagesBefore = installedPackages();

        QProcess script;
        script.setProcessEnvironment(environment);
        script.setProcessChannelMode(QProcess::MergedChannels);
        script.setChildProcessModifier([] { ::setsid(); });  // its build and the window, ended together
        script.start(clone.filePath("scripts/run"), {});
        QVERIFY(script.waitForStarted());
        const QString caption = QStringLiteral("澄岚N3科目错误修正工具（修复总账和明细账不平的错误）");
        QString window;
        for (const QDeadlineTimer deadline(1200000); window.isEmpty() && !deadline.hasExpired();) {
            if (script.waitForFinished(500))
                break;  // the build failed, or the window did
            window = X11Windows::waitFor(caption, 0);
        }
        const QStringList titles = X11Windows::titles();
        ::kill(-pid_t(script.processId()), SIGKILL);
        script.waitForFinished();
        QVERIFY2(!window.isEmpty(), script.readAll().right(4000).constData());
        QVERIFY2(!titles.contains(QStringLiteral("N3新会计制度科目增加工具")), "a box came before the window");

        const QString dataDirectory = home.filePath(".local/share/n3fix");
        QCOMPARE(QDir(dataDirectory).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList{"demo"});
        QVERIFY(QFile::exists(dataDirectory + "/demo/LQsystem.db"));
        QVERIFY(!QFileInfo::exists(home.filePath(".config/n3fix")));
        QCOMPARE(installedPackages(), packagesBefore);
    }
};

QTEST_MAIN(tst_RunScript)
#include "tst_run_script.moc"
