#include "records/customerdialog.h"
#include "records/customers.h"
#include "records/vendordialog.h"
#include "records/vendors.h"

#include "grid/grid.h"
#include "grid/gridops.h"
#include "masterfixture.h"
#include "store/params.h"
#include "ui/helpers.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

using namespace records;
using masterfixture::addNamed;
using masterfixture::addTrade;
using masterfixture::count;
using masterfixture::field;

namespace {

QStringList column(const grid::Grid &g, int col)
{
    QStringList list;
    for (int r = g.fixedRows(); r < g.rows(); ++r)
        list << g.textMatrix(r, col);
    return list;
}

QStringList titles(const grid::Grid &g)
{
    QStringList list;
    for (int c = 0; c < g.cols(); ++c)
        list << g.textMatrix(grid::kTitleRow, c);
    return list;
}

} // namespace

class TestCustomers : public QObject
{
    Q_OBJECT

private slots:
    void init() { QVERIFY(m.setUp()); }
    void cleanup() { QVERIFY(m.tearDown()); }

    void newCustomer();
    void discounts_data();
    void discounts();
    void provinceDefault();
    void customerTextsStoredExactly();
    void listsInNameOrder();
    void deleteCustomersWithSales();
    void vendorDialog();
    void deleteVendorsWithPurchases();
    void reloads();

private:
    masterfixture::Fixture m;
};

// A new customer from the sale dialog's shortcut, with customers 1 to 12
// present, shows 00013 and 100%; saved unchanged it stores the discount 1.
// The list's 添加记录 leaves the number box empty.
void TestCustomers::newCustomer()
{
    for (int i = 1; i <= 12; ++i)
        addNamed(QStringLiteral("Cus"), QStringLiteral("客户%1").arg(i));
    QPointer<CustomerDialog> dialog = showCustomerDialog(0);
    QCOMPARE(dialog->windowTitle(), QStringLiteral("添加/编辑客户"));
    QCOMPARE(dialog->idBox()->text(), QStringLiteral("00013"));
    QCOMPARE(dialog->box(kDiscountBox)->text(), QStringLiteral("100%"));
    dialog->box(0)->setText(QStringLiteral("新客户"));
    QTest::mouseClick(dialog->button(0), Qt::LeftButton);
    QTRY_VERIFY(dialog.isNull());
    QCOMPARE(field(QStringLiteral("Cus"), 13, QStringLiteral("Name")).toString(),
             QStringLiteral("新客户"));
    QCOMPARE(field(QStringLiteral("Cus"), 13, QStringLiteral("Disc")).toDouble(), 1.0);

    dialog = showCustomerDialog(0, false);
    QCOMPARE(dialog->idBox()->text(), QString());
    QCOMPARE(dialog->box(kDiscountBox)->text(), QStringLiteral("100%"));
    QTest::mouseClick(dialog->button(0), Qt::LeftButton);
    QTRY_VERIFY(dialog.isNull());
    QCOMPARE(count(QStringLiteral("Cus")), 14);
}

void TestCustomers::discounts_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<double>("stored");
    QTest::addColumn<QString>("shown");
    QTest::newRow("percentage") << "85%" << 0.85 << "85%";
    QTest::newRow("fraction") << "0.9" << 0.9 << "90%";
    QTest::newRow("bare number") << "90" << 90.0 << "9000%";
    QTest::newRow("half percent") << "12.5%" << 0.125 << "12.5%";
    // 0.57 × 100 is 56.99999999999999 in binary; the box shows 57%.
    QTest::newRow("binary fraction") << "57%" << 0.57 << "57%";
    QTest::newRow("text") << "打九折" << 0.0 << "0%";
    QTest::newRow("empty") << "" << 0.0 << "0%";
}

// The discount is shown as a percentage and stored as a fraction.
void TestCustomers::discounts()
{
    QFETCH(QString, typed);
    QFETCH(double, stored);
    QFETCH(QString, shown);

    QCOMPARE(discountValue(typed), stored);
    QCOMPARE(discountText(stored), shown);

    QPointer<CustomerDialog> dialog = showCustomerDialog(0);
    dialog->box(0)->setText(QStringLiteral("张三"));
    dialog->box(kDiscountBox)->setText(typed);
    QTest::mouseClick(dialog->button(0), Qt::LeftButton);
    QTRY_VERIFY(dialog.isNull());
    QCOMPARE(field(QStringLiteral("Cus"), 1, QStringLiteral("Disc")).toDouble(), stored);

    dialog = showCustomerDialog(1);
    QCOMPARE(dialog->idBox()->text(), QStringLiteral("00001"));
    QCOMPARE(dialog->box(kDiscountBox)->text(), shown);
}

