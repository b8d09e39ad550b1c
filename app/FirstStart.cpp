#include "FirstStart.h"

#include "MessageBox.h"

#include "db/DbError.h"
#include "db/OdbcAdvice.h"
#include "db/ODBC.h"
#include "db/SystemDatabase.h"
#include "demo/DemoData.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

namespace FirstStart {

namespace {

// The file that makes a folder a data directory: the system database listing the account sets.
bool holdsSystemDatabase(const QString &dir)
{
    return QFileInfo(QDir(dir).filePath(ODBC::SystemDatabase + QStringLiteral(".db"))).isFile();
}

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

// The first start's question, naming the default data directory that has no data yet.
QString choicePrompt()
{
    return QStringLiteral("默认数据目录 %1 中还没有数据库。\n\n"
                          "可以先打开演示数据练习；也可以连接N3财务软件的 SQL Server 数据库（设置方法见 %2）；"
                          "或者选择存放数据库文件（系统库 LQsystem.db 和各帐套的 LQDATA_帐套_年度.db）的文件夹。")
        .arg(QDir::toNativeSeparators(db::defaultDataDirectory()), db::odbcSetupGuide());
}

// Asks until the user makes a choice whose system database can be read, or quits. A choice
// that gives none (demo data that can't be written, SQL Server not set up, a folder without a
// system database) is named above the question when it is asked again.
std::optional<db::EngineSettings> askUser()
{
    QString problem;
    for (;;) {
        const int choice = MessageBox::ask(problem.isEmpty() ? choicePrompt() : problem + QStringLiteral("\n\n") + choicePrompt(),
                                           choiceButtons(), DemoData, Quit);
        switch (choice) {
        case DemoData: {
            const QString dir = demoDataDirectory();
            problem = prepareDemoData(dir);
            if (problem.isEmpty())
                return db::EngineSettings{db::EngineKind::Embedded, dir};
            break;
        }
        case SqlServer: {
            const db::EngineSettings server{db::EngineKind::Odbc, db::defaultDataDirectory()};
            problem = systemDatabaseProblem(server);
            if (problem.isEmpty())
                return server;
            break;
        }
        case Folder: {
            const QString dir = QFileDialog::getExistingDirectory(nullptr, QStringLiteral("选择存放数据库的文件夹"), QDir::homePath());
            if (dir.isEmpty()) {
                problem.clear();
                break;
            }
            const db::EngineSettings folder{db::EngineKind::Embedded, dir};
            problem = holdsSystemDatabase(dir)
                ? systemDatabaseProblem(folder)
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

} // namespace

QStringList choiceButtons()
{
    return {QStringLiteral("打开演示数据"), QStringLiteral("连接 SQL Server"), QStringLiteral("选择文件夹…"),
            QStringLiteral("退出")};
}

bool isNeeded(const db::EngineSettings &engine)
{
    return engine.kind == db::EngineKind::Embedded && engine.dataDirectory == db::defaultDataDirectory()
        && !holdsSystemDatabase(engine.dataDirectory);
}

QString prepareDemoData(const QString &dir)
{
    try {
        fillDemoDataUnlessPresent(dir);
        return QString();
    } catch (const std::exception &e) {
        return QStringLiteral("生成演示数据失败：%1").arg(QString::fromUtf8(e.what()));
    }
}

std::optional<db::EngineSettings> windowEngine(const StartOptions &options)
{
    if (options.demo) {
        const QString problem = prepareDemoData(options.engine.dataDirectory);
        if (!problem.isEmpty()) {
            MessageBox::show(problem);
            return std::nullopt;
        }
        return options.engine;
    }
    if (isNeeded(options.engine))
        return askUser();
    return options.engine;
}

} // namespace FirstStart
