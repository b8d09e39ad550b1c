// n3demo: fills a data directory with demonstration databases for n3fix to open.

#include "demo/DemoData.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <cstdio>
#include <stdexcept>

namespace {

// Writes one line for the user in the console's encoding.
void say(FILE *stream, const QString &text)
{
    std::fputs((text + QLatin1Char('\n')).toLocal8Bit().constData(), stream);
}

QString usage()
{
    return QStringLiteral(
        "用法：n3demo [目录]\n"
        "\n"
        "在目录中生成 n3fix 使用的演示数据库：系统库 LQsystem.db，以及每个演示账套每个年度的\n"
        "账套库 LQDATA_<账套号>_<年度>.db。目录不存在时自动创建；目录中已有数据库文件时拒绝执行，\n"
        "绝不覆盖已有数据。\n"
        "\n"
        "不指定目录时使用 n3fix 的默认数据目录；该目录已存在时不做任何改动。\n"
        "\n"
        "选项：\n"
        "  -h, --help  显示本说明");
}

// Fills `dir` with the demo databases and lists them; returns the exit code.
int fill(const QString &dir)
{
    const QString shown = QDir::toNativeSeparators(QFileInfo(dir).absoluteFilePath());
    try {
        createDemoDataDirectory(dir);
    } catch (const std::exception &e) {
        say(stderr, QStringLiteral("生成演示数据失败：%1").arg(QString::fromUtf8(e.what())));
        return 1;
    }
    const QVector<DemoAccountSet> sets = demoAccountSets();
    say(stdout, QStringLiteral("已在目录“%1”中生成演示数据：").arg(shown));
    say(stdout, QStringLiteral("  LQsystem.db  系统库，%1 个账套").arg(sets.size()));
    for (const DemoAccountSet &set : sets)
        for (int year : set.liveYears)
            say(stdout, QStringLiteral("  %1  账套 %2 %3，%4 年度")
                            .arg(accountSetFileName(set.id, year), set.id, set.name).arg(year));
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    // The default data directory is the one n3fix itself uses.
    QCoreApplication::setApplicationName(QStringLiteral("n3fix"));

    const QStringList args = QCoreApplication::arguments().mid(1);
    if (args.contains(QStringLiteral("--help")) || args.contains(QStringLiteral("-h"))) {
        say(stdout, usage());
        return 0;
    }
    if (args.size() > 1 || (args.size() == 1 && args.first().startsWith(QLatin1Char('-')))) {
        say(stderr, QStringLiteral("参数有误。\n\n") + usage());
        return 2;
    }

    if (args.size() == 1) {
        const QString dir = args.first();
        if (directoryHoldsDatabase(dir)) {
            say(stderr, QStringLiteral("目录“%1”中已有数据库文件，n3demo 不会覆盖已有数据，未做任何改动。")
                            .arg(QDir::toNativeSeparators(dir)));
            return 2;
        }
        return fill(dir);
    }

    const QString dir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (dir.isEmpty()) {
        say(stderr, QStringLiteral("无法确定默认数据目录，请在命令行中指定目录。"));
        return 1;
    }
    if (QFileInfo::exists(dir)) {
        say(stdout, QStringLiteral("默认数据目录“%1”已存在，n3demo 不改动其中已有的数据。\n"
                                   "如需演示数据，请指定一个新目录：n3demo <目录>")
                        .arg(QDir::toNativeSeparators(dir)));
        return 0;
    }
    return fill(dir);
}
