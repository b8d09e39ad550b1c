#include "Artwork.h"
#include "CommandLine.h"
#include "Form1.h"
#include "JournalWindow.h"
#include "MessageBox.h"

#include "cli/Commands.h"
#include "db/ODBC.h"
#include "demo/DemoData.h"

#include <QApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QTranslator>

#include <cstdio>

namespace {

void print(FILE *stream, const QString &text)
{
    std::fputs(text.toUtf8().constData(), stream);
}

// Creates the demo folder with demo data the first time it is asked for; later it is used as
// the user left it.
void prepareDemoData(const QString &dir)
{
    if (QDir(dir).exists())
        return;
    try {
        createDemoDataDirectory(dir);
    } catch (const std::exception &e) {
        print(stderr, QStringLiteral("生成演示数据失败：%1\n").arg(QString::fromUtf8(e.what())));
    }
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication::setApplicationName(QStringLiteral("n3fix"));
    QCoreApplication::setApplicationVersion(QStringLiteral(N3FIX_VERSION));

    // The options are read before any window system is needed, so every command but the window
    // itself works anywhere.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const StartOptions options = parseCommandLine(arguments);
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
        ODBC::setEngine(options.engine);
        return cli::run(options.request);
    }
    case Action::Window:
    case Action::JournalWindow:
        break;
    }

    QApplication application(argc, argv);
    QApplication::setWindowIcon(Artwork::applicationIcon());
    QGuiApplication::setDesktopFileName(QStringLiteral("cn.chenglan.n3fix"));  // ties the window to its menu entry
    QTranslator qtTranslations;
    if (qtTranslations.load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"), QStringLiteral("_"),
                            QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTranslations);

    if (options.demo)
        prepareDemoData(options.engine.dataDirectory);
    ODBC::setEngine(options.engine);
    MessageBox::showDataLayerMessages();

    if (options.action == Action::JournalWindow) {
        JournalWindow window;
        window.show();
        return QApplication::exec();
    }
    Form1 window;
    window.show();
    return QApplication::exec();
}
