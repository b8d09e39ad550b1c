#include "FormDriver.h"

#include "app/MessageBox.h"
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
    MessageBox::showDataLayerMessages();
    MessageBox::setRecording(true);
    MessageBox::takeShown();
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

static QWidget *editOf(QWidget *widget)
{
    if (auto *combo = qobject_cast<QComboBox *>(widget))
        return combo->lineEdit();
    return widget;
}

void clearByKeyboard(QWidget *edit)
{
    QWidget *target = editOf(edit);
    QTest::keyClick(target, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(target, Qt::Key_Delete);
}

void typeOver(QWidget *edit, const QString &text)
{
    QWidget *target = editOf(edit);
    QTest::keyClick(target, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(target, text);
}

} // namespace FormDriver
