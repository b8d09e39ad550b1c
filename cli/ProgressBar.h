#pragma once

#include "repair/EndFlagRepair.h"

#include <QElapsedTimer>
#include <QString>

namespace cli {

// The end-flag walk's progress as a bar on standard error, redrawn at most ten times a second,
// and only when standard error is a terminal; it is cleared when the walk is over.
class ProgressBar : public repair::EndFlagProgress {
public:
    explicit ProgressBar(const QString &database);
    ~ProgressBar() override;

    void walkStarting(int rows) override;
    void rowStarted(const QString &code) override;
    bool rowDone() override;

private:
    void draw();

    bool m_shown;
    QString m_database;
    int m_rows = 0;
    int m_done = 0;
    QElapsedTimer m_sinceDrawn;
};

}  // namespace cli
