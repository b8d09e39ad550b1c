#include "DataDirectoryTest.h"

#include "FormDriver.h"
#include "OdbcFixture.h"

#include "app/MessageBox.h"
#include "db/ODBC.h"

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
    ODBC::DbConn().reset();
    QDir::setCurrent(QDir::tempPath());
    const bool unread = !MessageBox::takeShown().isEmpty();
    m_dir.reset();
    QVERIFY2(!unread, "a box no test looked at");
}
