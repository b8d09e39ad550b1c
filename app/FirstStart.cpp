#include "FirstStart.h"

#include "GuideWindow.h"
#include "MessageBox.h"
#include "SqlServerDialog.h"

#include "db/DataLocation.h"
#include "db/DbError.h"
#include "db/ODBC.h"
#include "db/SystemDatabase.h"
#include "demo/DemoData.h"

#include <QDir>
#include <QFileDialog>

namespace FirstStart {

using db::DataLocation;
using db::demoDataDirectory;
using db::holdsSystemDatabase;

namespace {

// Reads the account sets over `engine`, which becomes the tool's engine; gives what went wrong,
// or nothing when the window will find its lists.
QString systemDatabaseProblem(const db::EngineSettings &engine)
{
    ODBC::setEngine(engine);
    try {
        db::accountSets(ODBC::openConnection(ODBC::SystemDatabase, true));
        return QString();
    } catch (const db::DbError &error) {
        return QStringLiteral("无法读取系统库 LQsystem：%1").arg(error.description());
    }
}

// The question: `lead` says what the window would open on now; then the three places to choose
// from. The guide, which says how to set up SQL Server, opens from the box's own button, since no
// window with a menu is open yet.
QString choicePrompt(const QString &lead)
{
    return lead
           + QStringLiteral(
                 "可以先打开演示数据练习；也可以连接N3财务软件的 SQL Server 数据库，在本机或另一台计算机上（设置方法见使用说明：按下面的“%1”"
                 "按钮或 F1 打开，也在检查和修复窗口、修复日志窗口的菜单 %2 中）；"
                 "或者选择存放数据库文件（系统库 LQsystem.db 和各帐套的 LQDATA_帐套_年度.db）的文件夹。")
                 .arg(GuideWindow::Title, GuideWindow::MenuPath);
}

// The first start's lead, naming the default data directory that has no data yet.
QString noDataLead()
{
    return QStringLiteral("默认数据目录 %1 中还没有数据库。\n\n").arg(QDir::toNativeSeparators(db::defaultDataDirectory()));
}

// Asks until the user makes a choice whose system database can be read, or quits. A choice
// that gives none (demo data that can't be written, SQL Server not set up, a folder without a
// system database) is named above the question when it is asked again, as `problem` is the
// first time.
std::optional<DataLocation> askUser(const QString &lead, QString problem)
{
    std::optional<db::ServerAccess> typed;
    for (;;) {
        const int choice =
            MessageBox::ask(problem.isEmpty() ? choicePrompt(lead) : problem + QStringLiteral("\n\n") + choicePrompt(lead),
                            choiceButtons(), DemoData, Quit, {GuideWindow::Title, &GuideWindow::showGuide});
        switch (choice) {
        case DemoData:
            problem = prepareDemoData(demoDataDirectory());
            if (problem.isEmpty())
                return DataLocation(DataLocation::Demo);
            break;
        case SqlServer: {
            // the box shows what was typed last, else the server kept
            if (!typed) {
                const std::optional<DataLocation> chosen = DataLocation::remembered();
                typed = chosen && chosen->kind() == DataLocation::SqlServer ? chosen->access() : db::ServerAccess();
            }
            const std::optional<db::ServerAccess> access = SqlServerDialog::ask(*typed);
            if (!access) {
                problem.clear();
                break;
            }
            typed = db::ServerAccess{access->server, access->login, QString()};
            const DataLocation server = DataLocation::sqlServer(*access);
            problem = systemDatabaseProblem(server.engine());
            if (problem.isEmpty())
                return server;
            break;
        }
        case Folder: {
            const QString dir =
                QFileDialog::getExistingDirectory(nullptr, QStringLiteral("选择存放数据库的文件夹"), QDir::homePath());
            if (dir.isEmpty()) {
                problem.clear();
                break;
            }
            const DataLocation folder(DataLocation::Folder, dir);
            problem = holdsSystemDatabase(dir)
                          ? systemDatabaseProblem(folder.engine())
                          : QStringLiteral("文件夹 %1 中没有系统库 LQsystem.db。").arg(QDir::toNativeSeparators(dir));
            if (problem.isEmpty())
                return folder;
            break;
        }
        default:
            return std::nullopt;
        }
    }
}

// Asks, and keeps the place chosen for the starts to come; a place that can't be kept still
// opens, and the user is told that it will be asked for again.
std::optional<db::EngineSettings> askAndRemember(const QString &lead, const QString &problem)
{
    const std::optional<DataLocation> chosen = askUser(lead, problem);
    if (!chosen)
        return std::nullopt;
    const QString notKept = chosen->remember();
    if (!notKept.isEmpty())
        MessageBox::show(notKept);
    return chosen->engine();
}

// SQL Server at start, once the password of a SQL Server login is given: while its system
// database can't be read, the user may connect again, choose another place, or quit.
std::optional<db::EngineSettings> reachedServer(const DataLocation::ForStart &start)
{
    db::EngineSettings engine = start.location.engine();
    for (bool again = false;; again = true) {
        if (!engine.access.login.isEmpty() && (again || engine.access.password.isEmpty())) {
            const std::optional<QString> password = SqlServerDialog::askPassword(engine.access);
            if (!password)
                return std::nullopt;
            engine.access.password = *password;
        }
        const QString problem = systemDatabaseProblem(engine);
        if (problem.isEmpty())
            return engine;
        const QStringList buttons{QStringLiteral("重新连接"), QStringLiteral("选择数据位置…"), QStringLiteral("退出")};
        switch (MessageBox::ask(problem + QStringLiteral("\n\n可以在排除问题后重新连接，或选择别的数据位置。"), buttons, 0, 2,
                                {GuideWindow::Title, &GuideWindow::showGuide})) {
        case 0:
            break;
        case 1:
            return askAndRemember(QStringLiteral("现在使用的数据：%1。\n\n").arg(start.location.shown()), QString());
        default:
            return std::nullopt;
        }
    }
}

// The lead of a choice asked for again: the place in use until now.
QString currentDataLead(const DataLocation::ForStart &now)
{
    if (!now.remembered && !holdsSystemDatabase(now.location.engine().dataDirectory))
        return noDataLead();
    return QStringLiteral("现在使用的数据：%1。\n\n").arg(now.location.shown());
}

}  // namespace

QStringList choiceButtons()
{
    return {QStringLiteral("打开演示数据"), QStringLiteral("连接 SQL Server"), QStringLiteral("选择文件夹…"),
            QStringLiteral("退出")};
}

bool isNeeded(const db::EngineSettings &engine)
{
    return db::noDataYet(engine);
}

std::optional<db::EngineSettings> windowEngine(const db::PlaceAsked &asked, bool chooseAgain)
{
    const DataLocation::ForStart start = DataLocation::forStart(asked);
    if (chooseAgain)
        return askAndRemember(currentDataLead(start), QString());
    const DataLocation &location = start.location;
    if (start.remembered && !location.goneProblem().isEmpty())
        return askAndRemember(location.goneProblem() + QStringLiteral("请重新选择数据位置。\n\n"), QString());
    if (location.kind() == DataLocation::Demo) {
        const QString problem = prepareDemoData(demoDataDirectory());
        if (problem.isEmpty())
            return location.engine();
        if (start.remembered)
            return askAndRemember(QString(), problem);
        MessageBox::show(problem);
        return std::nullopt;
    }
    if (!start.remembered && isNeeded(location.engine()))
        return askAndRemember(noDataLead(), QString());
    if (location.kind() == DataLocation::SqlServer)
        return reachedServer(start);
    return location.engine();
}

std::optional<db::EngineSettings> journalEngine(const db::PlaceAsked &asked)
{
    const DataLocation::ForStart start = DataLocation::forStart(asked);
    if (start.remembered && !start.location.goneProblem().isEmpty()) {
        MessageBox::show(
            start.location.goneProblem()
            + QStringLiteral(
                "请从菜单中的“选择数据位置”（或 n3fix --choose-data）重新选择，或用 --data-dir 目录 打开别处的修复日志。"));
        return std::nullopt;
    }
    // an undo made from the window connects with the login's password; the list needs none, so a
    // user who gives none still sees it
    db::EngineSettings engine = start.location.engine();
    if (!engine.access.login.isEmpty())
        engine.access.password = SqlServerDialog::askPassword(engine.access).value_or(QString());
    return engine;
}

}  // namespace FirstStart
