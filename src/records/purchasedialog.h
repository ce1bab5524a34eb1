#pragma once

#include "tradedialog.h"

#include <QString>

namespace records {

// Caption of the purchase dialog.
inline const QString kPurchaseDialogCaption = QStringLiteral("添加/编辑采购买记录");

// The price of the latest purchase of product productId from vendor
// vendorId (the latest date; of several on that date the one entered last),
// as text; empty when the vendor never supplied the product.
QString lastSupplyPrice(int productId, int vendorId);

// The price hint of the purchase dialog for a product and a vendor.
struct PurchasePriceHint
{
    QString value; // the last supply price, else the product's list price
    QString tooltip; // "此产品该供应商上次供货价：" or "此产品市场定价：" + value
};

// The hint for productId bought from vendorId (0: no vendor chosen): the
// vendor's last supply price when there is one, else the list price.
PurchasePriceHint purchasePriceHint(int productId, int vendorId);

// The purchase dialog "添加/编辑采购买记录": product, vendor, account and
// buyer lists, price, quantity, payable, paid, memo and date. The price is
// typed by the user; the price box only shows a hint as its tooltip.
class PurchaseDialog : public TradeDialog
{
    Q_OBJECT

public:
    explicit PurchaseDialog(QWidget *parent = nullptr);

    // Fills the dialog from purchase id (nothing happens for an id below 1;
    // without such a purchase only the order number is shown).
    void LoadPurInfo(int id);
    // Stores the dialog into the purchase of the order number, or a new one.
    // False when nothing could be stored.
    bool SavePurInfo();

    // Product (0) and vendor (1): renews the price hint when a product is
    // chosen. 2 and 3: nothing.
    void ListClick(int index) override;

    QString priceHint() const { return m_priceHint; }

protected:
    void refreshHints() override;

private:
    QString m_priceHint;
};

// Opens the purchase dialog as the one instance (an open one is closed
// first), for purchase id or, with id 0, for a new purchase.
PurchaseDialog *ShowPurchaseDialog(int id, QWidget *parent = nullptr);

} // namespace records
