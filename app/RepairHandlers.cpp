// The two repair buttons: each reads its inputs from the window when pressed and hands them
// to its repair.
#include "ConnectDatabase.h"
#include "Form1.h"
#include "MessageBox.h"

#include "db/DbError.h"
#include "db/ODBC.h"
#include "repair/BalanceReset.h"
#include "repair/EndFlagRepair.h"
#include "repair/RepairText.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QStringList>

namespace {

namespace Text = repair::RepairText;

// Shows the walk in the status line and lets the window handle its pending messages once per
// row, so it keeps answering. The caption changes for every row, but it is painted at most once
// per frame, there and then: painting it 20,000 times would cost more than the walk itself, and
// no screen shows more. A paint merely asked for would come too late on a real display (X11 hands
// it over a few milliseconds on, when the next row has begun), so the label keeps its updates off
// between frames and is repainted directly. A request to close the window stops the walk.
class StatusLineProgress : public repair::EndFlagProgress {
public:
    StatusLineProgress(QLabel *statusLine, const WalkLock &lock) : m_statusLine(statusLine), m_lock(lock)
    {
        m_statusLine->setUpdatesEnabled(false);
        m_sincePainted.start();
    }
    // The status line is painted as usual again, with the last caption the walk gave it.
    ~StatusLineProgress() override
    {
        m_statusLine->setUpdatesEnabled(true);
        m_statusLine->repaint();
    }

    void rowStarted(const QString &code) override { m_statusLine->setText(QStringLiteral("正在修复") + code); }
    bool rowDone() override
    {
        QCoreApplication::processEvents();
        if (m_sincePainted.hasExpired(FrameMs)) {
            m_statusLine->setUpdatesEnabled(true);
            m_statusLine->repaint();
            m_statusLine->setUpdatesEnabled(false);
            m_sincePainted.restart();
        }
        return !m_lock.closeRequested();
    }

private:
    static constexpr qint64 FrameMs = 16;
    QLabel *m_statusLine;
    const WalkLock &m_lock;
    QElapsedTimer m_sincePainted;
};

}  // namespace

// The reset's success and failure are the ones the window always showed (a database that can't be
// opened: the connection box first); a second box follows when what is journaled falls short of
// it: its end could not be recorded, or triggers may have changed rows the journal does not hold.
void Form1::Command1_Click()
{
    const QString accountSet = Combo4->currentText();
    const QString year = Combo5->currentText();
    repair::BalanceResetRun run;
    try {
        run = repair::resetBalances(accountSet, year, txtCode->text(), repair::resetPeriod(Combo1->currentText()));
    } catch (const db::DbError &error) {
        // the database can't be opened: its box, then the reset's failure
        app::showConnectionError(ODBC::accountSetDatabaseName(accountSet, year), error);
        run.result = repair::RunResult::Failed;
    }
    switch (run.result) {
    case repair::RunResult::NotChosen:
        MessageBox::show(Text::notChosen());
        break;
    case repair::RunResult::Completed:
        MessageBox::show(Text::resetSucceeded());
        if (!run.unrecorded.isEmpty())
            MessageBox::show(Text::endUnrecorded(run) + QStringLiteral("\r\n") + Text::listedAsNeverEnded(),
                             MessageBox::Icon::Critical);
        if (!run.triggerNotice.isEmpty())
            MessageBox::show(run.triggerNotice);
        break;
    case repair::RunResult::Stopped:  // a reset runs in one statement: it can't be stopped
    case repair::RunResult::Failed:
        MessageBox::show(Text::resetFailed());
        if (!run.unrecorded.isEmpty())
            MessageBox::show(Text::endUnrecorded(run), MessageBox::Icon::Critical);
        break;
    }
}

void Form1::Command2_Click()
{
    const QString accountSet = Combo4->currentText();
    const QString year = Combo5->currentText();
    repair::EndFlagRun run;
    try {
        WalkLock::Scope walking(*m_walkLock);
        StatusLineProgress progress(Label1, *m_walkLock);
        run = repair::repairEndFlags(accountSet, year, progress);
    } catch (const db::DbError &error) {
        // the database can't be opened: its box, then the walk's failure, which could not begin
        app::showConnectionError(ODBC::accountSetDatabaseName(accountSet, year), error);
        run.result = repair::RunResult::Failed;
        run.failure = db::connectionNotOpen();
    }
    switch (run.result) {
    case repair::RunResult::NotChosen:
        MessageBox::show(Text::notChosen());
        break;
    case repair::RunResult::Completed:
        Label1->setText(Text::walkFinished());
        if (!run.unrecorded.isEmpty())
            MessageBox::show(Text::walkTrouble(Text::endUnrecorded(run)), MessageBox::Icon::Critical);
        if (!run.triggerNotice.isEmpty())
            MessageBox::show(run.triggerNotice);
        if (const QString changes = Text::chartChangedDuringWalk(run.rowsRedecided, run.wrongAtEnd); !changes.isEmpty())
            MessageBox::show(changes, run.wrongAtEnd.isEmpty() ? MessageBox::Icon::None : MessageBox::Icon::Critical);
        if (!run.finalCheckFailure.isEmpty())
            MessageBox::show(Text::finalChartCheckNotMade(run.finalCheckFailure), MessageBox::Icon::Critical);
        break;
    case repair::RunResult::Stopped:
        // The window is closing: it goes without a word, the flags written so far kept, unless the
        // journal could not record where the walk stopped.
        if (!run.unrecorded.isEmpty())
            MessageBox::show(Text::walkTrouble(Text::endUnrecorded(run)), MessageBox::Icon::Critical);
        break;
    case repair::RunResult::Failed: {
        QStringList what{run.failure};
        for (const QString &said : {run.triggerNotice, Text::endUnrecorded(run)})
            if (!said.isEmpty())
                what << said;
        MessageBox::show(Text::walkTrouble(what.join(QStringLiteral("\r\n"))), MessageBox::Icon::Critical);
        break;
    }
    }
    if (m_walkLock->closeRequested())
        close();
}
