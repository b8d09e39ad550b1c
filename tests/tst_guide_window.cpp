// The user guide in its window on a real X server (Xvfb, Qt's xcb platform): the text of
// docs/guide.zh_CN.md as the test reads the file itself, its tables as tables, its links to its own
// headings followed by a click, the search driven by keys; the program started with --guide as a
// real process on a fresh account, and a window's box about SQL Server read as the user copies it.
#include "support/ProcessRun.h"
#include "support/X11Windows.h"

#include "app/Artwork.h"
#include "app/GuideWindow.h"
#include "app/MessageBox.h"

#include <QtTest>
#include <QtWidgets>

namespace {

// The guide's Markdown source, as the source tree has it.
QStringList markdownLines()
{
    QFile file(QStringLiteral(N3FIX_SOURCE_DIR "/docs/guide.zh_CN.md"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split('\n');
}

// Text as Markdown shows it: without the marks of code and bold.
QString shown(QString markdown)
{
    return markdown.remove('`').remove(QStringLiteral("**")).trimmed();
}

// The headings of the Markdown source, each as "level|text".
QStringList markdownHeadings()
{
    static const QRegularExpression heading(QStringLiteral("^(#{1,6}) +(.+)$"));
    QStringList headings;
    for (const QString &line : markdownLines())
        if (const QRegularExpressionMatch match = heading.match(line); match.hasMatch())
            headings << QString::number(match.captured(1).size()) + '|' + shown(match.captured(2));
    return headings;
}

// The cells of a Markdown table's row.
QStringList markdownCells(QString row)
{
    row = row.trimmed();
    if (row.startsWith('|'))
        row.remove(0, 1);
    if (row.endsWith('|'))
        row.chop(1);
    QStringList cells;
    for (const QString &cell : row.split('|'))
        cells << shown(cell);
    return cells;
}

// Each table of the Markdown source: its header's cells joined by "|", and how many rows it has
// (the header too), as "header|...#rows".
QStringList markdownTables()
{
    static const QRegularExpression delimiter(QStringLiteral("^\\|? *:?-+:? *(\\| *:?-+:? *)*\\|? *$"));
    const QStringList lines = markdownLines();
    QStringList tables;
    for (int i = 0; i + 1 < lines.size(); ++i) {
        if (!lines[i].trimmed().startsWith('|') || !delimiter.match(lines[i + 1].trimmed()).hasMatch())
            continue;
        int rows = 1;
        while (i + 1 + rows < lines.size() && lines[i + 1 + rows].trimmed().startsWith('|'))
            ++rows;
        tables << markdownCells(lines[i]).join('|') + '#' + QString::number(rows);
        i += rows;
    }
    return tables;
}

// The targets of the Markdown source's links to its own headings (#...).
QStringList markdownAnchorLinks()
{
    static const QRegularExpression link(QStringLiteral("\\]\\(#([^)]+)\\)"));
    QStringList targets;
    for (const QString &line : markdownLines())
        for (const QRegularExpressionMatch &match : link.globalMatch(line))
            targets << match.captured(1);
    return targets;
}

// Where the source wraps a line between two Chinese characters: the last characters of the line
// and the first of the next, as one reads them on.
QStringList wrappedChinese()
{
    static const QRegularExpression end(QStringLiteral("\\p{Han}{3}$")), start(QStringLiteral("^ *(\\p{Han}{3})"));
    const QStringList lines = markdownLines();
    QStringList joined;
    for (int i = 0; i + 1 < lines.size(); ++i) {
        const QRegularExpressionMatch last = end.match(lines[i]), first = start.match(lines[i + 1]);
        if (last.hasMatch() && first.hasMatch())
            joined << last.captured() + first.captured(1);
    }
    return joined;
}

// The headings the window's document holds, each as "level|text".
QStringList documentHeadings(const QTextDocument *document)
{
    QStringList headings;
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next())
        if (block.blockFormat().headingLevel() > 0)
            headings << QString::number(block.blockFormat().headingLevel()) + '|' + block.text();
    return headings;
}

// The tables the window's document holds, as markdownTables() gives them.
QStringList documentTables(const QTextFrame *frame)
{
    QStringList tables;
    for (QTextFrame *child : frame->childFrames()) {
        if (auto *table = qobject_cast<QTextTable *>(child)) {
            QStringList header;
            for (int column = 0; column < table->columns(); ++column) {
                QTextCursor cell = table->cellAt(0, column).firstCursorPosition();
                cell.setPosition(table->cellAt(0, column).lastCursorPosition().position(), QTextCursor::KeepAnchor);
                header << cell.selectedText();
            }
            tables << header.join('|') + '#' + QString::number(table->rows());
        }
        tables << documentTables(child);
    }
    return tables;
}

// Where `text` is found in `whole`, case aside: the positions a search should stop at, in order.
QList<qsizetype> positionsOf(const QString &whole, const QString &text)
{
    QList<qsizetype> positions;
    for (qsizetype at = whole.indexOf(text, 0, Qt::CaseInsensitive); at >= 0;
         at = whole.indexOf(text, at + text.size(), Qt::CaseInsensitive))
        positions << at;
    return positions;
}

}  // namespace

class tst_GuideWindow : public QObject {
    Q_OBJECT
    QPointer<GuideWindow> m_window;

