#pragma once

#include "tradedialog.h"

#include <QString>

namespace records {

// Caption of the sale dialog.
inline const QString kSaleDialogCaption = QStringLiteral("添加/编辑销售记录");

// The discount of customer id (its Cus.Disc, a fraction) as text; empty
// when there is no such customer.
QString customerDiscount(int customerId);

// The price a sale is offered at: the product's list price times the
// customer's discount, both read as leading numbers (25 and 0.9 → 22.5; no
// customer or no discount → 0).
QString proposedSalePrice(const QString &listPrice, const QString &discount);

// The customer list's tooltip: "此客户折扣：" and the discount in percent
// (0.95 → "此客户折扣：95%").
QString discountTooltip(const QString &discount);

// The sale dialog "添加/编辑销售记录": product, customer, account and
// salesman lists, price, quantity, receivable, received, memo and date.
// Opening it fills the lists with their saved defaults and proposes the
// price from the product's list price and the customer's discount.
class SaleDialog : public TradeDialog
{
    Q_OBJECT

public:
    explicit SaleDialog(QWidget *parent = nullptr);

    // Fills the dialog from sale id (nothing happens for an id below 1;
    // without such a sale only the order number is shown).
    void LoadSaleInfo(int id);
    // Stores the dialog into the sale of the order number, or a new sale.
    // False when nothing could be stored.
    bool SaveSaleInfo();

    // Product (0) and customer (1): takes the list price or the discount as
    // the list's hint and tooltip and proposes the price. 2 and 3: nothing.
    void ListClick(int index) override;

    QString productHint() const { return m_productHint; }
    QString customerHint() const { return m_customerHint; }

protected:
    void refreshHints() override;

private:
    void readProductHint();
    void readCustomerHint();

    QString m_productHint;
    QString m_customerHint;
};

// Opens the sale dialog as the one instance (an open one is closed first),
// for sale id or, with id 0, for a new sale.
SaleDialog *ShowSaleDialog(int id, QWidget *parent = nullptr);

} // namespace records
