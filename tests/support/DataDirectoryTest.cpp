#include "DataDirectoryTest.h"

#include "FormDriver.h"
#include "OdbcFixture.h"

#include "app/MessageBox.h"

#include <QDir>
#include <QTest>

DataDirectoryTest::DataDirectoryTest()
{
    m_helper.setProcessChannelMode(QProcess::ForwardedErrorChannel);
}

void DataDirectoryTest::registerOdbcDriver()
{
    m_odbcConfig = std::make_unique<QTemporaryDir>();
    OdbcFixture::registerSqliteDriver(m_odbcConfig->path());
}

void DataDirectoryTest::useFreshDataDirectory()
{
    m_dir = std::make_unique<QTemporaryDir>();
    FormDriver::useDataDirectory(m_dir->path());
}

void DataDirectoryTest::endHelper()
{
    m_helper.kill();
    m_helper.waitForFinished();
}

void DataDirectoryTest::removeDataDirectory()
{
    QDir::setCurrent(QDir::tempPath());
    const bool unread = !MessageBox::takeShown().isEmpty();
    m_dir.reset();
    QVERIFY2(!unread, "a box no test looked at");
}

QString DataDirectoryTest::startRead(QStringList arguments, cli::Action opens, const QString &window) const
{
    arguments.replaceInStrings("@", m_dir->path());
    const cli::StartOptions options = cli::parseCommandLine(QStringList{"n3fix"} + arguments);
    if (!options.error.isEmpty())
        return options.error;
    if (options.action == cli::Action::Help)
        return QStringLiteral("help");
    return QStringLiteral("%1|%2|%3")
        .arg(options.action == opens ? window : QStringLiteral("other"),
             options.place.engine.kind == db::EngineKind::Odbc ? "odbc" : "embedded", options.place.engine.dataDirectory);
}

void DataDirectoryTest::programOpensTheWindow(const QString &n3fix, const QStringList &refused, const QStringList &opening)
{
    m_helper.start(n3fix, refused);
    QVERIFY(m_helper.waitForFinished(30000));
    QCOMPARE(m_helper.exitCode(), 2);
    m_helper.start(n3fix, opening + QStringList{"--data-dir", m_dir->path(), "-platform", "offscreen"});
    QVERIFY(m_helper.waitForStarted());
    QVERIFY(!m_helper.waitForFinished(1500));
    QCOMPARE(m_helper.state(), QProcess::Running);
}
