#pragma once

#include "masterrecords.h"

#include <QString>
#include <QStringList>
#include <QVariant>

namespace grid {
class Grid;
}

namespace records {

// Record tab of the customer list.
inline constexpr int kCustomerListTab = 4;

// Fields of Cus bound to the customer dialog's boxes 0 to 11, in box order:
// Name, Disc, Region, Address, PC, Phone, Mobile, Fax, Email, Websit, CName,
// Memo. Box 1 shows the discount as a percentage.
const QStringList &customerBoxFields();
inline constexpr int kDiscountBox = 1;

// The discount as box 1 shows it: the stored fraction × 100 followed by
// "%" (0.85 → "85%", 1 → "100%"); empty for a missing value.
QString discountText(const QVariant &discount);
// The fraction stored for a discount text: its leading number, divided by
// 100 when the text holds "%" ("85%" → 0.85, "0.9" → 0.9, a bare "90" → 90,
// a text that is no number → 0).
double discountValue(const QString &text);

// One customer as the dialog edits it.
struct CustomerInfo
{
    int id = 0;
    QStringList boxes; // texts of the boxes 0 to 11 (see customerBoxFields)
    QString province;  // the province list's text, stored in Prov
};

// Reads customer id; false (info untouched) when there is no such row.
bool loadCustomer(int id, CustomerInfo &info);
// Stores info under id, adding a customer when there is none (id 0 always
// adds one), and remembers the province as the next customer's default
// (默认值_Prov). Returns the stored ID, 0 on failure (then the default is
// left alone).
int saveCustomer(int id, const CustomerInfo &info);

// The customer list: tag "Cus", in name order, report title "客户表".
ListColumns customerListColumns();
void LoadCustomerList(grid::Grid &grid);
// Deletes the selected customers with their sales, after asking.
void DeleteSelectedCustomers(grid::Grid &grid);

} // namespace records
