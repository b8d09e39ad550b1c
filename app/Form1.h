#pragma once

#include "WalkLock.h"

#include <QWidget>

#include <functional>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The tool's one window. It holds every input of the two repairs and wires each control's
// event to its handler; the handlers read the controls and call into the data layer and the
// repairs. Creating the window runs its load handler, so it is ready to show.
class Form1 : public QWidget {
    Q_OBJECT
public:
    explicit Form1(QWidget *parent = nullptr);
    // Releases the shared connection, which serves this window's handlers only.
    ~Form1() override;

    // Controls, top of the window to the bottom.
    QLabel *Label4;
    QComboBox *Combo4;  // hidden: the account-set numbers, in step with Combo3
    QComboBox *Combo3;
    QLabel *Label1;         // status line of the end-flag repair
    QLineEdit *combo3data;  // hidden: "8" once the account-set lists are filled
    QLabel *Label3;
    QComboBox *Combo5;
    QLabel *Label5;
    QLineEdit *txtCode;
    QLabel *Label2;
    QComboBox *Combo1;
    QPushButton *Command1;
    QPushButton *Command2;

    // The number of the account set last matched in the account-set list (Combo3_Change).
    QString accountSetNumber;

    // Event handlers.
    void Form_Load();
    void Combo3_Change();
    void Combo3_Click();
    void Command1_Click();
    void Command2_Click();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void setupUi();
    void wireEvents();
    void LoadAccountSets();
    // Runs a handler; a database failure it does not handle itself is shown to the user.
    void reportingFailures(const QString &action, const std::function<void()> &handler);

    WalkLock *m_walkLock = nullptr;
};
