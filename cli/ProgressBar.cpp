#include "ProgressBar.h"

#include "Console.h"

#include <cstdio>

namespace cli {

ProgressBar::ProgressBar(const QString &database) : m_shown(console::redrawsLines(stderr)), m_database(database) {}

ProgressBar::~ProgressBar()
{
    if (m_shown && m_sinceDrawn.isValid())
        console::write(stderr, "\r\033[K");
}

void ProgressBar::walkStarting(int rows)
{
    m_rows = rows;
    m_sinceDrawn.start();
    draw();
}

void ProgressBar::rowStarted(const QString &) {}

bool ProgressBar::rowDone()
{
    ++m_done;
    if (m_shown && m_sinceDrawn.hasExpired(100)) {
        draw();
        m_sinceDrawn.restart();
    }
    return true;
}

void ProgressBar::draw()
{
    if (!m_shown)
        return;
    constexpr int width = 30;
    const int filled = m_rows > 0 ? m_done * width / m_rows : width;
    const QString bar = QString(filled, QLatin1Char('#')) + QString(width - filled, QLatin1Char('.'));
    console::write(stderr, QStringLiteral("\r%1 [%2] %3/%4").arg(m_database, bar).arg(m_done).arg(m_rows).toUtf8());
    std::fflush(stderr);
}

}  // namespace cli
