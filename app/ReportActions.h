#pragma once

#include "repair/report/Report.h"

#include <QObject>

#include <functional>
#include <optional>

class QAction;
class QWidget;

// The report items of a window over the data: 保存报告… (Ctrl+S), which asks where and in which
// format (PDF or CSV, by the file type chosen in the save box) and saves it, and 打印… (Ctrl+P),
// which prints it through the system's print box. A failure is said in a box, naming the file
// and the cause; nothing is left half written.
class ReportActions : public QObject {
public:
    // What a window reports, built when an item is chosen; nothing when there is nothing to report
    // (the window has said why). `suggestedName` is the file name the save box proposes, without
    // its extension.
    struct Source {
        std::function<std::optional<repair::report::Report>()> build;
        std::function<QString()> suggestedName;
    };

    // Items of `window`, which owns them.
    ReportActions(QWidget *window, Source source);

    QAction *save;  // also for the context menus of the window's tables
    QAction *print;

private:
    void saveReport();
    void printReport();

    QWidget *m_window;
    Source m_source;
};
