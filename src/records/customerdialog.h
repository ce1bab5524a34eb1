#pragma once

#include "masterdialog.h"

#include <QString>

class QComboBox;

namespace records {

// Caption of the customer dialog; callers wait for it with WaitFormClosed.
inline const QString kCustomerDialogCaption = QStringLiteral("添加/编辑客户");

// The customer dialog "添加/编辑客户": the number box, boxes 0 to 11 and the
// province list.
class CustomerDialog : public MasterDialog
{
    Q_OBJECT

public:
    // Opens with the province list filled (the remembered province chosen)
    // and the discount at "100%".
    explicit CustomerDialog(QWidget *parent = nullptr);

    // Fills the dialog with customer id; id below 1 (a new customer) shows
    // the proposed next number instead.
    void LoadCusInfo(int id);
    // Stores the dialog: into the customer of the number box, or as a new
    // customer when the box is empty or shows a proposed number. The
    // province becomes the next customer's default. False when nothing
    // could be stored.
    bool SaveCusInfo();

    // Boxes 0 to 11 (客户名称, 享受折扣, 所在地区, 通讯地址, 邮政编码, 联系电话,
    // 客户手机, 传真号码, 联系邮箱, 企业网址, 联 系 人, 备注信息), the read-only
    // "客户编号：" box and buttons 0 "确       定", 1 "取       消" come from
    // MasterDialog; this is the "所在省份：" list.
    QComboBox *provinceBox() const { return m_province; }

protected:
    bool saveShown() override { return SaveCusInfo(); }

private:
    QComboBox *m_province = nullptr;
    // The number box shows a proposal for a new customer, not a stored one.
    bool m_proposed = false;
};

// Opens the customer dialog as the one instance (an open one is closed
// first). With load, LoadCusInfo(id) runs: id 0 proposes the next number,
// as the sale dialog's add shortcut wants; without it the number box stays
// empty (the list's 添加记录).
CustomerDialog *showCustomerDialog(int id, bool load = true, QWidget *parent = nullptr);

} // namespace records