    // The guide window open on the screen, with the keyboard.
    GuideWindow *openGuide()
    {
        m_window = GuideWindow::showGuide();
        if (!QTest::qWaitForWindowExposed(m_window) || !QTest::qWaitForWindowActive(m_window))
            return nullptr;
        return m_window;
    }

    // Clicks, as a person does, the link to `target` that comes first in the guide, scrolled into view.
    static bool clickLink(GuideWindow *window, const QString &target)
    {
        QTextBrowser *text = window->text;
        for (QTextBlock block = text->document()->begin(); block.isValid(); block = block.next())
            for (QTextBlock::iterator it = block.begin(); !it.atEnd(); ++it) {
                const QTextFragment fragment = it.fragment();
                if (QUrl(fragment.charFormat().anchorHref()).fragment() != target)
                    continue;
                const QRectF blockArea = text->document()->documentLayout()->blockBoundingRect(block);
                text->verticalScrollBar()->setValue(int(blockArea.top()) - 100);
                QTextCursor middle(text->document());
                middle.setPosition(fragment.position() + fragment.length() / 2);
                QTest::mouseClick(text->viewport(), Qt::LeftButton, {}, text->cursorRect(middle).center());
                return true;
            }
        return false;
    }

private slots:
    void initTestCase()
    {
        QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
        QVERIFY2(!markdownHeadings().isEmpty(), N3FIX_SOURCE_DIR "/docs/guide.zh_CN.md");
    }
    void cleanup() { delete m_window; }

    // The window shows the guide's own headings, in order, as the file has them, under the title
    // 使用说明 and the program's icon; Chinese wrapped in the file reads on with no space; its
    // pictures are loaded; one window a process.
    void showsTheGuide()
    {
        GuideWindow *window = openGuide();
        QVERIFY(window);
        QCOMPARE(window->windowTitle(), QStringLiteral("使用说明"));
        QVERIFY(X11Windows::titles().contains("使用说明"));
        QCOMPARE(window->windowIcon().pixmap(32).toImage().convertToFormat(QImage::Format_ARGB32),
                 Artwork::iconImage(32).convertToFormat(QImage::Format_ARGB32));
        const QTextDocument *document = window->text->document();
        QCOMPARE(documentHeadings(document), markdownHeadings());
        QCOMPARE(document->firstBlock().text(), QStringLiteral("n3fix 使用说明"));
        const QStringList wrapped = wrappedChinese();
        QVERIFY(wrapped.size() > 10);
        for (const QString &words : wrapped)
            QVERIFY2(document->toPlainText().contains(words), qPrintable(words));

        int pictures = 0;
        for (QTextBlock block = document->begin(); block.isValid(); block = block.next())
            for (QTextBlock::iterator it = block.begin(); !it.atEnd(); ++it)
                if (const QTextImageFormat picture = it.fragment().charFormat().toImageFormat(); picture.isValid()) {
                    ++pictures;
                    QVERIFY2(!document->resource(QTextDocument::ImageResource, QUrl(picture.name())).isNull(),
                             qPrintable(picture.name()));
                    QVERIFY2(picture.width() <= window->text->viewport()->width(), qPrintable(picture.name()));
                }
        QCOMPARE(pictures, markdownLines().filter(QRegularExpression("^!\\[")).size());

        QCOMPARE(GuideWindow::showGuide(), window);
        window->close();
        QTRY_VERIFY(!m_window);
        GuideWindow *again = openGuide();
        QVERIFY(again);
        QCOMPARE(documentHeadings(again->text->document()), markdownHeadings());
    }

