#include "passworddialog.h"

#include "staff.h"

#include "store/prompts.h"
#include "store/session.h"
#include "ui/dialogkeys.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

namespace records {

namespace {

// Quotes are not allowed in passwords: drop them as they are typed or
// pasted, keeping the cursor where the user left it.
void dropQuotes(QLineEdit *edit)
{
    const QString text = edit->text();
    if (!containsQuote(text))
        return;
    int cursor = edit->cursorPosition();
    QString kept;
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            if (i < edit->cursorPosition())
                --cursor;
            continue;
        }
        kept += c;
    }
    edit->setText(kept);
    edit->setCursorPosition(cursor);
}

} // namespace

PasswordDialog::PasswordDialog(QWidget *parent)
    : QWidget(parent, Qt::Dialog)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("修改登录密码"));

    for (int i = 0; i < 3; ++i) {
        auto *edit = new QLineEdit(this);
        edit->setEchoMode(QLineEdit::Password);
        connect(edit, &QLineEdit::textEdited, this, [edit] { dropQuotes(edit); });
        TXT.append(edit);
    }
    auto *layout = new QGridLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("当前密码："), this), 0, 0);
    layout->addWidget(TXT[2], 0, 1);
    layout->addWidget(new QLabel(QStringLiteral("新密码："), this), 1, 0);
    layout->addWidget(TXT[0], 1, 1);
    layout->addWidget(new QLabel(QStringLiteral("新密码："), this), 2, 0);
    layout->addWidget(TXT[1], 2, 1);

    Com.append(new QPushButton(QStringLiteral("修  改"), this));
    Com.append(new QPushButton(QStringLiteral("取  消"), this));
    layout->addWidget(Com[0], 3, 0);
    layout->addWidget(Com[1], 3, 1);
    connect(Com[0], &QPushButton::clicked, this, &PasswordDialog::change);
    connect(Com[1], &QPushButton::clicked, this, &QWidget::close);
    ui::prepareDialog(this, Com[0], Com[1]);
}

void PasswordDialog::change()
{
    switch (changePassword(store::CurrentUserID, TXT[2]->text(), TXT[0]->text(), TXT[1]->text())) {
    case PasswordChange::Mismatch:
        store::prompts().message(QStringLiteral("两次输入的新密码不一致，请重新输入！"));
        return;
    case PasswordChange::Empty:
        store::prompts().message(QStringLiteral("密码不能设置为空！"));
        return;
    case PasswordChange::WrongCurrent:
        // Closing here would look like success; say what went wrong instead.
        store::prompts().message(QStringLiteral("当前密码错误！"));
        TXT[2]->setFocus();
        TXT[2]->selectAll();
        return;
    case PasswordChange::Failed:
        store::prompts().message(QStringLiteral("密码修改失败！"));
        return;
    case PasswordChange::Changed:
        break;
    }
    close();
}

PasswordDialog *ShowPasswordDialog(QWidget *parent)
{
    static QPointer<PasswordDialog> open;
    if (!open)
        open = new PasswordDialog(parent);
    open->show();
    open->raise();
    open->activateWindow();
    return open;
}

} // namespace records
