#include "Artwork.h"
#include "CommandLine.h"
#include "FirstStart.h"
#include "Form1.h"
#include "JournalWindow.h"
#include "MessageBox.h"
#include "ProgramArguments.h"

#include "cli/Commands.h"
#include "cli/Console.h"
#include "db/ODBC.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include <cstdio>

namespace {

void print(FILE *stream, const QString &text)
{
    cli::console::write(stream, text.toUtf8());
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication::setApplicationName(QStringLiteral("n3fix"));
    QCoreApplication::setApplicationVersion(QStringLiteral(N3FIX_VERSION));

    // The options are read before any window system is needed, so every command but the window
    // itself works anywhere.
    cli::console::showUtf8();
    const StartOptions options = parseCommandLine(programArguments(argc, argv));
    if (!options.error.isEmpty()) {
        print(stderr, options.error + QStringLiteral("\n用 n3fix --help 查看用法。\n"));
        return 2;
    }
    switch (options.action) {
    case Action::Help:
        print(stdout, commandLineHelp());
        return 0;
    case Action::Version:
        print(stdout, QStringLiteral("n3fix %1\n").arg(QCoreApplication::applicationVersion()));
        return 0;
    case Action::Command: {
        QCoreApplication application(argc, argv);
        if (options.demo) {
            const QString problem = FirstStart::prepareDemoData(options.engine.dataDirectory);
            if (!problem.isEmpty()) {
                print(stderr, problem + QLatin1Char('\n'));
                return 2;
            }
        }
        ODBC::setEngine(options.engine);
        return cli::run(options.request);
    }
    case Action::Window:
    case Action::JournalWindow:
        break;
    }

    cli::console::closeOwnConsole();
    QApplication application(argc, argv);
    QApplication::setWindowIcon(Artwork::applicationIcon());
    QGuiApplication::setDesktopFileName(QStringLiteral("cn.chenglan.n3fix"));  // ties the window to its menu entry
    QTranslator qtTranslations;
    if (qtTranslations.load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"), QStringLiteral("_"),
                            QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTranslations);

    if (options.action == Action::JournalWindow) {
        // The journal needs no system database and no demo data: it opens on the folder asked for,
        // and lists nothing where no repair was made.
        ODBC::setEngine(options.engine);
        MessageBox::showDataLayerMessages();
        JournalWindow window;
        window.show();
        return QApplication::exec();
    }
    const std::optional<db::EngineSettings> engine = FirstStart::windowEngine(options);
    if (!engine)
        return 0;
    ODBC::setEngine(*engine);
    MessageBox::showDataLayerMessages();

    Form1 window;
    window.show();
    return QApplication::exec();
}
