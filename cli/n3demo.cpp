// n3demo: fills a data directory with demonstration databases for n3fix to open.

#include "demo/DemoData.h"

#include "cli/Console.h"
#include "db/Engine.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <cstdio>
#include <stdexcept>

namespace {

// Writes one line for the user, in UTF-8 as n3fix does.
void say(FILE *stream, const QString &text)
{
    cli::console::write(stream, (text + QLatin1Char('\n')).toUtf8());
}

QString usage()
{
    return QStringLiteral("用法：n3demo [--codes 科目数] [目录]\n"
                          "\n"
                          "在目录中生成 n3fix 使用的演示数据库：系统库 LQsystem.db，以及每个演示帐套每个年度的\n"
                          "帐套库 LQDATA_<帐套号>_<年度>.db。目录不存在时自动创建；目录中已有数据库文件时拒绝执行，\n"
                          "绝不覆盖已有数据。\n"
                          "\n"
                          "不指定目录时使用 n3fix 的默认数据目录；该目录中已有数据库时不做任何改动。\n"
                          "\n"
                          "选项：\n"
                          "  --codes 科目数  每个帐套库的科目表有这么多个科目（1 到 %1，用于练习和性能测试）；\n"
                          "                  不给出时每个科目表有 60 到 150 个科目。\n"
                          "  -h, --help      显示本说明")
        .arg(MaxDemoChartCodes);
}

// Fills `dir` with the demo databases and lists them; returns the exit code.
int fill(const QString &dir, int codesPerChart)
{
    const QString shown = QDir::toNativeSeparators(QFileInfo(dir).absoluteFilePath());
    try {
        createDemoDataDirectory(dir, codesPerChart);
    } catch (const std::exception &e) {
        say(stderr, QStringLiteral("生成演示数据失败：%1").arg(QString::fromUtf8(e.what())));
        return 1;
    }
    const QVector<DemoAccountSet> sets = demoAccountSets();
    say(stdout, QStringLiteral("已在目录“%1”中生成演示数据：").arg(shown));
    say(stdout, QStringLiteral("  LQsystem.db  系统库，%1 个帐套").arg(sets.size()));
    for (const DemoAccountSet &set : sets)
        for (int year : set.liveYears)
            say(stdout,
                QStringLiteral("  %1  帐套 %2 %3，%4 年度").arg(accountSetFileName(set.id, year), set.id, set.name).arg(year));
    return 0;
}

// Refuses the arguments with `reason`; returns the exit code.
int refuse(const QString &reason)
{
    say(stderr, reason + QStringLiteral("\n\n") + usage());
    return 2;
}

}  // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    cli::console::showUtf8();
    // The default data directory is the one n3fix itself uses.
    QCoreApplication::setApplicationName(QStringLiteral("n3fix"));

    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption codes(QStringLiteral("codes"), QString(), QStringLiteral("count"));
    QCommandLineParser parser;
    parser.addOptions({help, codes});
    parser.addPositionalArgument(QStringLiteral("dir"), QString());
    if (!parser.parse(QCoreApplication::arguments()))
        return refuse(parser.unknownOptionNames().isEmpty()
                          ? QStringLiteral("选项 --codes 后面需要给出科目数。")
                          : QStringLiteral("无法识别的选项：%1").arg(parser.unknownOptionNames().first()));
    if (parser.isSet(help)) {
        say(stdout, usage());
        return 0;
    }
    int codesPerChart = 0;
    if (parser.isSet(codes)) {
        bool isNumber = false;
        codesPerChart = parser.value(codes).toInt(&isNumber);
        if (!isNumber || codesPerChart < 1 || codesPerChart > MaxDemoChartCodes || parser.values(codes).size() > 1)
            return refuse(QStringLiteral("--codes 须给出一个 1 到 %1 之间的整数（给出的是“%2”）。")
                              .arg(MaxDemoChartCodes)
                              .arg(parser.values(codes).join(QStringLiteral("”“"))));
    }
    const QStringList args = parser.positionalArguments();
    if (args.size() > 1)
        return refuse(QStringLiteral("只能给出一个目录（给出了 %1 个）。").arg(args.size()));

    if (args.size() == 1) {
        const QString &dir = args.first();
        if (directoryHoldsDatabase(dir)) {
            say(stderr, QStringLiteral("目录“%1”中已有数据库文件，n3demo 不会覆盖已有数据，未做任何改动。")
                            .arg(QDir::toNativeSeparators(dir)));
            return 2;
        }
        return fill(dir, codesPerChart);
    }

    // The default data directory may already hold other things of n3fix's (the demo folder, the
    // journal of repairs made over ODBC): only a database there is the user's data.
    const QString dir = db::defaultDataDirectory();
    if (dir.isEmpty()) {
        say(stderr, QStringLiteral("无法确定默认数据目录，请在命令行中指定目录。"));
        return 1;
    }
    if (directoryHoldsDatabase(dir)) {
        say(stdout, QStringLiteral("默认数据目录“%1”中已有数据库，n3demo 不改动已有的数据。\n"
                                   "如需演示数据，请指定一个新目录：n3demo <目录>")
                        .arg(QDir::toNativeSeparators(dir)));
        return 0;
    }
    return fill(dir, codesPerChart);
}
