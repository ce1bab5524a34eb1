#include "purchasedialog.h"

#include "store/access.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPointer>

namespace records {

namespace {

constexpr int kPurchaseTab = 1;

TradeDialogTexts purchaseTexts()
{
    TradeDialogTexts texts;
    texts.caption = kPurchaseDialogCaption;
    texts.dateLabel = QStringLiteral("采购日期：");
    texts.listLabels = {QStringLiteral("产品名称："), QStringLiteral("供 应 商："),
                        QStringLiteral("付款账号："), QStringLiteral("采购人员：")};
    texts.boxLabels = {QStringLiteral("采购价格："), QStringLiteral("采购数量："),
                       QStringLiteral("应付金额："), QStringLiteral("已付金额："),
                       QStringLiteral("备注信息：")};
    texts.addRights = {QStringLiteral("产品数据添加"), QStringLiteral("供应商数据添加"),
                       QStringLiteral("账号数据添加"), QStringLiteral("员工数据添加")};
    texts.refusal = QStringLiteral("产品/供应商/收款账号/销售人员不能为空！");
    texts.recordTab = kPurchaseTab;
    return texts;
}

} // namespace

QString lastSupplyPrice(int productId, int vendorId)
{
    store::RecordSet rs;
    store::OpenQuery(rs, QStringLiteral("SELECT TOP 1 Price FROM Pur WHERE VID=")
                                 + QString::number(vendorId) + QStringLiteral(" AND PID=")
                                 + QString::number(productId)
                                 + QStringLiteral(" ORDER BY Dat DESC,ID DESC"));
    if (rs.recordCount() == 0)
        return QString();
    const QVariant price = rs.valueAt(0, 0);
    if (price.typeId() == QMetaType::Double || price.typeId() == QMetaType::LongLong)
        return plainNumber(price.toDouble());
    return price.toString();
}

PurchasePriceHint purchasePriceHint(int productId, int vendorId)
{
    PurchasePriceHint hint;
    if (vendorId != 0)
        hint.value = lastSupplyPrice(productId, vendorId);
    if (hint.value.isEmpty()) {
        hint.value = productListPrice(productId);
        hint.tooltip = QStringLiteral("此产品市场定价：") + hint.value;
    } else {
        hint.tooltip = QStringLiteral("此产品该供应商上次供货价：") + hint.value;
    }
    return hint;
}

PurchaseDialog::PurchaseDialog(QWidget *parent)
    : TradeDialog(purchaseTable(), purchaseTexts(), parent)
{
    openEmpty();
    ListClick(0);
    SetRight();
}

void PurchaseDialog::LoadPurInfo(int id)
{
    loadRecord(id);
}

bool PurchaseDialog::SavePurInfo()
{
    return saveRecord();
}

void PurchaseDialog::ListClick(int index)
{
    if (index != 0 && index != 1)
        return;
    const int productId = idFromText(chosen(0));
    // Without a product there is nothing to hint at; the old hint stays.
    if (productId == 0)
        return;
    const PurchasePriceHint hint = purchasePriceHint(productId, idFromText(chosen(1)));
    m_priceHint = hint.value;
    box(0)->setToolTip(hint.tooltip);
}

void PurchaseDialog::refreshHints()
{
    ListClick(0);
}

PurchaseDialog *ShowPurchaseDialog(int id, QWidget *parent)
{
    static QPointer<PurchaseDialog> open;
    // A fresh window for every purchase: an open one must not lend its
    // boxes or its number to the next.
    if (open)
        open->close();
    open = new PurchaseDialog(parent);
    open->LoadPurInfo(id);
    open->show();
    open->raise();
    open->activateWindow();
    return open;
}

} // namespace records
