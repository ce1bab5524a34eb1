#include "vendordialog.h"

#include "masterrecords.h"
#include "vendors.h"

#include "store/formatting.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLineEdit>

namespace records {

VendorDialog::VendorDialog(QWidget *parent)
    : MasterDialog(kVendorDialogCaption, kVendorListTab, Boxes::Long, parent)
{
    auto *layout = new QGridLayout(this);
    layout->setColumnStretch(1, 1);
    layout->setColumnStretch(3, 1);
    // The number box has always been labelled this way in the vendor dialog.
    addIdBox(layout, QStringLiteral("客户编号："), 0, 0);

    const QStringList labels = {QStringLiteral("供 应 商："), QStringLiteral("联 系 人："),
                                QStringLiteral("电  话："),   QStringLiteral("手  机："),
                                QStringLiteral("传  真："),   QStringLiteral("电子邮箱："),
                                QStringLiteral("通讯地址："), QStringLiteral("邮  编："),
                                QStringLiteral("企业网址："), QStringLiteral("备注信息：")};
    // Box 0 beside the number, then two to a row.
    for (int i = 0; i < labels.size(); ++i) {
        const int slot = i + 1;
        addBox(layout, labels.at(i), slot / 2, (slot % 2) * 2);
    }
    widenBoxesForNames();

    layout->addLayout(newButtonRow(QStringLiteral("确     定"), QStringLiteral("取     消")), 6, 0,
                      1, 4);
}

void VendorDialog::LoadVenInfo(int id)
{
    if (id < 1)
        return;
    VendorInfo info;
    if (!loadVendor(id, info))
        return;
    setBoxTexts(info.boxes);
    m_idBox->setText(masterNumberText(info.id));
}

bool VendorDialog::SaveVenInfo()
{
    VendorInfo info;
    info.boxes = boxTexts();
    const int stored = saveVendor(int(store::leadingNumber(m_idBox->text())), info);
    if (stored == 0)
        return false;
    m_idBox->setText(masterNumberText(stored));
    return true;
}

VendorDialog *showVendorDialog(int id, QWidget *parent)
{
    return showMasterDialog<VendorDialog>(parent, [id](VendorDialog &d) { d.LoadVenInfo(id); });
}

} // namespace records