// The province list offers the provinces; saving a customer in 广东省 makes it
// the next customer's preselected province. A stored province that is not in
// the list is still shown and kept.
void TestCustomers::provinceDefault()
{
    QPointer<CustomerDialog> dialog = showCustomerDialog(0);
    QComboBox *province = dialog->provinceBox();
    QCOMPARE(province->count(), count(QStringLiteral("Prov")));
    QVERIFY(province->findText(QStringLiteral("广东省")) >= 0);
    QCOMPARE(province->currentText(), QString());

    province->setCurrentIndex(province->findText(QStringLiteral("广东省")));
    dialog->box(0)->setText(QStringLiteral("广州客户"));
    QTest::mouseClick(dialog->button(0), Qt::LeftButton);
    QTRY_VERIFY(dialog.isNull());
    QCOMPARE(field(QStringLiteral("Cus"), 1, QStringLiteral("Prov")).toString(),
             QStringLiteral("广东省"));
    QCOMPARE(store::GetVar(QStringLiteral("默认值_Prov")), QStringLiteral("广东省"));

    dialog = showCustomerDialog(0, false);
    QCOMPARE(dialog->provinceBox()->currentText(), QStringLiteral("广东省"));
    dialog->provinceBox()->setEditText(QStringLiteral("海外'地区"));
    QTest::mouseClick(dialog->button(0), Qt::LeftButton);
    QTRY_VERIFY(dialog.isNull());

    dialog = showCustomerDialog(2);
    QCOMPARE(dialog->provinceBox()->currentText(), QStringLiteral("海外'地区"));
    dialog->close();
    dialog = showCustomerDialog(1);
    QCOMPARE(dialog->provinceBox()->currentText(), QStringLiteral("广东省"));
}

// Every customer box keeps exactly what was typed: quotes, %, only spaces,
// long texts.
void TestCustomers::customerTextsStoredExactly()
{
    const QStringList typed = {QStringLiteral("O'Neil \"商行\""),
                               QStringLiteral("85%"),
                               QStringLiteral("   "),
                               QString(40000, QChar(0x8def)),
                               QStringLiteral("100%'"),
                               QStringLiteral("0755-1234"),
                               QStringLiteral("139'"),
                               QStringLiteral("\"\""),
                               QStringLiteral("a@b.cn'; DROP TABLE Cus; --"),
                               QStringLiteral("http://x/?a=1&b='2'"),
                               QStringLiteral("李 '四'"),
                               QStringLiteral("备注%_")};
    QPointer<CustomerDialog> dialog = showCustomerDialog(0);
    for (int i = 0; i < typed.size(); ++i)
        dialog->box(i)->setText(typed.at(i));
    QTest::mouseClick(dialog->button(0), Qt::LeftButton);
    QTRY_VERIFY(dialog.isNull());

    CustomerInfo info;
    QVERIFY(loadCustomer(1, info));
    QCOMPARE(info.id, 1);
    QCOMPARE(info.boxes, typed);

    dialog = showCustomerDialog(1);
    for (int i = 0; i < typed.size(); ++i)
        QCOMPARE(dialog->box(i)->text(), typed.at(i));
    QTest::mouseClick(dialog->button(0), Qt::LeftButton);
    QTRY_VERIFY(dialog.isNull());
    QVERIFY(loadCustomer(1, info));
    QCOMPARE(info.boxes, typed);
    QCOMPARE(count(QStringLiteral("Cus")), 1);
}

