// Start-up: placing the window and filling the account-set and period lists.
#include "StartUp.h"

#include "ComboEntries.h"
#include "ConnectDatabase.h"
#include "Form1.h"
#include "MessageBox.h"

#include "db/ODBC.h"
#include "db/Recordset.h"
#include "db/SystemDatabase.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QScreen>

#include <cmath>

QPoint windowPlacement(QSize screen, QSize window)
{
    constexpr float twipsPerPixel = 15.0f;
    const float top = (float(screen.height()) * twipsPerPixel - float(window.height()) * twipsPerPixel) / 4.0f;
    const float left = (float(screen.width()) * twipsPerPixel - float(window.width()) * twipsPerPixel) / 2.0f;
    return QPoint(int(std::lround(left / twipsPerPixel)), int(std::lround(top / twipsPerPixel)));
}

QSize outerWindowSize(QSize client)
{
    return QSize(client.width() + 3 + 3, client.height() + 29 + 3);
}

void Form1::Form_Load()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (screen)
        move(windowPlacement(screen->geometry().size(), outerWindowSize(size())));

    if (!app::ConnectDatabase(ODBC::SystemDatabase)) {
        MessageBox::show(QStringLiteral("连接不到澄岚数据库"));
        return;
    }
    reportingFailures(QStringLiteral("读取帐套列表"), [this] {
        LoadAccountSets();
        for (int period = 1; period <= 12; ++period)
            ComboEntries::append(Combo1, QString::number(period));
        Combo1->setEditText(QStringLiteral("9"));
    });
}

// Fills Combo3 with "number(name)" for every account set and Combo4 with the bare numbers,
// in step by position, in the order the database returns them. The marker in combo3data
// makes a second fill replace the lists instead of appending to them.
void Form1::LoadAccountSets()
{
    if (combo3data->text() == QLatin1String("8")) {
        for (int i = Combo3->count() - 1; i >= 0; --i) {
            ComboEntries::removeAt(Combo3, i);
            ComboEntries::removeAt(Combo4, i);
        }
    }
    db::Recordset accountSets;
    accountSets.open(db::AccountSetsQuery, ODBC::DbConn(), db::CursorType::Keyset, db::LockType::ReadOnly);
    while (!accountSets.bof() && !accountSets.eof()) {
        const db::AccountSet set = db::accountSetAt(accountSets);
        ComboEntries::append(Combo3, set.number + QLatin1Char('(') + set.name + QLatin1Char(')'));
        ComboEntries::append(Combo4, set.number);
        accountSets.moveNext();
    }
    accountSets.close();
    Combo3->setVisible(true);
    Combo5->setVisible(true);
    combo3data->setText(QStringLiteral("8"));
}
