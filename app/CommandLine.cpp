#include "CommandLine.h"

#include <QStandardPaths>

StartOptions parseCommandLine(const QStringList &arguments)
{
    StartOptions options;
    options.engine.dataDirectory = defaultDataDirectory();
    bool dataDirGiven = false;
    for (int i = 1; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
            options.showHelp = true;
        } else if (argument == QLatin1String("--odbc")) {
            options.engine.kind = db::EngineKind::Odbc;
        } else if (argument == QLatin1String("--data-dir")) {
            if (i + 1 >= arguments.size() || arguments.at(i + 1).isEmpty()) {
                options.error = QStringLiteral("选项 --data-dir 后面需要给出数据目录。");
                return options;
            }
            options.engine.dataDirectory = arguments.at(++i);
            dataDirGiven = true;
        } else if (argument.startsWith(QLatin1String("--data-dir="))) {
            options.engine.dataDirectory = argument.mid(int(sizeof("--data-dir=")) - 1);
            dataDirGiven = !options.engine.dataDirectory.isEmpty();
            if (!dataDirGiven) {
                options.error = QStringLiteral("选项 --data-dir 后面需要给出数据目录。");
                return options;
            }
        } else {
            options.error = QStringLiteral("无法识别的参数：%1").arg(argument);
            return options;
        }
    }
    if (dataDirGiven && options.engine.kind == db::EngineKind::Odbc)
        options.error = QStringLiteral("--data-dir 只用于内置数据库，不能与 --odbc 同时使用。");
    return options;
}

QString commandLineHelp()
{
    return QStringLiteral(
        "用法：n3fix [选项]\n"
        "\n"
        "澄岚N3科目错误修正工具：修正科目余额、重建末级科目标志。\n"
        "\n"
        "选项：\n"
        "  --data-dir 目录  使用指定目录中的内置数据库（每个数据库是目录中的一个 .db 文件）。\n"
        "                   不给出时使用默认数据目录：%1\n"
        "  --odbc           通过系统的 ODBC 驱动管理器连接 SQL Server，而不使用内置数据库。\n"
        "  --help           显示本说明并退出。\n")
        .arg(defaultDataDirectory());
}

QString defaultDataDirectory()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
}
