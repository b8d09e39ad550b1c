// What differs between Windows and POSIX systems, tested on the system the program is built for
// (a Windows build runs under Wine): the journal's lock between processes and beside SQLite's own
// use of the file, a file's and a folder's syncs, the replace in one step, the console's test for
// a terminal, the program's arguments, and the paths shown in messages. The program runs itself
// as the other process where one is needed.
#include "app/ProgramArguments.h"
#include "cli/Console.h"
#include "db/Connection.h"
#include "db/DbError.h"
#include "db/Engine.h"
#include "repair/DurableFiles.h"
#include "repair/JournalLock.h"

#include <QtTest>

#include <sqlite3.h>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

#include <atomic>
#include <cstdio>
#include <thread>

namespace {

// The other process's parts, chosen by the first argument.
int runHelper(int argc, char *argv[])
{
    const QString role = QString::fromLatin1(argv[1]);
    if (role == QLatin1String("--hold-lock")) {
        repair::JournalLock lock;
        std::puts(lock.hold(programArguments(argc, argv).at(2)) ? "held" : "not held");
        std::fflush(stdout);
        while (std::getchar() != EOF) {
        }
        return 0;
    }
    if (role == QLatin1String("--arguments")) {
        // in hex, so no console or code page can change what the parent reads
        for (const QString &argument : programArguments(argc, argv).mid(2))
            std::puts(argument.toUtf8().toHex().constData());
        return 0;
    }
    if (role == QLatin1String("--redraws-lines")) {
        std::puts(cli::console::redrawsLines(stdout) ? "1" : "0");
        return 0;
    }
    return 2;
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

// Runs SQL on the SQLite file at `path` over a connection of its own; the error, or empty.
QString execute(const QString &path, const char *sql)
{
    sqlite3 *db = nullptr;
    sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    char *error = nullptr;
    sqlite3_exec(db, sql, nullptr, nullptr, &error);
    const QString message = error ? QString::fromUtf8(error) : QString();
    sqlite3_free(error);
    sqlite3_close(db);
    return message;
}

qint64 rowCount(const QString &path)
{
    sqlite3 *db = nullptr;
    sqlite3_stmt *statement = nullptr;
    sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_prepare_v2(db, "select count(*) from t", -1, &statement, nullptr);
    const qint64 count = sqlite3_step(statement) == SQLITE_ROW ? sqlite3_column_int64(statement, 0) : -1;
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return count;
}

}  // namespace

class PlatformLayer : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString path(const QString &name) const { return m_dir.filePath(name); }

    // This program as the other process, started with `arguments`.
    void startSelf(QProcess &process, const QStringList &arguments)
    {
        process.start(QCoreApplication::applicationFilePath(), arguments);
        QVERIFY2(process.waitForStarted(), qPrintable(process.errorString()));
    }

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    // A repair's lock is seen by every other process and by this one through another handle,
    // and goes with the process that held it, however it ends.
    void lockBetweenProcesses()
    {
        const QString journal = path(QStringLiteral("锁定 1.journal"));
        QCOMPARE(execute(journal, "create table t(x)"), QString());
        QVERIFY(!repair::JournalLock::isHeld(journal));

        QProcess holder;
        startSelf(holder, {QStringLiteral("--hold-lock"), journal});
        QVERIFY(holder.waitForReadyRead(30000));
        QCOMPARE(holder.readLine().trimmed(), QByteArray("held"));
        QVERIFY(repair::JournalLock::isHeld(journal));
        repair::JournalLock second;
        QVERIFY(!second.hold(journal));

        holder.kill();  // TerminateProcess on Windows, SIGKILL elsewhere: nothing is let go by hand
        QVERIFY(holder.waitForFinished(30000));
        QVERIFY(!repair::JournalLock::isHeld(journal));

        QVERIFY(second.hold(journal));
        QVERIFY(repair::JournalLock::isHeld(journal));  // another handle in this very process
        second.release();
        QVERIFY(!repair::JournalLock::isHeld(journal));
        QVERIFY(!repair::JournalLock::isHeld(path(QStringLiteral("no such journal"))));
    }

