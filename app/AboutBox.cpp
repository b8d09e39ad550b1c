#include "AboutBox.h"

#include "MessageBox.h"

#include "db/DataLocation.h"
#include "db/ODBC.h"
#include "repair/Journal.h"

#include <QCoreApplication>
#include <QDir>

namespace AboutBox {

QString title()
{
    return QStringLiteral("关于 n3fix");
}

QString text()
{
    QString licence = QStringLiteral("许可证：MIT\n");
#ifdef Q_OS_WIN
    // Qt comes as its own DLLs beside the program, which the user may replace.
    licence += QStringLiteral("Qt 按 LGPL-3 许可证使用，许可证文本和 Qt 源代码的说明在程序文件夹的 licenses 中。\n");
#endif
    return QStringLiteral("澄岚N3科目错误修正工具（n3fix）\n版本：%1\n").arg(QCoreApplication::applicationVersion()) + licence
           + QStringLiteral("Qt 版本：%1\n\n数据位置：%2\n修复日志目录：%3")
                 .arg(QString::fromLatin1(qVersion()), db::DataLocation::of(ODBC::engine()).shown(),
                      QDir::toNativeSeparators(repair::journalDirectory()));
}

void show()
{
    MessageBox::show(text(), MessageBox::Icon::None, title());
}

}  // namespace AboutBox
