#include "customerdialog.h"

#include "customers.h"
#include "masterrecords.h"

#include "store/formatting.h"
#include "ui/helpers.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace records {

namespace {

// Where each box sits: (row, column pair) in two columns under the number.
struct Place
{
    int row;
    int column;
};
// Boxes 0 to 11 in their index order.
const Place kBoxPlaces[] = {
        {0, 1}, // 客户名称
        {1, 0}, // 享受折扣
        {2, 1}, // 所在地区
        {3, 0}, // 通讯地址
        {3, 1}, // 邮政编码
        {4, 0}, // 联系电话
        {4, 1}, // 客户手机
        {5, 0}, // 传真号码
        {5, 1}, // 联系邮箱
        {6, 0}, // 企业网址
        {1, 1}, // 联 系 人
        {6, 1}, // 备注信息
};
const Place kProvincePlace = {2, 0};

} // namespace

CustomerDialog::CustomerDialog(QWidget *parent)
    : MasterDialog(kCustomerDialogCaption, kCustomerListTab, Boxes::Long, parent)
{
    auto *layout = new QGridLayout(this);
    layout->setColumnStretch(1, 1);
    layout->setColumnStretch(3, 1);
    addIdBox(layout, QStringLiteral("客户编号："), 0, 0);

    const QStringList labels = {QStringLiteral("客户名称："), QStringLiteral("享受折扣："),
                                QStringLiteral("所在地区："), QStringLiteral("通讯地址："),
                                QStringLiteral("邮政编码："), QStringLiteral("联系电话："),
                                QStringLiteral("客户手机："), QStringLiteral("传真号码："),
                                QStringLiteral("联系邮箱："), QStringLiteral("企业网址："),
                                QStringLiteral("联 系 人："), QStringLiteral("备注信息：")};
    for (int i = 0; i < labels.size(); ++i)
        addBox(layout, labels.at(i), kBoxPlaces[i].row, kBoxPlaces[i].column * 2);
    TXT[kDiscountBox]->setText(QStringLiteral("100%"));
    widenBoxesForNames();

    // A province may also be typed when the list lacks it.
    m_province = new QComboBox(this);
    m_province->setEditable(true);
    layout->addWidget(new QLabel(QStringLiteral("所在省份："), this), kProvincePlace.row,
                      kProvincePlace.column * 2);
    layout->addWidget(m_province, kProvincePlace.row, kProvincePlace.column * 2 + 1);
    ui::FillComboDistinct(m_province, QStringLiteral("Prov"), QStringLiteral("Name"));

    layout->addLayout(newButtonRow(QStringLiteral("确       定"), QStringLiteral("取       消")), 7,
                      0, 1, 4);
}

void CustomerDialog::LoadCusInfo(int id)
{
    if (id < 1) {
        m_idBox->setText(proposedMasterNumber(QStringLiteral("Cus")));
        m_proposed = true;
        return;
    }
    CustomerInfo info;
    if (!loadCustomer(id, info))
        return;
    setBoxTexts(info.boxes);
    m_province->setEditText(info.province);
    m_idBox->setText(masterNumberText(info.id));
    m_proposed = false;
}

bool CustomerDialog::SaveCusInfo()
{
    // A proposed number is only shown: another customer may have taken it
    // since, and saving into it would overwrite that customer.
    const int id = m_proposed ? 0 : int(store::leadingNumber(m_idBox->text()));
    CustomerInfo info;
    info.boxes = boxTexts();
    info.province = m_province->currentText();
    const int stored = saveCustomer(id, info);
    if (stored == 0)
        return false;
    m_idBox->setText(masterNumberText(stored));
    m_proposed = false;
    return true;
}

CustomerDialog *showCustomerDialog(int id, bool load, QWidget *parent)
{
    return showMasterDialog<CustomerDialog>(parent, [&](CustomerDialog &d) {
        if (load)
            d.LoadCusInfo(id);
    });
}

} // namespace records
