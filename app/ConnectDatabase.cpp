#include "ConnectDatabase.h"

#include "MessageBox.h"

#include "db/DbError.h"
#include "db/ODBC.h"

namespace app {

bool ConnectDatabase(const QString &dbName)
{
    try {
        ODBC::connectDatabase(dbName);
        return true;
    } catch (const db::DbError &error) {
        showConnectionError(dbName, error);
        return false;
    }
}

void showConnectionError(const QString &dbName, const db::DbError &error)
{
    // "请正确配置数数据连接", with its doubled 数, is the product's own wording, kept as its users
    // know it.
    MessageBox::show(QStringLiteral("数据库") + dbName + QStringLiteral("连接错误 \r\n") + error.description()
                         + QStringLiteral("\r\n请正确配置数数据连接"),
                     MessageBox::Icon::Critical, QStringLiteral("数据库连接错误"));
}

}  // namespace app
