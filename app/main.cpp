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
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("n3fix"));
    QApplication::setWindowIcon(Artwork::applicationIcon());
    QApplication::setApplicationVersion(QStringLiteral("1.00"));

    const StartOptions options = parseCommandLine(QApplication::arguments());
    if (options.showHelp || !options.error.isEmpty()) {
        QTextStream out(options.error.isEmpty() ? stdout : stderr);
        if (!options.error.isEmpty())
            out << options.error << "\n\n";
        out << commandLineHelp();
        return options.error.isEmpty() ? 0 : 2;
    }

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
