#include "GuideWindow.h"

#include "Artwork.h"
#include "GuideText.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

const QString GuideWindow::Title = QStringLiteral("使用说明");
const QString GuideWindow::MenuPath = QStringLiteral("帮助 → 使用说明");

// Opens on the guide's beginning with the keyboard in the text, so the page keys read on.
GuideWindow::GuideWindow(QWidget *parent) : QWidget(parent)
{
    setupUi();
    wireEvents();
    GuideText::fill(text->document());
    text->setFocus();
}

GuideWindow *GuideWindow::showGuide()
{
    static QPointer<GuideWindow> open;
    if (!open)
        open = new GuideWindow;
    open->show();
    open->raise();
    open->activateWindow();
    return open;
}

// The search row above the guide's text. The window takes most of a small screen and a comfortable
// reading width of a large one.
void GuideWindow::setupUi()
{
    setWindowTitle(Title);
    setWindowIcon(Artwork::applicationIcon());
    setAttribute(Qt::WA_DeleteOnClose);
    QSize size(900, 760);
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        size = size.boundedTo(screen->availableGeometry().size() * 9 / 10);
    resize(size);

    searchField = new QLineEdit(this);
    searchField->setPlaceholderText(QStringLiteral("查找（Ctrl+F）"));
    searchField->setAccessibleName(QStringLiteral("查找"));
    searchField->setClearButtonEnabled(true);
    searchField->setMinimumWidth(240);
    previousButton = new QPushButton(QStringLiteral("上一个"), this);
    previousButton->setToolTip(QStringLiteral("查找上一处（Shift+F3）"));
    nextButton = new QPushButton(QStringLiteral("下一个"), this);
    nextButton->setToolTip(QStringLiteral("查找下一处（Enter 或 F3）"));
    note = new QLabel(this);
    note->setTextInteractionFlags(Qt::TextSelectableByMouse);
    text = new QTextBrowser(this);
    text->setAccessibleName(Title);
    // Links are followed here: those to a heading of the guide jump to it, no other opens.
    text->setOpenLinks(false);
    text->setOpenExternalLinks(false);

    auto *search = new QHBoxLayout;
    search->addWidget(searchField);
    search->addWidget(previousButton);
    search->addWidget(nextButton);
    search->addWidget(note, 1);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(search);
    layout->addWidget(text, 1);
}

void GuideWindow::wireEvents()
{
    connect(searchField, &QLineEdit::returnPressed, this, &GuideWindow::findNext);
    // Typing finds as the words grow: from where the place found so far begins.
    connect(searchField, &QLineEdit::textEdited, this, [this] { find(false, true); });
    connect(nextButton, &QPushButton::clicked, this, &GuideWindow::findNext);
    connect(previousButton, &QPushButton::clicked, this, &GuideWindow::findPrevious);
    connect(text, &QTextBrowser::anchorClicked, this, &GuideWindow::followLink);
    connect(new QShortcut(QKeySequence::Find, this), &QShortcut::activated, this, [this] {
        searchField->setFocus(Qt::ShortcutFocusReason);
        searchField->selectAll();
    });
    connect(new QShortcut(Qt::Key_F3, this), &QShortcut::activated, this, &GuideWindow::findNext);
    connect(new QShortcut(QKeyCombination(Qt::ShiftModifier, Qt::Key_F3), this), &QShortcut::activated, this,
            &GuideWindow::findPrevious);
    connect(new QShortcut(Qt::Key_Escape, this), &QShortcut::activated, this, &GuideWindow::escape);
}

bool GuideWindow::findNext()
{
    return find(false);
}

bool GuideWindow::findPrevious()
{
    return find(true);
}

// Finds from the cursor (the place found last) on, or back, and round the end of the guide;
// selects the place found, scrolled into view, and says which of how many places it is.
bool GuideWindow::find(bool backward, bool fromSelectionStart)
{
    const QString words = searchField->text();
    if (words.isEmpty()) {
        note->clear();
        return false;
    }
    const QTextDocument *document = text->document();
    const QTextDocument::FindFlags direction = backward ? QTextDocument::FindBackward : QTextDocument::FindFlags();
    QTextCursor from = text->textCursor();
    if (fromSelectionStart)
        from.setPosition(from.selectionStart());
    QTextCursor found = document->find(words, from, direction);
    bool roundTheEnd = false;
    if (found.isNull()) {
        from = QTextCursor(text->document());
        if (backward)
            from.movePosition(QTextCursor::End);
        found = document->find(words, from, direction);
        roundTheEnd = true;
    }
    if (found.isNull()) {
        note->setText(QStringLiteral("找不到“%1”。").arg(words));
        return false;
    }
    text->setTextCursor(found);

    int count = 0, place = 0;
    for (QTextCursor each = document->find(words, 0); !each.isNull(); each = document->find(words, each)) {
        ++count;
        if (each.selectionStart() <= found.selectionStart())
            place = count;
    }
    QString said = QStringLiteral("第 %1 处，共 %2 处").arg(place).arg(count);
    if (roundTheEnd && count > 1)
        said += backward ? QStringLiteral("（已从末尾找起）") : QStringLiteral("（已从开头找起）");
    note->setText(said);
    return true;
}

bool GuideWindow::showHeading(const QString &anchor)
{
    const QTextBlock heading = GuideText::heading(text->document(), anchor);
    if (!heading.isValid())
        return false;
    text->setTextCursor(QTextCursor(heading));
    text->scrollToAnchor(anchor);
    return true;
}

// A link within the guide (#a-heading) jumps to its heading; the address of any other is shown,
// for the user to open elsewhere if they wish.
void GuideWindow::followLink(const QUrl &link)
{
    if (link.scheme().isEmpty() && link.path().isEmpty() && link.hasFragment()) {
        if (showHeading(link.fragment()))
            note->clear();
        else
            note->setText(QStringLiteral("使用说明中没有“%1”这一节。").arg(link.fragment()));
        return;
    }
    note->setText(QStringLiteral("链接的地址：%1（这里不打开网页）").arg(link.toDisplayString()));
}

// Esc in the search field clears the words typed there first; otherwise it closes the window.
void GuideWindow::escape()
{
    if (searchField->hasFocus() && !searchField->text().isEmpty()) {
        searchField->clear();
        note->clear();
        return;
    }
    close();
}
