#include "OdbcFixture.h"

#include "FormDriver.h"

#include "db/ODBC.h"
#include "demo/DemoData.h"

#include <QDir>
#include <QFile>
#include <QTest>

namespace OdbcFixture {

void registerSqliteDriver(const QString &configDir)
{
    QFile ini(QDir(configDir).filePath("odbcinst.ini"));
    QVERIFY(ini.open(QIODevice::WriteOnly)
            && ini.write("[SQL Server]\nDriver=/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so\n") > 0);
    qputenv("ODBCSYSINI", QFile::encodeName(configDir));
    qputenv("XDG_DATA_HOME", QFile::encodeName(QDir(configDir).filePath("home")));
}

void useDemoDatabases(const QString &dir)
{
    createDemoDataDirectory(dir);
    for (const QString &name : QDir(dir).entryList({"*.db"}))
        QVERIFY(QDir(dir).rename(name, name.chopped(3)));
    QVERIFY(QDir::setCurrent(dir));
    FormDriver::useDataDirectory(dir);
    ODBC::setEngine({db::EngineKind::Odbc, QString()});
}

}  // namespace OdbcFixture
