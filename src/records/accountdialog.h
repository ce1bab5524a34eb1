#pragma once

#include "masterdialog.h"

#include <QString>

namespace records {

// Caption of the fund-account dialog; callers wait for it with WaitFormClosed.
inline const QString kAccountDialogCaption = QStringLiteral("添加/编辑资金账号");

// The fund-account dialog "添加/编辑资金账号": the number box and boxes 0 to 3.
class AccountDialog : public MasterDialog
{
    Q_OBJECT

public:
    explicit AccountDialog(QWidget *parent = nullptr);

    // Fills the dialog with account id, its number shown plain (3, not
    // 00003); with no such account (id 0) it stays empty.
    void LoadAccInfo(int id);
    // Stores the boxes under id, adding an account when there is none, and
    // reloads the fund-account list when it is showing. False when nothing
    // could be stored.
    bool SaveAccInfo(int id);

    // Boxes 0 to 3 (账号名称, 开户银行, 银行账号, 备注信息), the read-only
    // "账号编码：" box; buttons 0 "确     定", 1 "取     消".

protected:
    // Saving under the shown number reloads the list itself.
    bool saveShown() override;
};

// Opens the account dialog as the one instance (an open one is closed
// first) and loads account id into it (0: empty, for a new account).
AccountDialog *showAccountDialog(int id, QWidget *parent = nullptr);

} // namespace records
