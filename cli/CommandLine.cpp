#include "CommandLine.h"

#include "db/ConnectionString.h"
#include "repair/BalanceLedger.h"
#include "repair/ResetPeriod.h"
#include "repair/report/Report.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>

namespace cli {

namespace {

// Qt's standard options, which QApplication takes from the command line itself: those that take
// a value, and those that don't.
const char *const QtValueOptions[] = {"platform",    "platformpluginpath", "platformtheme", "plugin",  "qwindowgeometry",
                                      "qwindowicon", "qwindowtitle",       "session",       "display", "geometry",
                                      "style",       "stylesheet",         "qmljsdebugger", "dialogs", "fontengine"};
const char *const QtFlagOptions[] = {"reverse", "widgetcount", "nograb", "dograb", "sync"};

struct Options {
    QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")}};
    QCommandLineOption version{{QStringLiteral("v"), QStringLiteral("version")}};
    QCommandLineOption dataDir{QStringLiteral("data-dir"), QString(), QStringLiteral("dir")};
    QCommandLineOption odbc{QStringLiteral("odbc")};
    QCommandLineOption demo{QStringLiteral("demo")};
    QCommandLineOption check{QStringLiteral("check")};
    QCommandLineOption repair{QStringLiteral("repair-end-flags")};
    QCommandLineOption journal{QStringLiteral("journal")};
    QCommandLineOption undo{QStringLiteral("undo"), QString(), QStringLiteral("id")};
    QCommandLineOption accountSet{QStringLiteral("account-set"), QString(), QStringLiteral("number")};
    QCommandLineOption year{QStringLiteral("year"), QString(), QStringLiteral("year")};
    QCommandLineOption verbose{QStringLiteral("verbose")};
    QCommandLineOption json{QStringLiteral("json")};
    QCommandLineOption checkBalances{QStringLiteral("check-balances")};
    QCommandLineOption resetBalance{QStringLiteral("reset-balance")};
    QCommandLineOption recomputeBalances{QStringLiteral("recompute-balances")};
    QCommandLineOption code{QStringLiteral("code"), QString(), QStringLiteral("code")};
    QCommandLineOption fromPeriod{QStringLiteral("from-period"), QString(), QStringLiteral("period")};
    QCommandLineOption dryRun{QStringLiteral("dry-run")};
    QCommandLineOption journalWindow{QStringLiteral("journal-window")};
    QCommandLineOption checkWindow{QStringLiteral("check-window")};
    QCommandLineOption chooseData{QStringLiteral("choose-data")};
    QCommandLineOption guide{QStringLiteral("guide")};
    QCommandLineOption amounts{QStringLiteral("amounts"), QString(), QStringLiteral("columns")};
    QCommandLineOption report{QStringLiteral("report"), QString(), QStringLiteral("file")};
    QCommandLineOption server{QStringLiteral("server"), QString(), QStringLiteral("name")};
    QCommandLineOption sqlLogin{QStringLiteral("sql-login"), QString(), QStringLiteral("login")};

