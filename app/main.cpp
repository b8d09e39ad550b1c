#include "Artwork.h"
#include "CommandLine.h"
#include "Form1.h"
#include "MessageBox.h"

#include "db/ODBC.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QTextStream>
#include <QTranslator>

int main(int argc, char *argv[])
{
    QCoreApplication::setApplicationName(QStringLiteral("n3fix"));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.00"));

    // The options are read before any window system is needed, so --help works anywhere.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const StartOptions options = parseCommandLine(arguments);
    if (options.showHelp || !options.error.isEmpty()) {
        QTextStream out(options.error.isEmpty() ? stdout : stderr);
        if (!options.error.isEmpty())
            out << options.error << "\n\n";
        out << commandLineHelp();
        return options.error.isEmpty() ? 0 : 2;
    }

    QApplication application(argc, argv);
    QApplication::setWindowIcon(Artwork::applicationIcon());
    QTranslator qtTranslations;
    if (qtTranslations.load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"), QStringLiteral("_"),
                            QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTranslations);

    ODBC::setEngine(options.engine);
    MessageBox::showDataLayerMessages();

    Form1 window;
    window.show();
    return QApplication::exec();
}
