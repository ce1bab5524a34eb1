#include "logindialog.h"

#include "staff.h"

#include "store/params.h"
#include "store/prompts.h"
#include "store/session.h"
#include "ui/dialogkeys.h"
#include "ui/helpers.h"
#include "ui/shellhost.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

namespace records {

namespace {

const QString kCaption = QStringLiteral("请输入用户名及密码");
const QString kLastUserKey = QStringLiteral("最近用户名");

} // namespace

LoginDialog::LoginDialog(QWidget *parent)
    : QWidget(parent, Qt::Dialog)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(kCaption);
    ui::SetTopMost(this);

    auto *layout = new QGridLayout(this);
    const QStringList labels = {QStringLiteral("用户名："), QStringLiteral("登录密码："),
                                QStringLiteral("当前套账：")};
    for (int i = 0; i < labels.size(); ++i) {
        auto *edit = new QLineEdit(this);
        edit->setMinimumWidth(200);
        TXT.append(edit);
        layout->addWidget(new QLabel(labels.at(i), this), i, 0);
        layout->addWidget(edit, i, 1);
    }
    TXT[0]->setToolTip(QStringLiteral("默认：zunta"));
    TXT[1]->setToolTip(QStringLiteral("默认：zunta"));
    TXT[1]->setEchoMode(QLineEdit::Password);
    TXT[2]->setReadOnly(true);

    m_login = new QPushButton(QStringLiteral("登      录"), this);
    m_login->setAutoDefault(false);
    connect(m_login, &QPushButton::clicked, this, &LoginDialog::login);
    layout->addWidget(m_login, 3, 1, Qt::AlignRight);
    layout->addWidget(new QLabel(QStringLiteral("注：新建套账，默认用户名与密码均为：zunta"), this),
                      4, 0, 1, 2);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    // Enter in any box is the same as pressing the button; Esc closes.
    ui::prepareDialog(this, m_login, nullptr);

    loadForCurrentAccountSet();
}

void LoginDialog::loadForCurrentAccountSet()
{
    m_accountFile = store::CurrentAccountFile;
    TXT[0]->setText(store::GetVar(kLastUserKey));
    TXT[1]->clear();
    TXT[2]->setText(currentAccountSetName());
    // With the name filled in, the password is what is left to type.
    (TXT[0]->text().isEmpty() ? TXT[0] : TXT[1])->setFocus();
}

void LoginDialog::login()
{
    StaffLogin user;
    const LoginOutcome outcome = checkLogin(TXT[0]->text(), TXT[1]->text(), user);
    if (outcome != LoginOutcome::LoggedIn) {
        store::prompts().message(loginRefusalMessage(outcome));
        return;
    }

    applyLogin(user);
    ui::ShellHost *host = ui::shellHost();
    if (host) {
        host->ApplyRights();
        // The caption is rebuilt from the account set and the user just set,
        // which replaces any earlier "=>" part.
        host->UpdateMainCaption();
    }
    close();
    if (host)
        host->ReloadCurrentList();
}

void LoginDialog::closeEvent(QCloseEvent *event)
{
    store::SetVar(kLastUserKey, TXT[0]->text());
    QWidget::closeEvent(event);
}

LoginDialog *ShowLoginDialog(QWidget *parent)
{
    static QPointer<LoginDialog> open;
    if (!open)
        open = new LoginDialog(parent);
    else if (open->accountFile() != store::CurrentAccountFile)
        open->loadForCurrentAccountSet(); // another account set was opened meanwhile
    open->show();
    open->raise();
    open->activateWindow();
    return open;
}

} // namespace records