// The customer and vendor lists are in name order (pinyin), with their
// columns, tags and report titles.
void TestCustomers::listsInNameOrder()
{
    const QStringList names
            = {QStringLiteral("张三"), QStringLiteral("李四"), QStringLiteral("王五"),
               QStringLiteral("阿明"), QStringLiteral("陈六")};
    const QStringList ordered
            = {QStringLiteral("阿明"), QStringLiteral("陈六"), QStringLiteral("李四"),
               QStringLiteral("王五"), QStringLiteral("张三")};
    for (const QString &name : names) {
        addNamed(QStringLiteral("Cus"), name);
        addNamed(QStringLiteral("Vendor"), name);
    }
    store::ExecSQL(QStringLiteral("UPDATE Cus SET Disc=0.85 WHERE Name='李四'"));

    grid::Grid customers;
    LoadCustomerList(customers);
    QCOMPARE(customers.tag(), QStringLiteral("Cus"));
    QCOMPARE(customers.reportTitle(), QStringLiteral("客户表"));
    QCOMPARE(titles(customers),
             (QStringList{"ID", "序号", "客户名称", "联系人", "折扣", "省份", "地区", "地址",
                          "邮编", "电话", "手机", "传真", "邮箱", "网址", "备注"}));
    QCOMPARE(column(customers, 2), ordered);
    QCOMPARE(column(customers, 1), (QStringList{"1", "2", "3", "4", "5"}));
    QCOMPARE(customers.textMatrix(4, 0), QStringLiteral("2"));
    QCOMPARE(customers.textMatrix(4, 4), QStringLiteral("0.85"));

    grid::Grid vendors;
    LoadVendorList(vendors);
    QCOMPARE(vendors.tag(), QStringLiteral("Vendor"));
    QCOMPARE(vendors.reportTitle(), QStringLiteral("供应商表"));
    QCOMPARE(titles(vendors), (QStringList{"ID", "序号", "名称", "联系人", "电话", "手机", "传真",
                                           "邮箱", "地址", "邮编", "网址", "备注"}));
    QCOMPARE(column(vendors, 2), ordered);
}

// Deleting customers removes exactly their sales: the other customers'
// sales and every purchase stay.
void TestCustomers::deleteCustomersWithSales()
{
    const int a = addNamed(QStringLiteral("Cus"), QStringLiteral("阿明"));
    const int b = addNamed(QStringLiteral("Cus"), QStringLiteral("张三"));
    for (int i = 0; i < 4; ++i)
        addTrade(QStringLiteral("Sale"), 1, a, 1);
    addTrade(QStringLiteral("Sale"), 1, b, 1);
    // A purchase whose vendor number equals the customer's is no sale of it.
    addTrade(QStringLiteral("Pur"), 1, a, 1);

    grid::Grid list;
    LoadCustomerList(list);
    list.setRow(2);
    QCOMPARE(list.textMatrix(2, 2), QStringLiteral("阿明"));
    m.prompts->answers = {true};
    DeleteSelectedCustomers(list);
    QCOMPARE(m.prompts->questions,
             QStringList{QStringLiteral(
                     "您确定要删除选中的客户(删除客户将同时删除此客户相关的销售记录)？")});
    QCOMPARE(count(QStringLiteral("Cus")), 1);
    QCOMPARE(count(QStringLiteral("Sale")), 1);
    QCOMPARE(count(QStringLiteral("Sale"), QStringLiteral("CID=%1").arg(b)), 1);
    QCOMPARE(count(QStringLiteral("Pur")), 1);
    QCOMPARE(column(list, 2), QStringList{QStringLiteral("张三")});

    // No and a refused question keep everything.
    m.prompts->answers = {false};
    DeleteSelectedCustomers(list);
    QCOMPARE(count(QStringLiteral("Cus")), 1);
    QCOMPARE(count(QStringLiteral("Sale")), 1);
}

