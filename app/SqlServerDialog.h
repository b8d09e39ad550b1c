#pragma once

#include "db/Engine.h"

#include <QDialog>

#include <optional>

class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

// Where SQL Server is and how to log on to it, asked in one box: the server (empty for the local
// default instance), Windows or SQL Server authentication with a login and its password, and a
// button that tries the connection and shows what the driver answered, the server and the
// database tried included. Trying runs in a thread of its own, so the box is still drawn while the
// driver waits; it takes no input until the driver answers.
class SqlServerDialog : public QDialog {
    Q_OBJECT
public:
    explicit SqlServerDialog(const db::ServerAccess &preset, QWidget *parent = nullptr);

    // Asks; the access chosen (with its password), or none when the user cancels.
    static std::optional<db::ServerAccess> ask(const db::ServerAccess &preset);
    // The password of `access`'s login, asked in a box of its own; none when the user cancels.
    static std::optional<QString> askPassword(const db::ServerAccess &access);

    // The access as the box holds it now.
    db::ServerAccess access() const;
    // What is wrong with the server or login typed, or nothing.
    QString inputProblem() const;

    static const QString Title;

    // Controls, top to bottom.
    QLineEdit *serverField;
    QRadioButton *windowsAuthentication;
    QRadioButton *sqlAuthentication;
    QLineEdit *loginField;
    QLineEdit *passwordField;
    QPushButton *testButton;
    QLabel *result;  // what the last test found
    QDialogButtonBox *buttons;

    // Tries the connection to the system database with what the box holds; the text it shows.
    QString testConnection();

private:
    void authenticationChanged();
    void accept() override;
};
