#include "accountdialog.h"

#include "accounts.h"
#include "masterrecords.h"

#include "store/formatting.h"
#include "ui/helpers.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLineEdit>

namespace records {

AccountDialog::AccountDialog(QWidget *parent)
    : MasterDialog(kAccountDialogCaption, -1, Boxes::Long, parent)
{
    auto *layout = new QGridLayout(this);
    layout->setColumnStretch(1, 1);
    addIdBox(layout, QStringLiteral("账号编码："), 0, 0);

    const QStringList labels = {QStringLiteral("账号名称："), QStringLiteral("开户银行："),
                                QStringLiteral("银行账号："), QStringLiteral("备注信息：")};
    for (int i = 0; i < labels.size(); ++i)
        addBox(layout, labels.at(i), i + 1, 0);

    layout->addLayout(newButtonRow(QStringLiteral("确     定"), QStringLiteral("取     消")),
                      labels.size() + 1, 0, 1, 2);
    resize(ui::pixels(5400), sizeHint().height());
}

void AccountDialog::LoadAccInfo(int id)
{
    AccountInfo info;
    if (!loadAccount(id, info))
        return;
    setBoxTexts(info.boxes);
    m_idBox->setText(QString::number(info.id));
}

bool AccountDialog::SaveAccInfo(int id)
{
    AccountInfo info;
    info.boxes = boxTexts();
    const int stored = saveAccount(id, info);
    if (stored == 0)
        return false;
    m_idBox->setText(QString::number(stored));
    reloadListIfShowing(kAccountListTab);
    return true;
}

bool AccountDialog::saveShown()
{
    return SaveAccInfo(int(store::leadingNumber(m_idBox->text())));
}

AccountDialog *showAccountDialog(int id, QWidget *parent)
{
    return showMasterDialog<AccountDialog>(parent, [id](AccountDialog &d) { d.LoadAccInfo(id); });
}

} // namespace records
