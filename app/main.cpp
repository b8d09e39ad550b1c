#include "Artwork.h"
#include "DisplayConnection.h"
#include "FirstStart.h"
#include "GuideWindow.h"
#include "ProgramArguments.h"
#include "WindowAdvice.h"
#include "WindowHub.h"

#include "cli/CommandLine.h"
#include "cli/CommandStart.h"
#include "cli/Console.h"
#include "cli/Output.h"
#include "db/ODBC.h"
#include "repair/report/Report.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include <cstdio>

namespace {

void print(FILE *stream, const QString &text)
{
    cli::console::write(stream, text.toUtf8());
}

// Shows the first window; the program then runs until its last window closes.
int runWindows(WindowHub::Window first)
{
    WindowHub::show(first);
    const int status = QApplication::exec();
    WindowHub::deleteAll();
    return status;
}

}  // namespace

int main(int argc, char *argv[])
{
    QCoreApplication::setApplicationName(QStringLiteral("n3fix"));
    QCoreApplication::setApplicationVersion(QStringLiteral(N3FIX_VERSION));

    // The options are read before any window system is needed, so every command but the window
    // itself works anywhere.
    cli::console::showUtf8();
    const cli::StartOptions options = cli::parseCommandLine(programArguments(argc, argv));
    if (!options.error.isEmpty()) {
        const int status = cli::refuseStart(options.error, options.request.json);
        print(stderr, QStringLiteral("用 n3fix --help 查看用法。\n"));
        return status;
    }
    switch (options.action) {
    case cli::Action::Help:
        print(stdout, cli::commandLineHelp());
        return 0;
    case cli::Action::Version:
        print(stdout, QStringLiteral("n3fix %1\n").arg(QCoreApplication::applicationVersion()));
        return 0;
    case cli::Action::Command: {
        if (repair::report::formatOf(options.request.report) == repair::report::Format::Pdf) {
            const std::unique_ptr<QGuiApplication> application = drawingApplication(argc, argv);
            return cli::startCommand(options);
        }
        QCoreApplication application(argc, argv);
        return cli::startCommand(options);
    }
    case cli::Action::Window:
    case cli::Action::JournalWindow:
    case cli::Action::CheckWindow:
    case cli::Action::Guide:
        break;
    }

    cli::console::closeOwnConsole();
    const std::unique_ptr<QApplication> application = connectToDisplay(argc, argv, &cli::Output::error);
    QApplication::setWindowIcon(Artwork::applicationIcon());
    QGuiApplication::setDesktopFileName(QStringLiteral("cn.chenglan.n3fix"));  // ties the window to its menu entry
    QTranslator qtTranslations;
    if (qtTranslations.load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"), QStringLiteral("_"),
                            QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTranslations);
    // A window's user follows advice on a fault by the windows' menus and boxes.
    db::setAdviceWays(windowAdviceWays());

    if (options.action == cli::Action::Guide) {
        GuideWindow::showGuide();
        return QApplication::exec();
    }

    if (options.action == cli::Action::JournalWindow) {
        const std::optional<db::EngineSettings> engine = FirstStart::journalEngine(options.place);
        if (!engine)
            return 2;
        ODBC::setEngine(*engine);
        return runWindows(WindowHub::Window::Journal);
    }
    // The main window and the check-and-repair window both list the account sets.
    const std::optional<db::EngineSettings> engine = FirstStart::windowEngine(options.place, options.chooseData);
    if (!engine)
        return 0;
    ODBC::setEngine(*engine);

    return runWindows(options.action == cli::Action::CheckWindow ? WindowHub::Window::Check : WindowHub::Window::Main);
}
