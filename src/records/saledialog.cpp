#include "saledialog.h"

#include "store/access.h"
#include "store/formatting.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPointer>

namespace records {

namespace {

constexpr int kSalesTab = 0;

TradeDialogTexts saleTexts()
{
    TradeDialogTexts texts;
    texts.caption = kSaleDialogCaption;
    texts.dateLabel = QStringLiteral("销售日期：");
    texts.listLabels = {QStringLiteral("产品名称："), QStringLiteral("客户名称："),
                        QStringLiteral("收款账号："), QStringLiteral("销售人员：")};
    texts.boxLabels = {QStringLiteral("销售价格："), QStringLiteral("销售数量："),
                       QStringLiteral("应收金额："), QStringLiteral("已收金额："),
                       QStringLiteral("备注信息：")};
    texts.addRights = {QStringLiteral("产品数据添加"), QStringLiteral("客户数据添加"),
                       QStringLiteral("账号数据添加"), QStringLiteral("员工数据添加")};
    texts.refusal = QStringLiteral("产品/客户/收款账号/销售人员不能为空！");
    texts.recordTab = kSalesTab;
    return texts;
}

} // namespace

QString customerDiscount(int customerId)
{
    const QVariant discount = store::LookupWhere(
            QStringLiteral("Cus"), QStringLiteral("ID=") + QString::number(customerId),
            QStringLiteral("Disc"));
    if (discount.typeId() == QMetaType::Double || discount.typeId() == QMetaType::LongLong)
        return plainNumber(discount.toDouble());
    return discount.toString();
}

QString proposedSalePrice(const QString &listPrice, const QString &discount)
{
    return plainNumber(store::leadingNumber(listPrice) * store::leadingNumber(discount));
}

QString discountTooltip(const QString &discount)
{
    return QStringLiteral("此客户折扣：") + plainNumber(store::leadingNumber(discount) * 100)
           + QLatin1Char('%');
}

SaleDialog::SaleDialog(QWidget *parent)
    : TradeDialog(saleTable(), saleTexts(), parent)
{
    openEmpty();
    ListClick(0);
    ListClick(1);
    SetRight();
}

void SaleDialog::LoadSaleInfo(int id)
{
    loadRecord(id);
}

bool SaleDialog::SaveSaleInfo()
{
    return saveRecord();
}

void SaleDialog::ListClick(int index)
{
    if (index == 0)
        readProductHint();
    else if (index == 1)
        readCustomerHint();
    else
        return;
    box(0)->setText(proposedSalePrice(m_productHint, m_customerHint));
}

void SaleDialog::refreshHints()
{
    readProductHint();
    readCustomerHint();
}

void SaleDialog::readProductHint()
{
    m_productHint = productListPrice(idFromText(chosen(0)));
    list(0)->setToolTip(QStringLiteral("产品标准定价：") + m_productHint);
}

void SaleDialog::readCustomerHint()
{
    m_customerHint = customerDiscount(idFromText(chosen(1)));
    list(1)->setToolTip(discountTooltip(m_customerHint));
}

SaleDialog *ShowSaleDialog(int id, QWidget *parent)
{
    static QPointer<SaleDialog> open;
    // A fresh window for every sale: an open one must not lend its boxes or
    // its number to the next.
    if (open)
        open->close();
    open = new SaleDialog(parent);
    open->LoadSaleInfo(id);
    open->show();
    open->raise();
    open->activateWindow();
    return open;
}

} // namespace records
