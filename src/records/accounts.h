#pragma once

#include "masterrecords.h"

#include <QString>
#include <QStringList>

namespace grid {
class Grid;
}

namespace records {

// Record tab of the fund-account list.
inline constexpr int kAccountListTab = 6;

// Fields of Acc bound to the account dialog's boxes 0 to 3, in box order:
// Name, Bank, Account, Memo. All are text.
const QStringList &accountBoxFields();

// One fund account as the dialog edits it: boxes holds the texts of boxes
// 0 to 3 (see accountBoxFields).
using AccountInfo = MasterTexts;

// Reads account id; false (info untouched) when there is no such row.
bool loadAccount(int id, AccountInfo &info);
// Stores info under id, adding an account when there is none (id 0 always
// adds one). Returns the stored ID, 0 on failure.
int saveAccount(int id, const AccountInfo &info);

// The fund-account list: tag "Acc", whole table in table order, report
// title "资金库列表".
ListColumns accountListColumns();
void LoadFundAccountList(grid::Grid &grid);
// Deletes the selected accounts with every sale and purchase that used
// them, after asking.
void DeleteSelectedFundAccounts(grid::Grid &grid);

} // namespace records
