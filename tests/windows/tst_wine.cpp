// The Windows build run under Wine, beside this Linux build on the same files: the commands give
// the same words and leave the same databases, a walk killed midway is listed and undone, the
// ODBC path reaches the SQLite driver registered as "SQL Server", the window opens with its
// caption and draws its picture and Chinese labels, and the Windows build's own tests of what
// differs on Windows pass. Run by scripts/test-windows (inside Xvfb, with the xcb platform), which
// names the Windows programs in N3FIX_WINDOWS and the Wine prefix in WINEPREFIX.
#include "demo/DemoData.h"
#include "support/ProcessRun.h"
#include "support/ReportFiles.h"

#include <QtTest>

#include <QGuiApplication>
#include <QImage>
#include <QScreen>

#include <sqlite3.h>

namespace {

const QString Caption = QStringLiteral("澄岚N3科目错误修正工具（修复总账和明细账不平的错误）");

QString windowsFolder()
{
    return qEnvironmentVariable("N3FIX_WINDOWS");
}

// A Unix path as a program under Wine names it, on the drive Wine maps to /.
QString wineName(const QString &path)
{
    return QStringLiteral("Z:") + QString(QFileInfo(path).absoluteFilePath()).replace(QLatin1Char('/'), QLatin1Char('\\'));
}

QProcessEnvironment wineEnvironment()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("WINEDEBUG", "-all");
    environment.insert("WINEDLLOVERRIDES", "mscoree,mshtml=");
    return environment;
}

// One run of a Windows program of the build under Wine, to its end.
ProcessRun wine(const QString &program, const QStringList &arguments, const QProcessEnvironment &environment = wineEnvironment(),
                const QString &workingDirectory = {})
{
    return runProcess(QStringLiteral("wine"), QStringList{QDir(windowsFolder()).filePath(program)} + arguments, environment,
                      workingDirectory);
}

// Every row of every table in the SQLite file at `path`, with each value's storage class.
QString dump(const QString &path)
{
    sqlite3 *db = nullptr;
    QString text;
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
        return QStringLiteral("(cannot open %1)").arg(path);
    QStringList tables;
    sqlite3_stmt *statement = nullptr;
    sqlite3_prepare_v2(db, "select name from sqlite_master where type='table' order by name", -1, &statement, nullptr);
    while (sqlite3_step(statement) == SQLITE_ROW)
        tables << QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(statement, 0)));
    sqlite3_finalize(statement);
    for (const QString &table : tables) {
        text += QStringLiteral("[%1]\n").arg(table);
        const QByteArray sql = QStringLiteral("select rowid, * from \"%1\" order by rowid").arg(table).toUtf8();
        sqlite3_prepare_v2(db, sql.constData(), -1, &statement, nullptr);
        while (sqlite3_step(statement) == SQLITE_ROW) {
            for (int c = 0; c < sqlite3_column_count(statement); ++c)
                text += QStringLiteral("%1:%2|")
                            .arg(sqlite3_column_type(statement, c))
                            .arg(QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(statement, c))));
            text += QLatin1Char('\n');
        }
        sqlite3_finalize(statement);
    }
    sqlite3_close(db);
    return text;
}

// Every database of a data folder, dumped.
QString dumpFolder(const QString &dir)
{
    QString text;
    for (const QString &name : QDir(dir).entryList({QStringLiteral("*.db"), QStringLiteral("LQ*")}, QDir::Files, QDir::Name))
        text += QStringLiteral("== %1\n").arg(name) + dump(QDir(dir).filePath(name));
    return text;
}

