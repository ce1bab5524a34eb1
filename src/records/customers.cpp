#include "customers.h"

#include "store/formatting.h"
#include "store/params.h"

namespace records {

const QStringList &customerBoxFields()
{
    static const QStringList fields
            = {QStringLiteral("Name"),    QStringLiteral("Disc"),  QStringLiteral("Region"),
               QStringLiteral("Address"), QStringLiteral("PC"),    QStringLiteral("Phone"),
               QStringLiteral("Mobile"),  QStringLiteral("Fax"),   QStringLiteral("Email"),
               QStringLiteral("Websit"),  QStringLiteral("CName"), QStringLiteral("Memo")};
    return fields;
}

QString discountText(const QVariant &discount)
{
    if (!discount.isValid() || discount.isNull())
        return QString();
    // Fifteen significant digits, so 0.57 shows as 57% and not 56.99999…%.
    return QString::number(discount.toDouble() * 100, 'g', 15) + QLatin1Char('%');
}

double discountValue(const QString &text)
{
    const double value = store::leadingNumber(text);
    return text.contains(QLatin1Char('%')) ? value / 100 : value;
}

bool loadCustomer(int id, CustomerInfo &info)
{
    QVariantMap values;
    if (!loadMasterRecord(QStringLiteral("Cus"), id, values))
        return false;
    info.id = values.value(QStringLiteral("ID")).toInt();
    info.boxes.clear();
    for (const QString &field : customerBoxFields()) {
        const QVariant value = values.value(field);
        info.boxes << (field == QLatin1String("Disc") ? discountText(value) : boxText(value));
    }
    info.province = boxText(values.value(QStringLiteral("Prov")));
    return true;
}

int saveCustomer(int id, const CustomerInfo &info)
{
    QVariantMap values;
    const QStringList &fields = customerBoxFields();
    for (int i = 0; i < fields.size(); ++i) {
        const QString text = info.boxes.value(i);
        if (i == kDiscountBox)
            values.insert(fields.at(i), discountValue(text));
        else
            values.insert(fields.at(i), text);
    }
    values.insert(QStringLiteral("Prov"), info.province);
    const int stored = saveMasterRecord(QStringLiteral("Cus"), id, values);
    // Only a stored customer lends its province to the next one.
    if (stored != 0)
        store::SetVar(QStringLiteral("默认值_Prov"), info.province);
    return stored;
}

ListColumns customerListColumns()
{
    ListColumns columns;
    columns.keys = QStringList{QStringLiteral("ID"),     QString(),
                               QStringLiteral("Name"),   QStringLiteral("CName"),
                               QStringLiteral("Disc"),   QStringLiteral("Prov"),
                               QStringLiteral("Region"), QStringLiteral("Address"),
                               QStringLiteral("PC"),     QStringLiteral("Phone"),
                               QStringLiteral("Mobile"), QStringLiteral("Fax"),
                               QStringLiteral("Email"),  QStringLiteral("Websit"),
                               QStringLiteral("Memo")};
    columns.titles = QStringList{
            QStringLiteral("ID"),     QStringLiteral("序号"), QStringLiteral("客户名称"),
            QStringLiteral("联系人"), QStringLiteral("折扣"), QStringLiteral("省份"),
            QStringLiteral("地区"),   QStringLiteral("地址"), QStringLiteral("邮编"),
            QStringLiteral("电话"),   QStringLiteral("手机"), QStringLiteral("传真"),
            QStringLiteral("邮箱"),   QStringLiteral("网址"), QStringLiteral("备注")};
    return columns;
}

void LoadCustomerList(grid::Grid &grid)
{
    loadMasterList(grid, customerListColumns(), QStringLiteral("Cus"), QStringLiteral("Name"),
                   QStringLiteral("客户表"));
}

void DeleteSelectedCustomers(grid::Grid &grid)
{
    deleteSelectedWithDependents(
            grid,
            QStringLiteral("您确定要删除选中的客户(删除客户将同时删除此客户相关的销售记录)？"),
            QStringLiteral("正在删除客户及其相关的销售记录..."),
            {{QStringLiteral("RcvLine"), QStringLiteral("RID"), QStringLiteral("Rcv"),
              QStringLiteral("CID")},
             {QStringLiteral("Rcv"), QStringLiteral("CID")},
             {QStringLiteral("Sale"), QStringLiteral("CID")}});
}

} // namespace records
