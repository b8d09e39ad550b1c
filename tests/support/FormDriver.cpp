#include "FormDriver.h"

#include "app/Form1.h"
#include "app/MessageBox.h"
#include "app/WindowAdvice.h"
#include "db/ODBC.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QStyleHints>
#include <QTest>

namespace FormDriver {

void useDataDirectory(const QString &dir)
{
    ODBC::setEngine({db::EngineKind::Embedded, dir});
    db::setAdviceWays(windowAdviceWays());
    MessageBox::setRecording(true);
    MessageBox::takeShown();
}

std::unique_ptr<Form1> openWindow()
{
    auto form = std::make_unique<Form1>();
    form->show();
    return QTest::qWaitForWindowExposed(form.get()) ? std::move(form) : nullptr;
}

void pickFromList(QComboBox *combo, int row)
{
    // The list ignores a button release that comes within a double-click interval of its
    // opening (it would be the release of the click that opened it).
    QGuiApplication::styleHints()->setMouseDoubleClickInterval(1);
    combo->showPopup();
    QAbstractItemView *view = combo->view();
    QTRY_VERIFY(view->isVisible());
    QTest::qWait(5);
    const QRect rect = view->visualRect(view->model()->index(row, 0));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, rect.center());
    QTRY_VERIFY(!view->isVisible());
}

void typeOver(QWidget *edit, const QString &text)
{
    auto *combo = qobject_cast<QComboBox *>(edit);
    QWidget *target = combo ? combo->lineEdit() : edit;
    QTest::keyClick(target, Qt::Key_A, Qt::ControlModifier);
    if (text.isEmpty())
        QTest::keyClick(target, Qt::Key_Delete);
    else
        QTest::keyClicks(target, text);
}

QStringList entries(const QComboBox *combo)
{
    QStringList list;
    for (int i = 0; i < combo->count(); ++i)
        list << combo->itemText(i);
    return list;
}

QString seen(const QComboBox *combo)
{
    return entries(combo).join(',') + '|' + combo->currentText();
}

QString iconText(MessageBox::Icon icon)
{
    return icon == MessageBox::Icon::Critical ? QStringLiteral("16") : QStringLiteral("0");
}

QStringList boxesShown()
{
    QStringList boxes;
    for (const MessageBox::Shown &box : MessageBox::takeShown())
        boxes << FormDriver::iconText(box.icon) + '|' + box.title + '|' + box.prompt;
    return boxes;
}

}  // namespace FormDriver