// What a command printed, with what must differ between two runs put aside: the data folder's
// name (each system writes it its own way), journal ids and times (they are the start time), who
// ran a repair and on which computer (Windows names the computer in capitals), and Windows' line
// ends.
QString normalized(QByteArray bytes, const QStringList &folders)
{
    QString text = QString::fromUtf8(bytes.replace("\r\n", "\n"));
    for (const QString &folder : folders) {
        text.replace(QJsonDocument(QJsonArray{folder}).toJson(QJsonDocument::Compact).mid(2).chopped(2), "<folder>");
        text.replace(folder, QStringLiteral("<folder>"));
    }
    text.replace(QRegularExpression(QStringLiteral("\\d{4}-\\d\\d-\\d\\d[T ]\\d\\d:\\d\\d:\\d\\d(\\.\\d+)?(Z|[+-]\\d\\d:\\d\\d)?")),
                 QStringLiteral("<time>"));
    text.replace(QRegularExpression(QStringLiteral("\\d{8}-\\d{6}-\\d{3}(-\\d+)?")), QStringLiteral("<id>"));
    text.replace(QRegularExpression(QStringLiteral("操作人 [^（]*（计算机 [^）]*）")),
                 QStringLiteral("操作人 <user>（计算机 <host>）"));
    text.replace(QRegularExpression(QStringLiteral("\"(user|host)\":\\s*(\"[^\"]*\"|null)")), QStringLiteral("\"\\1\": \"<\\1>\""));
    return text;
}

// The newest repair in what --journal --json printed.
QJsonObject newestRepair(const QByteArray &journalJson)
{
    return QJsonDocument::fromJson(journalJson).array().first().toObject();
}

// The Linux build's n3fix and the Windows build's, each on its own copy of the same data.
struct TwoBuilds {
    QString linuxDir, windowsDir;
    QProcessEnvironment linuxEnvironment = environmentWithHome(QDir::tempPath());
    ProcessRun linuxRun, windowsRun;

    void run(const QStringList &arguments)
    {
        linuxRun = runProcess(QStringLiteral(N3FIX), QStringList{"--data-dir", linuxDir} + arguments, linuxEnvironment);
        windowsRun = wine(QStringLiteral("n3fix.exe"), QStringList{"--data-dir", wineName(windowsDir)} + arguments);
    }
    // The two runs said the same and left the same databases.
    void compare() const
    {
        const QStringList folders{linuxDir, wineName(windowsDir)};
        QCOMPARE(normalized(windowsRun.err, folders), normalized(linuxRun.err, folders));
        QCOMPARE(normalized(windowsRun.out, folders), normalized(linuxRun.out, folders));
        QCOMPARE(windowsRun.status, linuxRun.status);
        QCOMPARE(dumpFolder(windowsDir), dumpFolder(linuxDir));
    }
};

// The dark pixels of a rectangle of `image`, as a mask: what of it is text.
QImage inkOf(const QImage &image, const QRect &rect)
{
    QImage ink(rect.size(), QImage::Format_Grayscale8);
    ink.fill(255);
    for (int y = 0; y < rect.height(); ++y)
        for (int x = 0; x < rect.width(); ++x)
            if (qGray(image.pixel(rect.x() + x, rect.y() + y)) < 110)
                ink.setPixel(x, y, qRgb(0, 0, 0));
    return ink;
}

