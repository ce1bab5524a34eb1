#include "vendordialog.h"

#include "masterrecords.h"
#include "vendors.h"

#include "store/formatting.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

namespace records {

VendorDialog::VendorDialog(QWidget *parent)
    : QWidget(parent, Qt::Dialog)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(kVendorDialogCaption);

    auto *layout = new QGridLayout(this);
    layout->setColumnStretch(1, 1);
    layout->setColumnStretch(3, 1);
    m_idBox = newMasterBox(this);
    m_idBox->setReadOnly(true);
    // The number box has always been labelled this way in the vendor dialog.
    layout->addWidget(new QLabel(QStringLiteral("客户编号："), this), 0, 0);
    layout->addWidget(m_idBox, 0, 1);

    const QStringList labels = {QStringLiteral("供 应 商："), QStringLiteral("联 系 人："),
                                QStringLiteral("电  话："),   QStringLiteral("手  机："),
                                QStringLiteral("传  真："),   QStringLiteral("电子邮箱："),
                                QStringLiteral("通讯地址："), QStringLiteral("邮  编："),
                                QStringLiteral("企业网址："), QStringLiteral("备注信息：")};
    // Box 0 beside the number, then two to a row.
    for (int i = 0; i < labels.size(); ++i) {
        QLineEdit *edit = newMasterBox(this);
        TXT.append(edit);
        const int slot = i + 1;
        const int row = slot / 2;
        const int column = (slot % 2) * 2;
        layout->addWidget(new QLabel(labels.at(i), this), row, column);
        layout->addWidget(edit, row, column + 1);
    }

    auto *buttons = new QHBoxLayout;
    Com.append(new QPushButton(QStringLiteral("确     定"), this));
    Com.append(new QPushButton(QStringLiteral("取     消"), this));
    buttons->addStretch();
    buttons->addWidget(Com[0]);
    buttons->addWidget(Com[1]);
    layout->addLayout(buttons, 6, 0, 1, 4);
    connect(Com[0], &QPushButton::clicked, this, &VendorDialog::confirm);
    connect(Com[1], &QPushButton::clicked, this, &QWidget::close);
}

void VendorDialog::LoadVenInfo(int id)
{
    if (id < 1)
        return;
    VendorInfo info;
    if (!loadVendor(id, info))
        return;
    for (int i = 0; i < TXT.size(); ++i)
        TXT[i]->setText(info.boxes.value(i));
    m_idBox->setText(masterNumberText(info.id));
}

bool VendorDialog::SaveVenInfo()
{
    VendorInfo info;
    for (const QLineEdit *edit : std::as_const(TXT))
        info.boxes << edit->text();
    const int stored = saveVendor(int(store::leadingNumber(m_idBox->text())), info);
    if (stored == 0)
        return false;
    m_idBox->setText(masterNumberText(stored));
    return true;
}

void VendorDialog::confirm()
{
    // Stay open when nothing could be stored, so the typed data is not lost.
    if (!SaveVenInfo())
        return;
    reloadListIfShowing(kVendorListTab);
    close();
}

VendorDialog *showVendorDialog(int id, QWidget *parent)
{
    static QPointer<VendorDialog> open;
    if (open)
        open->close();
    open = new VendorDialog(parent);
    open->LoadVenInfo(id);
    open->show();
    open->raise();
    open->activateWindow();
    // Typing starts in the first box, not in the read-only number.
    open->box(0)->setFocus();
    return open;
}

} // namespace records
