#include "accountdialog.h"

#include "accounts.h"
#include "masterrecords.h"

#include "store/formatting.h"
#include "ui/helpers.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

namespace records {

AccountDialog::AccountDialog(QWidget *parent)
    : QWidget(parent, Qt::Dialog)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(kAccountDialogCaption);

    auto *layout = new QGridLayout(this);
    layout->setColumnStretch(1, 1);
    m_idBox = newMasterBox(this);
    m_idBox->setReadOnly(true);
    layout->addWidget(new QLabel(QStringLiteral("账号编码："), this), 0, 0);
    layout->addWidget(m_idBox, 0, 1);

    const QStringList labels = {QStringLiteral("账号名称："), QStringLiteral("开户银行："),
                                QStringLiteral("银行账号："), QStringLiteral("备注信息：")};
    for (int i = 0; i < labels.size(); ++i) {
        QLineEdit *edit = newMasterBox(this);
        TXT.append(edit);
        layout->addWidget(new QLabel(labels.at(i), this), i + 1, 0);
        layout->addWidget(edit, i + 1, 1);
    }

    auto *buttons = new QHBoxLayout;
    Com.append(new QPushButton(QStringLiteral("确     定"), this));
    Com.append(new QPushButton(QStringLiteral("取     消"), this));
    buttons->addStretch();
    buttons->addWidget(Com[0]);
    buttons->addWidget(Com[1]);
    layout->addLayout(buttons, labels.size() + 1, 0, 1, 2);
    connect(Com[0], &QPushButton::clicked, this, &AccountDialog::confirm);
    connect(Com[1], &QPushButton::clicked, this, &QWidget::close);
    resize(ui::pixels(5400), sizeHint().height());
}

void AccountDialog::LoadAccInfo(int id)
{
    AccountInfo info;
    if (!loadAccount(id, info))
        return;
    for (int i = 0; i < TXT.size(); ++i)
        TXT[i]->setText(info.boxes.value(i));
    m_idBox->setText(QString::number(info.id));
}

bool AccountDialog::SaveAccInfo(int id)
{
    AccountInfo info;
    for (const QLineEdit *edit : std::as_const(TXT))
        info.boxes << edit->text();
    const int stored = saveAccount(id, info);
    if (stored == 0)
        return false;
    m_idBox->setText(QString::number(stored));
    reloadListIfShowing(kAccountListTab);
    return true;
}

void AccountDialog::confirm()
{
    // Stay open when nothing could be stored, so the typed data is not lost.
    if (!SaveAccInfo(int(store::leadingNumber(m_idBox->text()))))
        return;
    close();
}

AccountDialog *showAccountDialog(int id, QWidget *parent)
{
    static QPointer<AccountDialog> open;
    if (open)
        open->close();
    open = new AccountDialog(parent);
    open->LoadAccInfo(id);
    open->show();
    open->raise();
    open->activateWindow();
    // Typing starts in the first box, not in the read-only number.
    open->box(0)->setFocus();
    return open;
}

} // namespace records
