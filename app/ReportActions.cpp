#include "ReportActions.h"

#include "MessageBox.h"

#include "db/DbError.h"
#include "repair/report/ReportPdf.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QStandardPaths>
#include <QWidget>

namespace {

const QString PdfFilter = QStringLiteral("PDF 文件 (*.pdf)");
const QString CsvFilter = QStringLiteral("CSV 文件，可用 Excel 打开 (*.csv)");

// The folder the save box opens in: the one a report was last saved in during this run, else the
// user's documents.
QString &lastFolder()
{
    static QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return folder;
}

}  // namespace

ReportActions::ReportActions(QWidget *window, Source source) : QObject(window), m_window(window), m_source(std::move(source))
{
    save = new QAction(QStringLiteral("保存报告…"), this);
    save->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    save->setToolTip(QStringLiteral("把报告存为 PDF 或 CSV 文件（Ctrl+S）"));
    connect(save, &QAction::triggered, this, &ReportActions::saveReport);
    print = new QAction(QStringLiteral("打印…"), this);
    print->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    connect(print, &QAction::triggered, this, &ReportActions::printReport);
}

void ReportActions::saveReport()
{
    const std::optional<repair::report::Report> report = m_source.build();
    if (!report)
        return;
    QString filter = PdfFilter;
    const QString proposed = QDir(lastFolder()).filePath(m_source.suggestedName() + QStringLiteral(".pdf"));
    QString fileName = QFileDialog::getSaveFileName(m_window, QStringLiteral("保存报告"), proposed,
                                                    PdfFilter + QStringLiteral(";;") + CsvFilter, &filter);
    if (fileName.isEmpty())
        return;
    // A name typed without an extension takes the one of the file type chosen.
    if (!repair::report::formatOf(fileName))
        fileName += filter == CsvFilter ? QStringLiteral(".csv") : QStringLiteral(".pdf");
    lastFolder() = QFileInfo(fileName).absolutePath();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        repair::report::save(*report, fileName);
        QApplication::restoreOverrideCursor();
    } catch (const db::DbError &error) {
        QApplication::restoreOverrideCursor();
        MessageBox::show(error.description(), MessageBox::Icon::Critical);
    }
}

void ReportActions::printReport()
{
    const std::optional<repair::report::Report> report = m_source.build();
    if (!report)
        return;
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setDocName(report->title);
    QPrintDialog dialog(&printer, m_window);
    dialog.setWindowTitle(QStringLiteral("打印报告"));
    if (dialog.exec() != QDialog::Accepted)
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        repair::report::print(*report, printer);
        QApplication::restoreOverrideCursor();
    } catch (const db::DbError &error) {
        QApplication::restoreOverrideCursor();
        MessageBox::show(QStringLiteral("无法打印报告：") + error.description(), MessageBox::Icon::Critical);
    }
}