    // While the lock is held, SQLite writes, reads and rolls back the same file as ever (a lock
    // on Windows keeps others from reading the bytes it covers), and the file can be removed, as
    // a journal given up before its first commit is.
    void lockLeavesTheFileToSqlite()
    {
        const QString journal = path(QStringLiteral("sqlite.journal"));
        QCOMPARE(execute(journal, "create table t(x)"), QString());
        repair::JournalLock lock;
        QVERIFY(lock.hold(journal));
        // enough rows for the file to grow over many pages, then one transaction rolled back
        QCOMPARE(execute(journal, "with recursive n(i) as (select 1 union all select i+1 from n where i<2000)"
                                  " insert into t select randomblob(500) from n"),
                 QString());
        QCOMPARE(execute(journal, "begin; delete from t; rollback"), QString());
        QCOMPARE(rowCount(journal), qint64(2000));
        QVERIFY(readAll(journal).startsWith("SQLite format 3"));
        QVERIFY(QFileInfo(journal).size() > 1000000);

        QVERIFY(QFile::remove(journal));
        lock.release();
        QVERIFY(!QFileInfo::exists(journal));
    }

    void syncs()
    {
        QFile file(path(QStringLiteral("synced")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write("contents"), qint64(8));
        QVERIFY(file.flush());
        QCOMPARE(repair::syncFile(file), QString());
        file.close();
        QCOMPARE(readAll(file.fileName()), QByteArray("contents"));
        QCOMPARE(repair::syncDirectory(m_dir.path()), QString());
    }

    // The new file takes the old one's place whole; where the move can't be made, the old file
    // stays as it was and the cause is told.
    void replace()
    {
        const QString target = path(QStringLiteral("备忘 memo"));
        const QString fresh = path(QStringLiteral("备忘 memo.new"));
        QVERIFY(writeFile(fresh, "first"));
        QCOMPARE(repair::replaceFile(fresh, target), QString());  // no file there yet
        QVERIFY(writeFile(fresh, "second"));
        QCOMPARE(repair::replaceFile(fresh, target), QString());
        QCOMPARE(readAll(target), QByteArray("second"));
        QVERIFY(!QFileInfo::exists(fresh));

        QVERIFY(repair::replaceFile(path(QStringLiteral("missing")), target) != QString());
        QCOMPARE(readAll(target), QByteArray("second"));
    }

    // A reader that has the old file open for a moment (Windows refuses to replace an open file)
    // only delays the replace.
    void replaceWhileRead()
    {
        const QString target = path(QStringLiteral("read"));
        const QString fresh = path(QStringLiteral("read.new"));
        QVERIFY(writeFile(target, "old"));
        QVERIFY(writeFile(fresh, "new"));
        auto reader = std::make_unique<QFile>(target);
        QVERIFY(reader->open(QIODevice::ReadOnly));
        std::atomic<bool> closed = false;
        std::thread closer([&] {
            QThread::msleep(300);
            reader->close();
            closed = true;
        });
        const QString error = repair::replaceFile(fresh, target);
        closer.join();
        QCOMPARE(error, QString());
        QCOMPARE(readAll(target), QByteArray("new"));
    }

    // Written to a pipe, a command draws no progress bar.
    void pipeIsNoTerminal()
    {
        QProcess child;
        startSelf(child, {QStringLiteral("--redraws-lines")});
        QVERIFY(child.waitForFinished(30000));
        QCOMPARE(child.readAllStandardOutput().trimmed(), QByteArray("0"));
    }

    // A folder's name in Chinese, with spaces and backslashes, reaches the program whole.
    void argumentsInAnyLanguage()
    {
        const QStringList words{QStringLiteral("账套 2007"), QStringLiteral("C:\\数据\\LQDATA_001_2007.db"),
                                QStringLiteral("--data-dir=D:\\n3 数据")};
        QProcess child;
        startSelf(child, QStringList{QStringLiteral("--arguments")} + words);
        QVERIFY(child.waitForFinished(30000));
        QStringList received;
        for (const QByteArray &line : child.readAllStandardOutput().split('\n'))
            if (!line.trimmed().isEmpty())
                received << QString::fromUtf8(QByteArray::fromHex(line.trimmed()));
        QCOMPARE(received, words);
    }

    // Messages show a path as the system writes it: on Windows with its drive letter and
    // backslashes.
    void pathsInMessages()
    {
        const QString missing = path(QStringLiteral("无此目录"));
        db::Connection connection({db::EngineKind::Embedded, missing});
        connection.setConnectionString(QStringLiteral("DRIVER=SQL Server;SERVER=(local);DATABASE=LQsystem"));
        QString message;
        try {
            connection.open();
        } catch (const db::DbError &e) {
            message = e.description();
        }
        QString shown = QFileInfo(missing).absoluteFilePath();
#ifdef Q_OS_WIN
        shown.replace(QLatin1Char('/'), QLatin1Char('\\'));
        QVERIFY2(QRegularExpression(QStringLiteral("^[A-Za-z]:\\\\")).match(shown).hasMatch(), qPrintable(shown));
#endif
        QCOMPARE(message, QStringLiteral("数据目录不存在：") + shown);
    }

    // The data of the user on this computer: %LOCALAPPDATA%\n3fix on Windows (not the roaming
    // profile), ~/.local/share/n3fix elsewhere.
    void defaultDataDirectory()
    {
#ifdef Q_OS_WIN
        const QString base = QDir::fromNativeSeparators(qEnvironmentVariable("LOCALAPPDATA"));
#else
        const QString base = qEnvironmentVariable("XDG_DATA_HOME", QDir::homePath() + QStringLiteral("/.local/share"));
#endif
        QVERIFY(!base.isEmpty());
        QCOMPARE(db::defaultDataDirectory(), base + QStringLiteral("/n3fix"));
    }

#ifdef Q_OS_WIN
    // The program file's version record and icon, as Windows' own calls read them: version 1.00 in
    // Chinese (PRC), the application title as product name. N3FIX_EXE names the program.
    void programIdentity()
    {
        const QString program = qEnvironmentVariable("N3FIX_EXE");
        if (program.isEmpty())
            QSKIP("N3FIX_EXE names no program file");
        const auto wide = reinterpret_cast<const wchar_t *>(program.utf16());
        DWORD unused = 0;
        QByteArray record(int(GetFileVersionInfoSizeW(wide, &unused)), 0);
        QVERIFY(!record.isEmpty() && GetFileVersionInfoW(wide, 0, DWORD(record.size()), record.data()));
        const auto value = [&](const QString &name) {
            void *text = nullptr;
            UINT length = 0;
            const bool found = VerQueryValueW(record.data(), reinterpret_cast<const wchar_t *>(name.utf16()), &text, &length);
            return found ? QString::fromWCharArray(static_cast<const wchar_t *>(text)) : QStringLiteral("(none)");
        };
        void *found = nullptr;
        UINT length = 0;
        QVERIFY(VerQueryValueW(record.data(), L"\\VarFileInfo\\Translation", &found, &length) && length >= 4);
        const auto *translation = static_cast<const WORD *>(found);
        QCOMPARE(translation[0], WORD(0x0804));  // Chinese (PRC)
        QCOMPARE(translation[1], WORD(1200));    // Unicode
        const QString strings = QStringLiteral("\\StringFileInfo\\080404b0\\");
        QCOMPARE(value(strings + "ProductName"), QStringLiteral("N3新会计制度科目增加工具"));
        QCOMPARE(value(strings + "FileVersion"), QStringLiteral("1.00"));
        QCOMPARE(value(strings + "ProductVersion"), QStringLiteral("1.00"));
        QVERIFY(VerQueryValueW(record.data(), L"\\", &found, &length));
        const auto *fixed = static_cast<const VS_FIXEDFILEINFO *>(found);
        QCOMPARE(fixed->dwFileVersionMS, DWORD(0x00010000));
        QCOMPARE(fixed->dwProductVersionMS, DWORD(0x00010000));

        HICON large = nullptr;
        QCOMPARE(ExtractIconExW(wide, 0, &large, nullptr, 1), UINT(1));
        ICONINFO icon = {};
        QVERIFY(GetIconInfo(large, &icon));
        BITMAP bitmap = {};
        GetObjectW(icon.hbmColor, sizeof bitmap, &bitmap);
        QCOMPARE(bitmap.bmWidth, GetSystemMetrics(SM_CXICON));  // the size the system asks for
        DeleteObject(icon.hbmColor);
        DeleteObject(icon.hbmMask);
        DestroyIcon(large);
    }
#endif
};

int main(int argc, char *argv[])
{
    if (argc > 1 && !qstrncmp(argv[1], "--", 2) && qstrcmp(argv[1], "--help"))
        return runHelper(argc, argv);
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("n3fix"));
    PlatformLayer test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_platform_layer.moc"
