#pragma once

#include "cli/CommandLine.h"

#include <QObject>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <memory>

// The base of a test class whose every test function runs on a data directory of its own: a fresh
// temporary directory the tool is pointed at, with message boxes recorded, and a helper program
// beside the tool. Qt Test calls only the slots the test class itself declares, so its
// initTestCase, init and cleanup call these.
class DataDirectoryTest : public QObject {
protected:
    DataDirectoryTest();

    // For initTestCase: the SQLite ODBC driver registered as "SQL Server" in a folder of the
    // test's own, as the driver manager reads it once, before the first ODBC call.
    void registerOdbcDriver();

    // For init: a fresh data directory, the tool pointed at it, message boxes recorded.
    void useFreshDataDirectory();

    // For cleanup: ends the helper program, if it still runs.
    void endHelper();

    // For cleanup, once the test's windows are closed: ends the connection, makes the temporary
    // folder the current directory (a test may have gone into the data directory) and removes the
    // data directory; fails when a recorded box went unread.
    void removeDataDirectory();

    QString data(const QString &name) const { return m_dir->filePath(name); }

    // How the program reads `arguments` ("@" standing for the data directory): the error, "help",
    // or "`window`|engine|data directory" when it opens the window `opens` ("other" for another).
    QString startRead(QStringList arguments, cli::Action opens, const QString &window) const;

    // The real program n3fix at `n3fix`, as the helper: `refused` ends with status 2; `opening`
    // (with the data directory and the offscreen platform added) opens a window that stays up.
    void programOpensTheWindow(const QString &n3fix, const QStringList &refused, const QStringList &opening);

    std::unique_ptr<QTemporaryDir> m_dir;
    QProcess m_helper;  // a program the test runs beside the tool: a lock holder, a walk, n3fix

private:
    std::unique_ptr<QTemporaryDir> m_odbcConfig;
};
