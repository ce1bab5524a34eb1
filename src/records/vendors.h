#pragma once

#include "masterrecords.h"

#include <QString>
#include <QStringList>

namespace grid {
class Grid;
}

namespace records {

// Record tab of the vendor list.
inline constexpr int kVendorListTab = 5;

// Fields of Vendor bound to the vendor dialog's boxes 0 to 9, in box order:
// Name, CName, Phone, Mobile, Fax, Email, Address, PC, Websit, Memo.
const QStringList &vendorBoxFields();

// One vendor as the dialog edits it; every field is text, boxes holds the
// texts of boxes 0 to 9 (see vendorBoxFields).
using VendorInfo = MasterTexts;

// Reads vendor id; false (info untouched) when there is no such row.
bool loadVendor(int id, VendorInfo &info);
// Stores info under id, adding a vendor when there is none (id 0 always
// adds one). The saved vendor's list entry ("00007|name") becomes the
// purchase dialog's default vendor (默认值_Vendor). Returns the stored ID,
// 0 on failure (then the default is left alone).
int saveVendor(int id, const VendorInfo &info);

// The vendor list: tag "Vendor", in name order, report title "供应商表".
ListColumns vendorListColumns();
void LoadVendorList(grid::Grid &grid);
// Deletes the selected vendors with their purchases, after asking.
void DeleteSelectedVendors(grid::Grid &grid);

} // namespace records
