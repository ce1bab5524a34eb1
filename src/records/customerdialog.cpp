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
#include <QPointer>
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
    : QWidget(parent, Qt::Dialog)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(kCustomerDialogCaption);

    auto *layout = new QGridLayout(this);
    layout->setColumnStretch(1, 1);
    layout->setColumnStretch(3, 1);
    const auto place = [&](const Place &at, const QString &caption, QWidget *field) {
        layout->addWidget(new QLabel(caption, this), at.row, at.column * 2);
        layout->addWidget(field, at.row, at.column * 2 + 1);
    };

    m_idBox = newMasterBox(this);
    m_idBox->setReadOnly(true);
    place({0, 0}, QStringLiteral("客户编号："), m_idBox);

    const QStringList labels = {QStringLiteral("客户名称："), QStringLiteral("享受折扣："),
                                QStringLiteral("所在地区："), QStringLiteral("通讯地址："),
                                QStringLiteral("邮政编码："), QStringLiteral("联系电话："),
                                QStringLiteral("客户手机："), QStringLiteral("传真号码："),
                                QStringLiteral("联系邮箱："), QStringLiteral("企业网址："),
                                QStringLiteral("联 系 人："), QStringLiteral("备注信息：")};
    for (int i = 0; i < labels.size(); ++i) {
        QLineEdit *edit = newMasterBox(this);
        TXT.append(edit);
        place(kBoxPlaces[i], labels.at(i), edit);
    }
    TXT[kDiscountBox]->setText(QStringLiteral("100%"));

    // A province may also be typed when the list lacks it.
    m_province = new QComboBox(this);
    m_province->setEditable(true);
    place(kProvincePlace, QStringLiteral("所在省份："), m_province);
    ui::FillComboDistinct(m_province, QStringLiteral("Prov"), QStringLiteral("Name"));

    auto *buttons = new QHBoxLayout;
    Com.append(new QPushButton(QStringLiteral("确       定"), this));
    Com.append(new QPushButton(QStringLiteral("取       消"), this));
    buttons->addStretch();
    buttons->addWidget(Com[0]);
    buttons->addWidget(Com[1]);
    layout->addLayout(buttons, 7, 0, 1, 4);
    connect(Com[0], &QPushButton::clicked, this, &CustomerDialog::confirm);
    connect(Com[1], &QPushButton::clicked, this, &QWidget::close);
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
    for (int i = 0; i < TXT.size(); ++i)
        TXT[i]->setText(info.boxes.value(i));
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
    for (const QLineEdit *edit : std::as_const(TXT))
        info.boxes << edit->text();
    info.province = m_province->currentText();
    const int stored = saveCustomer(id, info);
    if (stored == 0)
        return false;
    m_idBox->setText(masterNumberText(stored));
    m_proposed = false;
    return true;
}

void CustomerDialog::confirm()
{
    // Stay open when nothing could be stored, so the typed data is not lost.
    if (!SaveCusInfo())
        return;
    reloadListIfShowing(kCustomerListTab);
    close();
}

CustomerDialog *showCustomerDialog(int id, bool load, QWidget *parent)
{
    static QPointer<CustomerDialog> open;
    // A fresh window each time, so an open one cannot lend its texts or its
    // number to the next customer.
    if (open)
        open->close();
    open = new CustomerDialog(parent);
    if (load)
        open->LoadCusInfo(id);
    open->show();
    open->raise();
    open->activateWindow();
    // Typing starts in the first box, not in the read-only number.
    open->box(0)->setFocus();
    return open;
}

} // namespace records
