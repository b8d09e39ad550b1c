#include "SqlServerDialog.h"

#include "db/ConnectionString.h"
#include "db/DbError.h"
#include "db/ODBC.h"
#include "db/SystemDatabase.h"

#include <QDialogButtonBox>
#include <QEventLoop>
#include <QFormLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QThread>
#include <QVBoxLayout>

const QString SqlServerDialog::Title = QStringLiteral("连接 SQL Server");

SqlServerDialog::SqlServerDialog(const db::ServerAccess &preset, QWidget *parent)
    : QDialog(parent), serverField(new QLineEdit(preset.server, this)),
      windowsAuthentication(new QRadioButton(QStringLiteral("Windows 身份验证(&W)"), this)),
      sqlAuthentication(new QRadioButton(QStringLiteral("SQL Server 身份验证(&Q)"), this)),
      loginField(new QLineEdit(preset.login, this)), passwordField(new QLineEdit(preset.password, this)),
      testButton(new QPushButton(QStringLiteral("测试连接(&T)"), this)), result(new QLabel(this)),
      buttons(new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this))
{
    setWindowTitle(Title);
    serverField->setPlaceholderText(QStringLiteral("(local)：本机的默认实例"));
    serverField->setToolTip(QStringLiteral("主机名、主机名\\实例名 或 主机名,端口，例如 db01、db01\\N3、10.0.0.5,1433"));
    passwordField->setEchoMode(QLineEdit::Password);
    (preset.login.isEmpty() ? windowsAuthentication : sqlAuthentication)->setChecked(true);
    result->setWordWrap(true);
    result->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    result->setMinimumWidth(460);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("连接"));
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);  // Enter connects; the test is asked for by its own button
    testButton->setAutoDefault(false);
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("取消"));

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("服务器(&S)："), serverField);
    form->addRow(QStringLiteral("身份验证："), windowsAuthentication);
    form->addRow(QString(), sqlAuthentication);
    form->addRow(QStringLiteral("登录名(&L)："), loginField);
    form->addRow(QStringLiteral("密码(&P)："), passwordField);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(testButton, 0, Qt::AlignLeft);
    layout->addWidget(result);
    layout->addWidget(buttons);

    connect(sqlAuthentication, &QRadioButton::toggled, this, &SqlServerDialog::authenticationChanged);
    connect(testButton, &QPushButton::clicked, this, [this] { result->setText(testConnection()); });
    connect(buttons, &QDialogButtonBox::accepted, this, &SqlServerDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &SqlServerDialog::reject);
    authenticationChanged();
}

void SqlServerDialog::authenticationChanged()
{
    loginField->setEnabled(sqlAuthentication->isChecked());
    passwordField->setEnabled(sqlAuthentication->isChecked());
}

db::ServerAccess SqlServerDialog::access() const
{
    db::ServerAccess access;
    if (const QString server = serverField->text().trimmed(); !db::isLocalServer(server))
        access.server = server;
    if (sqlAuthentication->isChecked()) {
        access.login = loginField->text();
        access.password = passwordField->text();
    }
    return access;
}

QString SqlServerDialog::inputProblem() const
{
    const db::ServerAccess typed = access();
    if (!typed.server.isEmpty())
        if (QString fault = db::serverNameFault(typed.server); !fault.isEmpty())
            return fault;
    if (!sqlAuthentication->isChecked())
        return QString();
    if (QString fault = db::loginNameFault(typed.login); !fault.isEmpty())
        return fault;
    return db::passwordFault(typed.password);
}

QString SqlServerDialog::testConnection()
{
    if (QString problem = inputProblem(); !problem.isEmpty())
        return problem;
    const db::EngineSettings engine(db::EngineKind::Odbc, QString(), access());
    const QString tried = db::serverAndDatabase(engine.access.server, ODBC::SystemDatabase);
    QString answer;
    // The driver may wait long for a server that does not answer: the box keeps being drawn and
    // can't be used for anything else meanwhile.
    QThread *trying = QThread::create([&] {
        try {
            const int sets = int(db::accountSets(ODBC::openConnection(engine, ODBC::SystemDatabase, true)).size());
            answer = QStringLiteral("连接成功：%1，列有 %2 个帐套。").arg(tried).arg(sets);
        } catch (const db::DbError &error) {
            // a failure to connect names the server and database itself; a failure to read does not
            const QString &said = error.description();
            answer = QStringLiteral("连接失败：") + (said.startsWith(tried) ? said : tried + QStringLiteral("：") + said);
        }
    });
    QEventLoop waiting;
    connect(trying, &QThread::finished, &waiting, &QEventLoop::quit);
    setEnabled(false);
    result->setText(QStringLiteral("正在连接 %1…").arg(tried));
    trying->start();
    waiting.exec(QEventLoop::ExcludeUserInputEvents);
    trying->wait();
    delete trying;
    setEnabled(true);
    return answer;
}

void SqlServerDialog::accept()
{
    if (const QString problem = inputProblem(); !problem.isEmpty()) {
        result->setText(problem);
        return;
    }
    QDialog::accept();
}

std::optional<db::ServerAccess> SqlServerDialog::ask(const db::ServerAccess &preset)
{
    SqlServerDialog dialog(preset);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.access();
}

std::optional<QString> SqlServerDialog::askPassword(const db::ServerAccess &access)
{
    QInputDialog box;
    box.setWindowTitle(Title);
    box.setLabelText(db::passwordQuestion(access));
    box.setTextEchoMode(QLineEdit::Password);
    box.setOkButtonText(QStringLiteral("确定"));
    box.setCancelButtonText(QStringLiteral("取消"));
    if (box.exec() != QDialog::Accepted)
        return std::nullopt;
    return box.textValue();
}
