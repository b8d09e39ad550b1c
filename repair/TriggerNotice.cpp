#include "TriggerNotice.h"

namespace repair {

QString triggerNotice(const QString &table, const db::TableTriggers &triggers)
{
    if (!triggers.any())
        return QString();
    const QString names = triggers.names.join(QStringLiteral("、"));
    QString what;
    if (!triggers.failure.isEmpty())
        what = QStringLiteral("无法查明数据表 %1 上有没有触发器（%2）").arg(table, triggers.failure);
    else if (triggers.isView && names.isEmpty())
        what = QStringLiteral("%1 是视图").arg(table);
    else if (triggers.isView)
        what = QStringLiteral("%1 是视图，由触发器 %2 写入").arg(table, names);
    else
        what = QStringLiteral("数据表 %1 上有触发器 %2").arg(table, names);
    return what
           + QStringLiteral("：修复日志只记下本工具写入的记录，触发器可能同时改动了其他记录，"
                            "那些改动不在日志中，撤销也不能恢复它们。");
}

}  // namespace repair