// The first glyph of a label's text: a square as high as the text, from its first dark column.
QImage firstGlyph(const QImage &ink)
{
    int left = ink.width(), top = ink.height(), bottom = -1;
    for (int y = 0; y < ink.height(); ++y)
        for (int x = 0; x < ink.width(); ++x)
            if (qGray(ink.pixel(x, y)) == 0) {
                left = std::min(left, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
    if (bottom < 0)
        return QImage();
    const int size = bottom - top + 1;
    return ink.copy(left, top, size, size);
}

}  // namespace

class WineTests : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir{QDir::temp().filePath(QStringLiteral("n3fix-wine-XXXXXX"))};
    QString m_demo;   // demo data made by the Linux n3demo
    QString m_large;  // the same with 100,000 codes a chart, for walks that take a while

    // A folder named `name` holding the system database and the first demo account set's first
    // year with 100,000 codes; the path of that year's database.
    QString largeChart(const QString &name, QString *dir)
    {
        *dir = m_dir.filePath(name);
        QDir().mkpath(*dir);
        const DemoAccountSet set = demoAccountSets().first();
        for (const QString &file : {QStringLiteral("LQsystem.db"), accountSetFileName(set.id, set.liveYears.first())})
            QFile::copy(QDir(m_large).filePath(file), QDir(*dir).filePath(file));
        return QDir(*dir).filePath(accountSetFileName(set.id, set.liveYears.first()));
    }
    static QStringList walkOfFirstSet()
    {
        const DemoAccountSet set = demoAccountSets().first();
        return {"--repair-end-flags", "--account-set", set.id, "--year", QString::number(set.liveYears.first())};
    }

    TwoBuilds twoBuilds(const QString &name, const QString &source)
    {
        TwoBuilds builds;
        builds.linuxDir = m_dir.filePath(name + QStringLiteral("-linux"));
        builds.windowsDir = m_dir.filePath(name + QStringLiteral(" 视窗"));  // a name to test paths with
        for (const QString &dir : {builds.linuxDir, builds.windowsDir}) {
            QDir().mkpath(dir);
            for (const QString &file : QDir(source).entryList(QDir::Files))
                QFile::copy(QDir(source).filePath(file), QDir(dir).filePath(file));
        }
        return builds;
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(QFileInfo(QDir(windowsFolder()).filePath("n3fix.exe")).isFile(), "N3FIX_WINDOWS names no folder with n3fix.exe");
        QVERIFY(m_dir.isValid());
        m_demo = m_dir.filePath(QStringLiteral("demo"));
        QCOMPARE(runProcess(QStringLiteral(N3DEMO), {m_demo}).status, 0);
        m_large = m_dir.filePath(QStringLiteral("large"));
        QCOMPARE(runProcess(QStringLiteral(N3DEMO), {"--codes", "100000", m_large}).status, 0);
    }

    // The Windows build's tests of its lock, syncs, replace, console, arguments and paths, and of
    // the version record and icon of n3fix.exe. Qt Test
    // on Windows writes its log to a file named for it.
    void windowsLayer()
    {
        QProcessEnvironment environment = wineEnvironment();
        environment.insert("WINEPATH", qEnvironmentVariable("N3FIX_WINDOWS_DLLS"));
        environment.insert("N3FIX_EXE", wineName(QDir(windowsFolder()).filePath("n3fix.exe")));
        const QString log = m_dir.filePath(QStringLiteral("platform-layer.txt"));
        const ProcessRun run = runProcess(
            QStringLiteral("wine"), {qEnvironmentVariable("N3FIX_WINDOWS_TESTS"), "-o", wineName(log) + ",txt"}, environment);
        QFile file(log);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray text = file.readAll();
        QVERIFY2(run.status == 0, (text + run.err).constData());
        QVERIFY2(QRegularExpression("Totals: [1-9][0-9]* passed, 0 failed").match(QString::fromUtf8(text)).hasMatch(),
                 text.constData());
    }

    // n3demo.exe writes the very databases the Linux n3demo writes, but for the folder each
    // system database names, which each system writes its own way.
    void demoData()
    {
        const QString dir = m_dir.filePath(QStringLiteral("演示 windows"));
        const ProcessRun run = wine(QStringLiteral("n3demo.exe"), {wineName(dir)});
        QVERIFY2(run.status == 0, run.err.constData());
        QVERIFY(QString::fromUtf8(run.out).contains(wineName(dir)));
        QCOMPARE(dumpFolder(dir).replace(wineName(dir), "<folder>"), dumpFolder(m_demo).replace(m_demo, "<folder>"));
    }

    // Check, walk, reset, journal and undo: the same words and the same databases as on Linux.
    void commandsAsOnLinux()
    {
        TwoBuilds builds = twoBuilds(QStringLiteral("commands"), m_demo);
        const DemoAccountSet set = demoAccountSets().first();
        const QString year = QString::number(set.liveYears.first());
        const QStringList scope{"--account-set", set.id, "--year", year};

        builds.run({"--check", "--verbose"});
        builds.compare();
        QCOMPARE(builds.linuxRun.status, 1);  // the demo data holds wrong flags

        builds.run(QStringList{"--repair-end-flags"} + scope);
        builds.compare();
        QCOMPARE(builds.linuxRun.status, 0);
        builds.run(QStringList{"--check", "--verbose"} + scope);
        builds.compare();
        QCOMPARE(builds.linuxRun.status, 0);

        const QStringList reset = scope + QStringList{"--code", "1002", "--from-period", "9"};
        builds.run(QStringList{"--reset-balance", "--dry-run"} + reset);
        builds.compare();
        builds.run(QStringList{"--reset-balance"} + reset);
        builds.compare();
        QCOMPARE(builds.linuxRun.status, 0);

        builds.run({"--journal"});
        builds.compare();
        builds.run({"--journal", "--json"});
        builds.compare();
        const QString linuxId = newestRepair(builds.linuxRun.out).value("id").toString();
        const QString windowsId = newestRepair(builds.windowsRun.out).value("id").toString();
        QVERIFY(!windowsId.isEmpty());
        QVERIFY(QFileInfo::exists(QDir(builds.windowsDir).filePath("journal/" + windowsId + ".journal")));

        // each undoes its own reset, then its walk
        builds.linuxRun =
            runProcess(QStringLiteral(N3FIX), {"--data-dir", builds.linuxDir, "--undo", linuxId}, builds.linuxEnvironment);
        builds.windowsRun = wine(QStringLiteral("n3fix.exe"), {"--data-dir", wineName(builds.windowsDir), "--undo", windowsId});
        builds.compare();
        QCOMPARE(builds.linuxRun.status, 0);
        builds.run({"--journal", "--json"});
        builds.compare();
    }

    // Reports from the Windows build: the same CSV, byte for byte, as the Linux build's; a PDF drawn
    // with the Chinese font Windows finds, whose text reads back as drawn.
    void reportsAsOnLinux()
    {
        TwoBuilds builds = twoBuilds(QStringLiteral("reports"), m_demo);
        const QString linuxCsv = QDir(builds.linuxDir).filePath("r.csv");
        const QString windowsCsv = QDir(builds.windowsDir).filePath("r.csv");
        builds.linuxRun =
            runProcess(QStringLiteral(N3FIX), {"--data-dir", builds.linuxDir, "--check-balances", "--report", linuxCsv},
                       builds.linuxEnvironment);
        builds.windowsRun = wine(QStringLiteral("n3fix.exe"), {"--data-dir", wineName(builds.windowsDir), "--check-balances",
                                                               "--report", wineName(windowsCsv)});
        QString linuxText, windowsText;
        QVERIFY(ReportFiles::readCsv(linuxCsv, &linuxText).size() > 1);
        ReportFiles::readCsv(windowsCsv, &windowsText);
        QCOMPARE(windowsText, linuxText);
        QFile::remove(linuxCsv);
        QFile::remove(windowsCsv);
        builds.compare();                     // both said the same and left the same databases
        QCOMPARE(builds.linuxRun.status, 1);  // the demo's ledgers disagree

        const QString pdf = QDir(builds.windowsDir).filePath("r.pdf");
        const ProcessRun run =
            wine(QStringLiteral("n3fix.exe"), {"--data-dir", wineName(builds.windowsDir), "--check", "--report", wineName(pdf)});
        QCOMPARE(run.status, 1);
        const QString text = ReportFiles::pdfText(pdf);
        for (const QString &expected : {QStringLiteral("检查报告"), QStringLiteral("末级标志错误"), QStringLiteral("第 1 页，共")})
            QVERIFY2(text.contains(expected), qPrintable(expected + " not in:\n" + text));
    }

    // A walk killed midway, as a crash or the task manager ends it: listed as not ended, and
    // undone to the very chart it began on.
    void walkKilledMidway()
    {
        QString dir;
        const QString database = largeChart(QStringLiteral("killed 中途"), &dir);
        const QString before = dump(database);

        QProcess walk;
        walk.setProcessEnvironment(wineEnvironment());
        walk.start(QStringLiteral("wine"),
                   QStringList{QDir(windowsFolder()).filePath("n3fix.exe"), "--data-dir", wineName(dir)} + walkOfFirstSet());
        QVERIFY(walk.waitForStarted());
        // killed while it writes the chart: once its write-ahead log holds a few hundred rows' pages
        QElapsedTimer waited;
        waited.start();
        while (QFileInfo(database + QStringLiteral("-wal")).size() < 1000000 && walk.state() == QProcess::Running
               && waited.elapsed() < 120000)
            QThread::msleep(10);
        QCOMPARE(walk.state(), QProcess::Running);
        walk.kill();
        QVERIFY(walk.waitForFinished());
        QVERIFY(dump(database) != before);

        const ProcessRun listed = wine(QStringLiteral("n3fix.exe"), {"--data-dir", wineName(dir), "--journal", "--json"});
        QCOMPARE(listed.status, 0);
        const QJsonObject repair = newestRepair(listed.out);
        QCOMPARE(repair.value("outcome").toString(), QStringLiteral("stopped"));  // no outcome recorded, no process holding it
        const ProcessRun undone =
            wine(QStringLiteral("n3fix.exe"), {"--data-dir", wineName(dir), "--undo", repair.value("id").toString()});
        QVERIFY2(undone.status == 0, (undone.out + undone.err).constData());
        QCOMPARE(dump(database), before);
    }

    // On a console (Wine's, in a terminal that tmux keeps), the walk draws its progress bar, and
    // clears it before its last words.
    void progressBarOnConsole()
    {
        QString dir;
        largeChart(QStringLiteral("console"), &dir);
        const QString session = QStringLiteral("n3fix-wine-%1").arg(QCoreApplication::applicationPid());
        QStringList command{"env"};
        for (const char *variable : {"WINEPREFIX", "WINEDEBUG", "WINEDLLOVERRIDES"})
            command << QString::fromLatin1(variable) + QLatin1Char('=') + wineEnvironment().value(QString::fromLatin1(variable));
        command << "wine" << QDir(windowsFolder()).filePath("n3fix.exe") << "--data-dir" << wineName(dir) << walkOfFirstSet();
        QCOMPARE(runProcess("tmux", QStringList{"-u", "new-session", "-d", "-s", session, "-x", "120", "-y", "10", "--", "sh",
                                                "-c", "\"$@\"; sleep 600", "walk"}
                                        + command)
                     .status,
                 0);
        const QRegularExpression bar(QStringLiteral("^LQDATA_001_2006 \\[(#*)(\\.*)\\] (\\d+)/100000 *$"));
        QString screen;
        bool barSeen = false;
        QElapsedTimer waited;
        waited.start();
        while (!screen.contains(QStringLiteral("修复日志")) && waited.elapsed() < 300000) {
            QThread::msleep(200);
            screen = QString::fromUtf8(runProcess("tmux", {"capture-pane", "-p", "-t", session}).out);
            for (const QString &line : screen.split(QLatin1Char('\n'))) {
                const QRegularExpressionMatch m = bar.match(line);
                barSeen |= m.hasMatch() && m.captured(1).size() + m.captured(2).size() == 30 && m.captured(3).toInt() > 0;
            }
        }
        runProcess("tmux", {"kill-session", "-t", session});
        QVERIFY2(barSeen, qPrintable(screen));
        QVERIFY2(screen.contains(QStringLiteral("修复科目 100000 个")), qPrintable(screen));
        QVERIFY2(!screen.contains(QLatin1Char('[')), qPrintable(screen));  // the bar is gone
    }

    // Through Wine's ODBC, which hands the connection to the host's unixODBC: the SQLite ODBC
    // driver registered as "SQL Server" answers the connection string as the real driver would.
    void odbcPath()
    {
        const QString dir = m_dir.filePath(QStringLiteral("odbc"));
        QDir().mkpath(dir);
        for (const QString &name : QDir(m_demo).entryList({"*.db"}))
            QVERIFY(QFile::copy(QDir(m_demo).filePath(name), QDir(dir).filePath(name.chopped(3))));
        QFile ini(QDir(dir).filePath("odbcinst.ini"));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write("[SQL Server]\nDriver=/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so\n");
        ini.close();
        QProcessEnvironment linuxEnvironment = environmentWithHome(m_dir.filePath("odbc-home"));
        linuxEnvironment.insert("ODBCSYSINI", dir);
        QProcessEnvironment environment = wineEnvironment();
        environment.insert("ODBCSYSINI", dir);
        const ProcessRun onLinux = runProcess(QStringLiteral(N3FIX), {"--odbc", "--check", "--verbose"}, linuxEnvironment, dir);
        const ProcessRun onWine = wine(QStringLiteral("n3fix.exe"), {"--odbc", "--check", "--verbose"}, environment, dir);
        QCOMPARE(onLinux.status, 1);
        QCOMPARE(normalized(onWine.err, {}), normalized(onLinux.err, {}));
        QCOMPARE(normalized(onWine.out, {}), normalized(onLinux.out, {}));
        QCOMPARE(onWine.status, onLinux.status);
    }

    // The window as a person sees it: its caption, the silver picture rising to almost white and
    // falling to a violet grey, and labels in Chinese glyphs (not the boxes a missing font draws).
    void windowDraws()
    {
        QProcess window;
        window.setProcessEnvironment(wineEnvironment());
        window.start(QStringLiteral("wine"), {QDir(windowsFolder()).filePath("n3fix.exe"), "--data-dir", wineName(m_demo)});
        QVERIFY(window.waitForStarted());
        QRect frame;
        QElapsedTimer waited;
        waited.start();
        while (frame.isNull() && waited.elapsed() < 90000) {
            QThread::msleep(500);
            const ProcessRun tree = runProcess(QStringLiteral("xwininfo"), {"-root", "-tree"});
            for (const QString &line : QString::fromUtf8(tree.out).split(QLatin1Char('\n'))) {
                const QRegularExpressionMatch m =
                    QRegularExpression(QStringLiteral("\"([^\"]*)\".* (\\d+)x(\\d+)\\+-?\\d+\\+-?\\d+ +\\+(-?\\d+)\\+(-?\\d+)"))
                        .match(line);
                if (m.hasMatch() && m.captured(1) == Caption && m.captured(2).toInt() > 100)
                    frame = QRect(m.captured(4).toInt(), m.captured(5).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
            }
        }
        QVERIFY2(!frame.isNull(), "no window with the caption appeared");
        QThread::msleep(3000);  // the lists are filled and the window painted
        const QImage shot =
            QGuiApplication::primaryScreen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height()).toImage();
        window.kill();
        window.waitForFinished();
        shot.save(qEnvironmentVariable("N3FIX_WINE_SCREENSHOT", m_dir.filePath("window.png")));
        // The client area is the frame less what decorations Wine drew; its top row of the picture
        // is found as the grey the picture starts with, below the title bar where there is one.
        int top = -1;
        for (int y = 0; y <= shot.height() - 285 && top < 0; ++y) {
            const QColor left = shot.pixelColor(0, y);
            if (qAbs(left.red() - 184) <= 6 && qAbs(left.green() - 184) <= 6 && qAbs(shot.pixelColor(216, y).red() - 252) <= 6)
                top = y;
        }
        QVERIFY2(top >= 0, "the window shows no silver picture");
        // the gradient along a row free of controls
        const int row = top + 4;
        int brightest = 0;
        for (int x = 1; x < 440; ++x)
            if (qGray(shot.pixel(x, row)) > qGray(shot.pixel(brightest, row)))
                brightest = x;
        QVERIFY2(qAbs(brightest - 216) <= 8, qPrintable(QString::number(brightest)));
        QVERIFY(qAbs(QColor(shot.pixel(brightest, row)).red() - 252) <= 6);
        const QColor right = shot.pixelColor(441, row);
        QVERIFY2(qAbs(right.red() - 171) <= 8 && qAbs(right.green() - 168) <= 8 && qAbs(right.blue() - 171) <= 8,
                 qPrintable(right.name()));
        for (int x = 8; x < brightest; x += 8)
            QVERIFY(qGray(shot.pixel(x, row)) >= qGray(shot.pixel(x - 8, row)));
        // the four labels' first glyphs (请, 会, 记, 月): drawn, and each unlike the others
        const QList<QRect> labels{{64, 16, 161, 25}, {64, 104, 105, 25}, {64, 176, 97, 25}, {296, 176, 41, 17}};
        QList<QImage> glyphs;
        for (const QRect &label : labels) {
            const QImage glyph = firstGlyph(inkOf(shot, label.translated(0, top)));
            QVERIFY2(!glyph.isNull() && glyph.height() >= 8, "a label shows no text");
            for (const QImage &other : std::as_const(glyphs))
                QVERIFY2(glyph != other.scaled(glyph.size()), "two labels begin with the same glyph: boxes, not characters");
            glyphs << glyph;
        }
    }
};

QTEST_MAIN(WineTests)
#include "tst_wine.moc"
