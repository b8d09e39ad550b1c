// The two repair buttons: each reads its inputs from the window when pressed and hands them
// to its repair.
#include "Form1.h"
#include "MessageBox.h"

#include "db/DbError.h"
#include "repair/BalanceReset.h"
#include "repair/EndFlagRepair.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>

namespace {

const QString NotChosenMessage = QStringLiteral("未选择帐套或年度！");

// Shows the walk in the status line and lets the window handle its pending messages once per
// row, so it keeps answering. The caption changes for every row, but it is painted at most
// once per frame: painting it 20,000 times would cost more than the walk itself, and no screen
// shows more. A request to close the window stops the walk.
class StatusLineProgress : public repair::EndFlagProgress {
public:
    StatusLineProgress(QLabel *statusLine, const WalkLock &lock) : m_statusLine(statusLine), m_lock(lock)
    {
        m_sincePainted.start();
    }
    ~StatusLineProgress() override { m_statusLine->setUpdatesEnabled(true); }

    void rowStarted(const QString &code) override { m_statusLine->setText(QStringLiteral("正在修复") + code); }
    bool rowWritten() override
    {
        const bool paint = m_sincePainted.hasExpired(FrameMs);
        m_statusLine->setUpdatesEnabled(paint);
        QCoreApplication::processEvents();
        if (paint)
            m_sincePainted.restart();
        return !m_lock.closeRequested();
    }

private:
    static constexpr qint64 FrameMs = 16;
    QLabel *m_statusLine;
    const WalkLock &m_lock;
    QElapsedTimer m_sincePainted;
};

} // namespace

void Form1::Command1_Click()
{
    switch (repair::resetBalances(Combo4->currentText(), Combo5->currentText(), txtCode->text(),
                                  Combo1->currentText())) {
    case repair::BalanceResetOutcome::NotChosen:
        MessageBox::show(NotChosenMessage);
        break;
    case repair::BalanceResetOutcome::Succeeded:
        MessageBox::show(QStringLiteral("修复成功！"));
        break;
    case repair::BalanceResetOutcome::Failed:
        MessageBox::show(QStringLiteral("修复失败！"));
        break;
    }
}

void Form1::Command2_Click()
{
    {
        WalkLock::Scope walking(*m_walkLock);
        StatusLineProgress progress(Label1, *m_walkLock);
        reportingFailures(QStringLiteral("重建末级科目标志"), [&] {
            switch (repair::repairEndFlags(Combo4->currentText(), Combo5->currentText(), progress)) {
            case repair::EndFlagResult::NotChosen:
                MessageBox::show(NotChosenMessage);
                break;
            case repair::EndFlagResult::Completed:
                Label1->setText(QStringLiteral("修复完毕复"));
                break;
            case repair::EndFlagResult::Stopped:
                break;
            }
        });
    }
    if (m_walkLock->closeRequested())
        close();
}