    // Each table of the file is a table in the window, with its header and its rows.
    void tablesAreTables()
    {
        GuideWindow *window = openGuide();
        QVERIFY(window);
        const QStringList tables = markdownTables();
        QVERIFY2(!tables.isEmpty(), "the guide has no table");
        QCOMPARE(documentTables(window->text->document()->rootFrame()), tables);
    }

    // A click on a link to one of the guide's headings scrolls that heading to the top of the
    // text, with the cursor on it; every such link of the file leads to a heading.
    void linksJumpToTheirHeadings()
    {
        GuideWindow *window = openGuide();
        QVERIFY(window);
        QTextBrowser *text = window->text;
        const QStringList targets = markdownAnchorLinks();
        QVERIFY2(targets.contains("连接-sql-server"), qPrintable(targets.join(' ')));

        QVERIFY(clickLink(window, "连接-sql-server"));
        QTRY_COMPARE(text->textCursor().block().text(), QStringLiteral("连接 SQL Server"));
        QCOMPARE(text->textCursor().block().blockFormat().headingLevel(), 2);
        const QRect heading = text->cursorRect();
        QVERIFY2(heading.top() >= 0 && heading.top() < 40, qPrintable(QString::number(heading.top())));
        QVERIFY(text->verticalScrollBar()->value() > 0);
        QCOMPARE(window->note->text(), QString());

        for (const QString &target : targets) {
            text->verticalScrollBar()->setValue(0);
            text->setTextCursor(QTextCursor(text->document()));
            QVERIFY2(clickLink(window, target), qPrintable(target));
            QTRY_VERIFY2(text->textCursor().block().blockFormat().headingLevel() > 0, qPrintable(target));
            QCOMPARE(window->note->text(), QString());
        }
    }

    // Ctrl+F leads to the search field; typing finds the first place, Enter and F3 the next ones,
    // Shift+F3 the one before, round the end both ways, each selected and counted; words found
    // nowhere are said to be; Esc clears the field, then closes the window.
    void searchFindsAndMoves()
    {
        GuideWindow *window = openGuide();
        QVERIFY(window);
        QTextBrowser *text = window->text;
        QTest::keyClick(text, Qt::Key_F, Qt::ControlModifier);
        QVERIFY(window->searchField->hasFocus());

        const QString words = QStringLiteral("--dry-run");
        const QList<qsizetype> places = positionsOf(text->document()->toPlainText(), words);
        QVERIFY2(places.size() >= 3, qPrintable(QString::number(places.size())));
        const QString count = QString::number(places.size());
        const auto selected = [text] { return qsizetype(text->textCursor().selectionStart()); };
        QTest::keyClicks(window->searchField, words);
        QCOMPARE(selected(), places[0]);
        QCOMPARE(text->textCursor().selectedText(), words);
        QCOMPARE(window->note->text(), "第 1 处，共 " + count + " 处");
        QTest::keyClick(window->searchField, Qt::Key_Return);
        QCOMPARE(selected(), places[1]);
        QTest::keyClick(window->searchField, Qt::Key_F3);
        QCOMPARE(selected(), places[2]);
        QCOMPARE(window->note->text(), "第 3 处，共 " + count + " 处");
        QTest::keyClick(window->searchField, Qt::Key_F3, Qt::ShiftModifier);
        QCOMPARE(selected(), places[1]);
        QTest::mouseClick(window->previousButton, Qt::LeftButton);
        QCOMPARE(selected(), places[0]);
        QTest::keyClick(window->searchField, Qt::Key_F3, Qt::ShiftModifier);
        QCOMPARE(selected(), places.last());
        QCOMPARE(window->note->text(), "第 " + count + " 处，共 " + count + " 处（已从末尾找起）");
        QTest::mouseClick(window->nextButton, Qt::LeftButton);
        QCOMPARE(selected(), places[0]);
        QCOMPARE(window->note->text(), "第 1 处，共 " + count + " 处（已从开头找起）");

        window->searchField->setFocus();
        window->searchField->clear();
        QTest::keyClicks(window->searchField, "qzqzxy");
        QCOMPARE(window->note->text(), QStringLiteral("找不到“qzqzxy”。"));
        QTest::keyClick(window->searchField, Qt::Key_F3);
        QCOMPARE(window->note->text(), QStringLiteral("找不到“qzqzxy”。"));

        QTest::keyClick(window->searchField, Qt::Key_Escape);
        QCOMPARE(window->searchField->text(), QString());
        QVERIFY(window->isVisible());
        QTest::keyClick(window->searchField, Qt::Key_Escape);
        QTRY_VERIFY(!m_window);
    }

