#include "AmountColumnsSetting.h"

#include "db/DataLocation.h"

#include <QDir>

namespace AmountColumnsSetting {

namespace {

const QString Key = QStringLiteral("checkWindow/amounts");

}  // namespace

repair::AmountColumnList remembered()
{
    const QSettings settings = db::userSettings();
    if (!settings.contains(Key))
        return {repair::DefaultAmountColumns, QString()};
    repair::AmountColumnList list = repair::amountColumnList(settings.value(Key).toString());
    if (!list.problem.isEmpty())
        list.problem =
            QStringLiteral("设置文件 %1 中的金额列：%2").arg(QDir::toNativeSeparators(db::DataLocation::settingsFile()), list.problem);
    return list;
}

QString remember(const QString &text)
{
    const repair::AmountColumnList list = repair::amountColumnList(text);
    if (!list.problem.isEmpty())
        return list.problem;
    QSettings settings = db::userSettings();
    settings.setValue(Key, list.columns.join(QLatin1Char(',')));
    settings.sync();
    if (settings.status() == QSettings::NoError)
        return QString();
    return QStringLiteral("无法把金额列写入设置文件 %1。").arg(QDir::toNativeSeparators(settings.fileName()));
}

}  // namespace AmountColumnsSetting