    // Every option above, in the order the parser takes them.
    QList<QCommandLineOption> all() const
    {
        return {help,          version,
                dataDir,       odbc,
                demo,          check,
                repair,        journal,
                undo,          accountSet,
                year,          verbose,
                json,          checkBalances,
                resetBalance,  code,
                fromPeriod,    dryRun,
                journalWindow, checkWindow,
                chooseData,    recomputeBalances,
                amounts,       guide,
                report,        server,
                sqlLogin};
    }
};

// Whether the command line names SQL Server: --server and --sql-login do, as --odbc does, and may
// go with it.
bool namesSqlServer(const Options &o, const QCommandLineParser &parser)
{
    return parser.isSet(o.odbc) || parser.isSet(o.server) || parser.isSet(o.sqlLogin);
}

StartOptions failed(const QString &error)
{
    StartOptions options;
    options.error = error;
    return options;
}

// The number of edits (a letter added, dropped or changed, two neighbours swapped) that turn
// one word into the other.
int editDistance(const QString &a, const QString &b)
{
    QList<QList<int>> d(a.size() + 1, QList<int>(b.size() + 1));
    for (int i = 0; i <= a.size(); ++i)
        for (int j = 0; j <= b.size(); ++j) {
            if (i == 0 || j == 0) {
                d[i][j] = i + j;
                continue;
            }
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + int(a[i - 1] != b[j - 1])});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    return d[a.size()][b.size()];
}

// "是不是要用 --check？" for the option of the help nearest to `word`, when it is near enough to
// be a slip of the keys: at most two edits, and fewer than a third of the option's letters.
QString nearestOptionHint(const QString &word)
{
    static const QRegularExpression helpOption(QStringLiteral("--([a-z][a-z-]+)"));
    QString nearest;
    int nearestDistance = 3;
    for (const QRegularExpressionMatch &match : helpOption.globalMatch(commandLineHelp())) {
        const QString name = match.captured(1);
        const int distance = editDistance(word.toLower(), name);
        if (distance < nearestDistance && distance * 3 < name.size()) {
            nearest = name;
            nearestDistance = distance;
        }
    }
    return nearest.isEmpty() ? QString() : QStringLiteral("是不是要用 --%1？").arg(nearest);
}

// An option the parser doesn't know, as the user typed it (--chek, -chek), and the one meant.
QString unknownOption(const QString &name, const QStringList &arguments)
{
    QString typed = QStringLiteral("--") + name;
    for (const QString &argument : arguments.mid(1)) {
        const QString option = argument.section(QLatin1Char('='), 0, 0);
        if (option == QLatin1Char('-') + name || option == QStringLiteral("--") + name)
            typed = option;
    }
    return QStringLiteral("无法识别的选项：%1。%2").arg(typed, nearestOptionHint(name));
}

// What each option that takes a value wants, in the user's words.
QString wantedValue(const Options &o, const QString &name)
{
    const std::pair<const QCommandLineOption *, QString> valueOptions[] = {
        {&o.dataDir, QStringLiteral("目录")},        {&o.undo, QStringLiteral("日志编号")},
        {&o.accountSet, QStringLiteral("帐套编号")}, {&o.year, QStringLiteral("年度")},
        {&o.code, QStringLiteral("科目编码")},       {&o.fromPeriod, QStringLiteral("月份")},
        {&o.amounts, QStringLiteral("金额列")},      {&o.server, QStringLiteral("服务器名")},
        {&o.sqlLogin, QStringLiteral("登录名")}};
    for (const auto &[option, words] : valueOptions)
        if (option->names().contains(name))
            return words;
    return QStringLiteral("值");
}

QString valueMissing(const Options &o, const QString &name)
{
    return QStringLiteral("选项 --%1 后面需要给出%2。").arg(name, wantedValue(o, name));
}

// What keeps the words of the command line from being read as options and values: an option
// unknown, given twice, with a value it takes none of or without the one it needs, a value that
// looks like another option, a data directory that isn't one. Empty when they read well.
QString syntaxProblem(const Options &o, QCommandLineParser &parser, const QStringList &arguments)
{
    if (!parser.parse(arguments)) {
        if (!parser.unknownOptionNames().isEmpty())
            return unknownOption(parser.unknownOptionNames().first(), arguments);
        // The parser names the option in quotes: a value given to an option that takes none
        // (--check=1), or none given to one that needs it.
        static const QRegularExpression quoted(QStringLiteral("'-*([^']*)'"));
        const QString name = quoted.match(parser.errorText()).captured(1);
        if (parser.errorText().startsWith(QLatin1String("Unexpected value")))
            return QStringLiteral("选项 --%1 不带值。").arg(name);
        return valueMissing(o, name);
    }
    const QStringList given = parser.optionNames();
    for (const QString &name : given)
        if (given.count(name) > 1)
            return QStringLiteral("选项 --%1 只能给出一次。").arg(name);
    // A value that looks like an option is another option the user meant, not the value.
    for (const QCommandLineOption *option :
         {&o.dataDir, &o.undo, &o.accountSet, &o.year, &o.code, &o.fromPeriod, &o.amounts, &o.server, &o.sqlLogin}) {
        if (!parser.isSet(*option))
            continue;
        const QString name = option->names().constLast(), value = parser.value(*option);
        if (value.isEmpty())
            return valueMissing(o, name);
        if (value.startsWith(QLatin1Char('-')))
            return QStringLiteral("选项 --%1 后面需要给出%2，给出的“%3”却像另一个选项。").arg(name, wantedValue(o, name), value)
                   + (option == &o.dataDir ? QStringLiteral("以“-”开头的目录请写成 ./%1。").arg(value) : QString());
    }
    if (parser.isSet(o.server) && !db::isLocalServer(parser.value(o.server)))
        if (const QString fault = db::serverNameFault(parser.value(o.server)); !fault.isEmpty())
            return QStringLiteral("--server：") + fault;
    if (const QString fault = db::loginNameFault(parser.value(o.sqlLogin)); parser.isSet(o.sqlLogin) && !fault.isEmpty())
        return QStringLiteral("--sql-login：") + fault;
    if (parser.isSet(o.dataDir)) {
        const QFileInfo dataDir(parser.value(o.dataDir));
        const QString shown = QDir::toNativeSeparators(dataDir.absoluteFilePath());
        if (!dataDir.exists())
            return QStringLiteral("数据目录不存在：%1").arg(shown);
        if (!dataDir.isDir())
            return QStringLiteral("--data-dir 给出的 %1 是一个文件，不是目录。").arg(shown);
    }
    return QString();
}

// Sets what the program is to do, and which journal a command names: at most one command, or
// one of the windows; --help wins over everything else. Gives what is wrong, or nothing.
QString chooseAction(const Options &o, const QCommandLineParser &parser, StartOptions &options)
{
    const std::pair<const QCommandLineOption *, Command> commands[] = {{&o.check, Command::Check},
                                                                       {&o.repair, Command::RepairEndFlags},
                                                                       {&o.journal, Command::Journal},
                                                                       {&o.undo, Command::Undo},
                                                                       {&o.checkBalances, Command::CheckBalances},
                                                                       {&o.resetBalance, Command::ResetBalance},
                                                                       {&o.recomputeBalances, Command::RecomputeBalances}};
    for (const auto &[option, command] : commands) {
        if (!parser.isSet(*option))
            continue;
        if (options.action == Action::Command)
            return QStringLiteral("--check、--repair-end-flags、--journal、--undo、--check-balances、--reset-balance、"
                                  "--recompute-balances 每次只能用一个。");
        options.action = Action::Command;
        options.request.command = command;
    }
    const bool isCommand = options.action == Action::Command;
    if (parser.isSet(o.journalWindow) && parser.isSet(o.checkWindow))
        return QStringLiteral("--journal-window 和 --check-window 每次只能用一个。");
    if (parser.isSet(o.journalWindow)) {
        if (isCommand)
            return QStringLiteral("--journal-window 打开修复日志窗口，不能与命令选项同用。");
        options.action = Action::JournalWindow;
    }
    if (parser.isSet(o.checkWindow)) {
        if (isCommand)
            return QStringLiteral("--check-window 打开检查和修复窗口，不能与命令选项同用。");
        options.action = Action::CheckWindow;
    }
    if (parser.isSet(o.guide)) {
        // The guide needs no data: another window or a place given with it is a slip of the user's.
        bool alone = !isCommand;
        for (const QCommandLineOption *other :
             {&o.journalWindow, &o.checkWindow, &o.chooseData, &o.dataDir, &o.odbc, &o.demo, &o.server, &o.sqlLogin})
            alone = alone && !parser.isSet(*other);
        if (!alone)
            return QStringLiteral("--guide 只打开使用说明窗口，不能与命令选项、--journal-window、--check-window、"
                                  "--choose-data、--data-dir、--odbc、--demo、--server 或 --sql-login 同用。");
        options.action = Action::Guide;
    }
    if (parser.isSet(o.version))
        options.action = Action::Version;
    if (parser.isSet(o.help))
        options.action = Action::Help;

    const QStringList positional = parser.positionalArguments();
    const Command command = options.request.command;
    if (isCommand && command == Command::Journal && positional.size() <= 1)
        options.request.journal = positional.value(0);
    else if (!positional.isEmpty())
        return QStringLiteral("无法识别的参数：%1。%2").arg(positional.first(), nearestOptionHint(positional.first()));
    if (isCommand && command == Command::Undo)
        options.request.journal = parser.value(o.undo);
    return QString();
}

// An option given where it has no meaning, for the action chosen (a command's selection without
// that command, the reset without all it needs, a second place), or nothing.
QString misplacedOption(const Options &o, const QCommandLineParser &parser, const StartOptions &options)
{
    const bool isCommand = options.action == Action::Command;
    const auto commandIs = [&](std::initializer_list<Command> commands) {
        return isCommand && std::find(commands.begin(), commands.end(), options.request.command) != commands.end();
    };
    if (!commandIs(
            {Command::Check, Command::RepairEndFlags, Command::CheckBalances, Command::ResetBalance, Command::RecomputeBalances})
        && (parser.isSet(o.accountSet) || parser.isSet(o.year)))
        return QStringLiteral("--account-set 和 --year 只用于 --check、--repair-end-flags、--check-balances、"
                              "--reset-balance 和 --recompute-balances。");
    if (parser.isSet(o.verbose) && !commandIs({Command::Check, Command::CheckBalances}))
        return QStringLiteral("--verbose 只用于 --check 和 --check-balances。");
    const bool resets = commandIs({Command::ResetBalance});
    if (!resets && (parser.isSet(o.code) || parser.isSet(o.fromPeriod)))
        return QStringLiteral("--code 和 --from-period 只用于 --reset-balance。");
    if (!commandIs({Command::CheckBalances, Command::RecomputeBalances}) && parser.isSet(o.amounts))
        return QStringLiteral("--amounts 只用于 --check-balances 和 --recompute-balances。");
    if (const QString problem = repair::amountColumnList(parser.value(o.amounts)).problem;
        parser.isSet(o.amounts) && !problem.isEmpty())
        return QStringLiteral("--amounts：") + problem;
    const std::initializer_list<Command> previewed{Command::RepairEndFlags, Command::ResetBalance, Command::RecomputeBalances};
    if (!commandIs(previewed) && parser.isSet(o.dryRun))
        return QStringLiteral("--dry-run 只用于 --repair-end-flags、--reset-balance 和 --recompute-balances。");
    if (parser.isSet(o.report)) {
        const bool dryRun = parser.isSet(o.dryRun) && commandIs(previewed);
        if (!dryRun && !commandIs({Command::Check, Command::CheckBalances})
            && !(commandIs({Command::Journal}) && !options.request.journal.isEmpty()))
            return QStringLiteral("--report 只用于 --check、--check-balances，加 --dry-run 的 --repair-end-flags、"
                                  "--reset-balance 和 --recompute-balances，以及 --journal 修复日志编号。");
        if (!repair::report::formatOf(parser.value(o.report)))
            return QStringLiteral("--report %1：报告可存为 %2，请用其中一种扩展名。")
                .arg(parser.value(o.report), repair::report::formatsOffered());
    }
    if (resets) {
        QStringList missing;
        for (const QCommandLineOption *option : {&o.accountSet, &o.year, &o.code, &o.fromPeriod})
            if (!parser.isSet(*option))
                missing << QStringLiteral("--") + option->names().constLast();
        if (!missing.isEmpty())
            return QStringLiteral("--reset-balance 需要给出 --account-set、--year、--code 和 --from-period，还缺少 %1。")
                .arg(missing.join(QStringLiteral("、")));
        if (!repair::resetPeriod(parser.value(o.fromPeriod)).month())
            return QStringLiteral("--from-period 给出的“%1”不是月份：请给出 1 到 12 的整数。").arg(parser.value(o.fromPeriod));
    }
    if (parser.isSet(o.json) && !isCommand)
        return QStringLiteral("--json 只用于命令（--check、--repair-end-flags、--journal、--undo、--check-balances、"
                              "--reset-balance、--recompute-balances）。");
    const bool sqlServer = namesSqlServer(o, parser);
    const int places = int(parser.isSet(o.dataDir)) + int(sqlServer) + int(parser.isSet(o.demo));
    if (places > 1)
        return QStringLiteral("--data-dir、--odbc 和 --demo 只能选一个（--server 和 --sql-login 都指 SQL Server）。");
    if (parser.isSet(o.chooseData)
        && (isCommand || options.action == Action::JournalWindow || options.action == Action::CheckWindow || places > 0))
        return QStringLiteral("--choose-data 重新选择数据位置，然后打开修正工具窗口，不能与命令选项、--journal-window、"
                              "--check-window、--data-dir、--odbc、--demo、--server 或 --sql-login 同用。");
    return QString();
}

StartOptions parseArguments(const QStringList &arguments)
{
    Options o;
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addOptions(o.all());
    for (const char *name : QtValueOptions)
        parser.addOption(QCommandLineOption(QLatin1String(name), QString(), QStringLiteral("value")));
    for (const char *name : QtFlagOptions)
        parser.addOption(QCommandLineOption(QLatin1String(name)));
    parser.addPositionalArgument(QStringLiteral("id"), QString());

    StartOptions options;
    QString problem = syntaxProblem(o, parser, arguments);
    if (problem.isEmpty())
        problem = chooseAction(o, parser, options);
    if (problem.isEmpty())
        problem = misplacedOption(o, parser, options);
    if (!problem.isEmpty())
        return failed(problem);

    options.request.accountSet = parser.value(o.accountSet);
    options.request.year = parser.value(o.year);
    options.request.verbose = parser.isSet(o.verbose);
    options.request.json = parser.isSet(o.json);
    options.request.code = parser.value(o.code);
    options.request.fromPeriod = parser.value(o.fromPeriod);
    options.request.dryRun = parser.isSet(o.dryRun);
    options.request.report = parser.value(o.report);
    if (parser.isSet(o.amounts))
        options.request.amounts = repair::amountColumnList(parser.value(o.amounts)).columns;
    options.place.demo = parser.isSet(o.demo);
    const bool sqlServer = namesSqlServer(o, parser);
    options.place.given = parser.isSet(o.dataDir) || sqlServer || parser.isSet(o.demo);
    options.place.engine.kind = sqlServer ? db::EngineKind::Odbc : db::EngineKind::Embedded;
    if (!db::isLocalServer(parser.value(o.server)))
        options.place.engine.access.server = parser.value(o.server);
    options.place.engine.access.login = parser.value(o.sqlLogin);
    options.place.engine.dataDirectory = parser.isSet(o.dataDir) ? parser.value(o.dataDir)
                                         : options.place.demo    ? db::demoDataDirectory()
                                                                 : db::defaultDataDirectory();
    options.chooseData = parser.isSet(o.chooseData);
    return options;
}

}  // namespace

StartOptions parseCommandLine(const QStringList &arguments)
{
    StartOptions options = parseArguments(arguments);
    // A script that asked for JSON reads its error as JSON too, whatever else is wrong.
    if (!options.error.isEmpty())
        options.request.json = arguments.contains(QStringLiteral("--json")) || arguments.contains(QStringLiteral("-json"));
    return options;
}

QStringList commandLineOptionNames()
{
    QStringList names;
    for (const QCommandLineOption &option : Options().all())
        names << option.names().constLast();
    return names;
}

}  // namespace cli
