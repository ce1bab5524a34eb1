#pragma once

#include "masterdialog.h"

#include <QString>

namespace records {

// Caption of the vendor dialog; callers wait for it with WaitFormClosed.
inline const QString kVendorDialogCaption = QStringLiteral("添加/编辑供应商");

// The vendor dialog "添加/编辑供应商": the number box and boxes 0 to 9.
class VendorDialog : public MasterDialog
{
    Q_OBJECT

public:
    explicit VendorDialog(QWidget *parent = nullptr);

    // Fills the dialog with vendor id; id below 1 leaves it empty (no number
    // is proposed for a new vendor).
    void LoadVenInfo(int id);
    // Stores the dialog into the vendor of the number box, or as a new
    // vendor when the box is empty, and makes it the purchase dialog's
    // default vendor. False when nothing could be stored.
    bool SaveVenInfo();

    // Boxes 0 to 9 (供 应 商, 联 系 人, 电  话, 手  机, 传  真, 电子邮箱,
    // 通讯地址, 邮  编, 企业网址, 备注信息); buttons 0 "确     定", 1 "取     消".

protected:
    bool saveShown() override { return SaveVenInfo(); }
};

// Opens the vendor dialog as the one instance (an open one is closed first)
// and loads vendor id into it (0: empty, for a new vendor).
VendorDialog *showVendorDialog(int id, QWidget *parent = nullptr);

} // namespace records
