#include "Report.h"

#include "ReportCsv.h"
#include "ReportPdf.h"

#include "db/DbError.h"
#include "db/StoredValue.h"
#include "repair/RepairText.h"
#include "repair/WhoAndWhere.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

namespace repair::report {

QList<Fact> madeFacts(const QDateTime &when)
{
    const QString user = loginName();
    return {{QStringLiteral("made"), QStringLiteral("制作时间"), Cell::words(when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")))},
            {QStringLiteral("made_by"), QStringLiteral("制作人"), Cell::words(user.isEmpty() ? QStringLiteral("—") : user)},
            {QStringLiteral("made_on"), QStringLiteral("计算机"), Cell::words(computerName())}};
}

QString shown(const Cell &cell)
{
    switch (cell.kind) {
    case Kind::Text:
        return cell.text;
    case Kind::Code:
        return db::shownCode(cell.text);
    case Kind::Count:
        return QString::number(cell.stored.toLongLong());
    case Kind::Money:
        return cell.money ? RepairText::moneyShown(*cell.money) : QString();
    case Kind::Amount:
        return cell.stored.isValid() ? RepairText::amountShown(cell.stored) : QString();
    case Kind::Flag:
        return cell.stored.isValid() ? RepairText::flagShown(cell.stored) : QString();
    case Kind::Value:
        return cell.stored.isValid() ? db::shownValue(cell.stored) : QString();
    }
    return QString();
}

std::optional<Money> moneyOf(const Cell &cell)
{
    if (cell.kind == Kind::Money)
        return cell.money;
    if (cell.kind != Kind::Amount || !cell.stored.isValid())
        return std::nullopt;
    try {
        return Money::fromStored(cell.stored);
    } catch (const MoneyOutOfRange &) {
        return std::nullopt;
    }
}

QString plain(const Cell &cell)
{
    switch (cell.kind) {
    case Kind::Money:
    case Kind::Amount:
        if (const std::optional<Money> amount = moneyOf(cell))
            return RepairText::moneyExact(*amount);
        return cell.stored.isValid() ? db::shownValue(cell.stored) : QString();
    case Kind::Flag:
        return cell.stored.isValid() ? db::shownValue(cell.stored) : QString();
    default:
        return shown(cell);
    }
}

bool alignsRight(Kind kind)
{
    return kind == Kind::Count || kind == Kind::Money || kind == Kind::Amount;
}

std::optional<Format> formatOf(const QString &fileName)
{
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    if (suffix == QLatin1String("pdf"))
        return Format::Pdf;
    if (suffix == QLatin1String("csv"))
        return Format::Csv;
    return std::nullopt;
}

QString formatsOffered()
{
    return QStringLiteral("PDF（.pdf）、CSV（.csv）");
}

namespace {

// Why `file` could not be written, in the words of the next step, with the system's own words
// after them (which are in the system's language, often English).
QString whyNotWritten(const QSaveFile &file, const QString &fileName)
{
    const QFileInfo folder(QFileInfo(fileName).absolutePath());
    QString why;
    if (!folder.exists())
        why = QStringLiteral("文件夹 %1 不存在，请另选一个位置。").arg(QDir::toNativeSeparators(folder.filePath()));
    else if (!folder.isWritable() || file.error() == QFileDevice::OpenError || file.error() == QFileDevice::PermissionsError)
        why = QStringLiteral("不能在这里写文件：没有权限，或同名文件正被其他程序打开。请另选一个位置或文件名。");
    else
        why = QStringLiteral("写入失败，磁盘可能已满。请腾出空间或另选一个位置。");
    // a write cut short by a full disk sets no error, and its string would be "Unknown error"
    return file.error() == QFileDevice::NoError ? why : why + QStringLiteral("（%1）").arg(file.errorString());
}

}  // namespace

void save(const Report &report, const QString &fileName)
{
    const QString shownName = QDir::toNativeSeparators(fileName);
    const std::optional<Format> format = formatOf(fileName);
    if (!format)
        throw db::DbError(QStringLiteral("无法保存报告 %1：不认识这种文件，报告可存为 %2。").arg(shownName, formatsOffered()));
    // Written beside the file and put in its place only when whole: a full disk or a failed
    // drawing leaves no half report, and an earlier file of the name stays as it was.
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        throw db::DbError(QStringLiteral("无法保存报告 %1：%2").arg(shownName, whyNotWritten(file, fileName)));
    const QByteArray bytes = *format == Format::Csv ? csv(report) : pdf(report);
    // A write the disk cut short returns fewer bytes and may set no error, which commit() would
    // not see: it is checked here.
    if (file.write(bytes) != bytes.size()) {
        const QString why = whyNotWritten(file, fileName);
        file.cancelWriting();
        throw db::DbError(QStringLiteral("无法保存报告 %1：%2").arg(shownName, why));
    }
    if (!file.commit())
        throw db::DbError(QStringLiteral("无法保存报告 %1：%2").arg(shownName, whyNotWritten(file, fileName)));
}

}  // namespace repair::report