    // n3fix --guide, a real process on a fresh account, opens the guide window with the program's
    // icon and nothing else: no first-start box, no data folder or settings made.
    void programOpensTheGuideAlone()
    {
        QTemporaryDir home;
        RunningProgram program(N3FIX, {"--guide"}, environmentWithHome(home.path()));
        const QString id = X11Windows::waitFor(QStringLiteral("使用说明"));
        const QStringList titles = X11Windows::titles();
        QVERIFY2(!id.isEmpty(), qPrintable(titles.join('|') + program.readAllStandardError()));
        const QList<QImage> icons = X11Windows::icons(id);
        QVERIFY2(!titles.contains("N3新会计制度科目增加工具"), qPrintable(titles.join('|')));
        const auto icon = std::find_if(icons.cbegin(), icons.cend(), [](const QImage &image) { return image.width() == 32; });
        QVERIFY(icon != icons.cend());
        QCOMPARE(icon->convertToFormat(QImage::Format_ARGB32), Artwork::iconImage(32).convertToFormat(QImage::Format_ARGB32));
        QCOMPARE(QDir(home.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
    }

    // A window's box about a connection that fails sends the user to the guide by the windows'
    // menu, not to a manual page: n3fix --odbc, with no ODBC driver registered, as a real process,
    // whose start offers to connect again; its text selected with the mouse, as a user copies it,
    // and read from the X selection.
    void windowBoxesNameTheGuide()
    {
        if (QStandardPaths::findExecutable("xdotool").isEmpty())
            SKIP_UNLESS_CI("xdotool is missing (scripts/install-deps --test)");
        QTemporaryDir home;
        QProcessEnvironment environment = environmentWithHome(home.path());
        environment.insert("ODBCSYSINI", home.path());
        RunningProgram program(N3FIX, {"--odbc"}, environment);
        const QString box = X11Windows::waitFor(MessageBox::ApplicationTitle);
        QString said;
        // From the right half of the text's first line, past the end of its last one; once more
        // if a busy machine let the box miss the first drag, as a person would try again.
        for (int drags = 0; drags < 3 && !box.isEmpty() && !said.contains("SQL Server"); ++drags) {
            const QSize size = X11Windows::size(box);
            runProcess("xdotool", {"mousemove", "--sync", "--window", box, QString::number(size.width() * 3 / 5), "22"});
            runProcess("xdotool", {"mousedown", "1"});
            runProcess("xdotool", {"mousemove", "--sync", "--window", box, QString::number(size.width() - 4),
                                   QString::number(size.height() - 4)});
            runProcess("xdotool", {"mouseup", "1"});
            for (int tries = 0; tries < 30 && !said.contains("SQL Server"); ++tries) {
                QTest::qWait(100);
                said = QGuiApplication::clipboard()->text(QClipboard::Selection);
            }
        }
        QVERIFY2(!box.isEmpty(), qPrintable(X11Windows::titles().join('|')));
        const QSize size = X11Windows::size(box);
        QVERIFY2(said.contains("ODBC 驱动。") && said.contains("（见 帮助 → 使用说明）") && !said.contains("man n3fix"),
                 qPrintable(QStringLiteral("%1 (box %2x%3)").arg(said).arg(size.width()).arg(size.height())));
    }
};

QTEST_MAIN(tst_GuideWindow)
#include "tst_guide_window.moc"