// The vendor dialog proposes no number, keeps a vendor's number when edited
// and makes the saved vendor's list entry the purchase dialog's default.
void TestCustomers::vendorDialog()
{
    addNamed(QStringLiteral("Vendor"), QStringLiteral("甲供"));
    QPointer<VendorDialog> dialog = showVendorDialog(0);
    QCOMPARE(dialog->windowTitle(), QStringLiteral("添加/编辑供应商"));
    QCOMPARE(dialog->idBox()->text(), QString());
    const QStringList typed = {QStringLiteral("O'Brien \"钢材\" 100%"),
                               QStringLiteral("  "),
                               QStringLiteral("010'1"),
                               QStringLiteral("138"),
                               QString(),
                               QStringLiteral("x@y.cn"),
                               QString(40000, QChar(0x8def)),
                               QStringLiteral("100000"),
                               QStringLiteral("http://v'"),
                               QStringLiteral("备注\"")};
    for (int i = 0; i < typed.size(); ++i)
        dialog->box(i)->setText(typed.at(i));
    QTest::mouseClick(dialog->button(0), Qt::LeftButton);
    QTRY_VERIFY(dialog.isNull());
    QCOMPARE(store::GetVar(QStringLiteral("默认值_Vendor")),
             QStringLiteral("00002|O'Brien \"钢材\" 100%"));
    VendorInfo info;
    QVERIFY(loadVendor(2, info));
    QCOMPARE(info.boxes, typed);

    // The purchase dialog's vendor list picks the saved vendor.
    QComboBox combo;
    ui::FillIdNameCombo(&combo, QStringLiteral("Vendor"), QStringLiteral("Name"));
    QCOMPARE(combo.currentText(), QStringLiteral("00002|O'Brien \"钢材\" 100%"));

    dialog = showVendorDialog(1);
    QCOMPARE(dialog->idBox()->text(), QStringLiteral("00001"));
    QCOMPARE(dialog->box(0)->text(), QStringLiteral("甲供"));
    dialog->box(0)->setText(QStringLiteral("甲供改名"));
    QTest::mouseClick(dialog->button(0), Qt::LeftButton);
    QTRY_VERIFY(dialog.isNull());
    QCOMPARE(count(QStringLiteral("Vendor")), 2);
    QCOMPARE(field(QStringLiteral("Vendor"), 1, QStringLiteral("Name")).toString(),
             QStringLiteral("甲供改名"));
    QCOMPARE(store::GetVar(QStringLiteral("默认值_Vendor")), QStringLiteral("00001|甲供改名"));

    // Cancel stores nothing and keeps the default.
    dialog = showVendorDialog(0);
    dialog->box(0)->setText(QStringLiteral("不存"));
    QTest::mouseClick(dialog->button(1), Qt::LeftButton);
    QTRY_VERIFY(dialog.isNull());
    QCOMPARE(count(QStringLiteral("Vendor")), 2);
    QCOMPARE(store::GetVar(QStringLiteral("默认值_Vendor")), QStringLiteral("00001|甲供改名"));
}

// Deleting vendors removes exactly their purchases.
void TestCustomers::deleteVendorsWithPurchases()
{
    const int a = addNamed(QStringLiteral("Vendor"), QStringLiteral("阿供"));
    const int b = addNamed(QStringLiteral("Vendor"), QStringLiteral("贝供"));
    const int c = addNamed(QStringLiteral("Vendor"), QStringLiteral("张供"));
    addTrade(QStringLiteral("Pur"), 1, a, 1);
    addTrade(QStringLiteral("Pur"), 1, a, 1);
    addTrade(QStringLiteral("Pur"), 1, b, 1);
    addTrade(QStringLiteral("Pur"), 1, c, 1);
    addTrade(QStringLiteral("Sale"), 1, a, 1);

    grid::Grid list;
    LoadVendorList(list);
    list.setRow(2);
    list.setRowSel(3);
    m.prompts->answers = {true};
    DeleteSelectedVendors(list);
    QCOMPARE(m.prompts->questions,
             QStringList{QStringLiteral(
                     "您确定要删除选中的供庆商(删除供庆商将同时删除此供庆商相关的采购记录)？")});
    QCOMPARE(count(QStringLiteral("Vendor")), 1);
    QCOMPARE(count(QStringLiteral("Pur")), 1);
    QCOMPARE(count(QStringLiteral("Pur"), QStringLiteral("VID=%1").arg(c)), 1);
    QCOMPARE(count(QStringLiteral("Sale")), 1);
    QCOMPARE(column(list, 2), QStringList{QStringLiteral("张供")});
}

// Saving reloads the list only while its own tab shows.
void TestCustomers::reloads()
{
    m.host.tab = kCustomerListTab;
    QPointer<CustomerDialog> customer = showCustomerDialog(0);
    QTest::mouseClick(customer->button(0), Qt::LeftButton);
    QCOMPARE(m.host.reloads, 1);
    customer = showCustomerDialog(1);
    QTest::mouseClick(customer->button(1), Qt::LeftButton);
    QCOMPARE(m.host.reloads, 1);

    m.host.tab = kVendorListTab;
    customer = showCustomerDialog(1);
    QTest::mouseClick(customer->button(0), Qt::LeftButton);
    QCOMPARE(m.host.reloads, 1);
    QPointer<VendorDialog> vendor = showVendorDialog(0);
    QTest::mouseClick(vendor->button(0), Qt::LeftButton);
    QCOMPARE(m.host.reloads, 2);

    m.host.tab = kCustomerListTab;
    vendor = showVendorDialog(1);
    QTest::mouseClick(vendor->button(0), Qt::LeftButton);
    QCOMPARE(m.host.reloads, 2);
    QCOMPARE(count(QStringLiteral("Cus")), 1);
    QCOMPARE(count(QStringLiteral("Vendor")), 1);
}

QTEST_MAIN(TestCustomers)
#include "tst_customers.moc"
