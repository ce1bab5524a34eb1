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

template<typename Dialog>
void confirm(QPointer<Dialog> dialog)
{
    QTest::mouseClick(dialog->button(0), Qt::LeftButton);
    QTRY_VERIFY(dialog.isNull());
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
    void listsInNameOrder();
    void deleteWithTheirRecords();
    void vendorDialog();

private:
    masterfixture::Fixture m;
};

// A new customer from the sale dialog's shortcut, with customers 1 to 12
// present, shows 00013 and 100%; saved unchanged it stores the discount 1.
// The list's 添加记录 leaves the number box empty. Every box keeps exactly
// what was typed, and saving reloads the list only while it shows.
void TestCustomers::newCustomer()
{
    for (int i = 1; i <= 12; ++i)
        addNamed(QStringLiteral("Cus"), QStringLiteral("客户%1").arg(i));
    m.host.tab = kCustomerListTab;
    QPointer<CustomerDialog> dialog = showCustomerDialog(0);
    QCOMPARE(dialog->windowTitle(), QStringLiteral("添加/编辑客户"));
    QCOMPARE(dialog->idBox()->text(), QStringLiteral("00013"));
    QCOMPARE(dialog->box(kDiscountBox)->text(), QStringLiteral("100%"));
    confirm(dialog);
    QCOMPARE(m.host.reloads, 1);
    QCOMPARE(field(QStringLiteral("Cus"), 13, QStringLiteral("Disc")).toDouble(), 1.0);

    m.host.tab = kVendorListTab;
    dialog = showCustomerDialog(0, false);
    QCOMPARE(dialog->idBox()->text(), QString());
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
    for (int i = 0; i < typed.size(); ++i)
        dialog->box(i)->setText(typed.at(i));
    confirm(dialog);
    QCOMPARE(m.host.reloads, 1);

    // Opened and saved again unchanged, nothing is cut or altered.
    dialog = showCustomerDialog(14);
    QCOMPARE(dialog->idBox()->text(), QStringLiteral("00014"));
    confirm(dialog);
    CustomerInfo info;
    QVERIFY(loadCustomer(14, info));
    QCOMPARE(info.boxes, typed);
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

    QPointer<CustomerDialog> dialog = showCustomerDialog(0);
    dialog->box(kDiscountBox)->setText(typed);
    confirm(dialog);
    QCOMPARE(field(QStringLiteral("Cus"), 1, QStringLiteral("Disc")).toDouble(), stored);
    dialog = showCustomerDialog(1);
    QCOMPARE(dialog->box(kDiscountBox)->text(), shown);
}

// Saving a customer in 广东省 makes it the next customer's preselected
// province. A stored province that is not in the list is shown and kept.
void TestCustomers::provinceDefault()
{
    QPointer<CustomerDialog> dialog = showCustomerDialog(0);
    QComboBox *province = dialog->provinceBox();
    QCOMPARE(province->count(), count(QStringLiteral("Prov")));
    QCOMPARE(province->currentText(), QString());
    province->setCurrentIndex(province->findText(QStringLiteral("广东省")));
    confirm(dialog);
    QCOMPARE(field(QStringLiteral("Cus"), 1, QStringLiteral("Prov")).toString(),
             QStringLiteral("广东省"));
    QCOMPARE(store::GetVar(QStringLiteral("默认值_Prov")), QStringLiteral("广东省"));

    dialog = showCustomerDialog(0, false);
    QCOMPARE(dialog->provinceBox()->currentText(), QStringLiteral("广东省"));
    dialog->provinceBox()->setEditText(QStringLiteral("海外'地区"));
    confirm(dialog);
    dialog = showCustomerDialog(2);
    QCOMPARE(dialog->provinceBox()->currentText(), QStringLiteral("海外'地区"));
    dialog = showCustomerDialog(1);
    QCOMPARE(dialog->provinceBox()->currentText(), QStringLiteral("广东省"));
}

// The customer and vendor lists are in name order (pinyin), with their
// tags and report titles.
void TestCustomers::listsInNameOrder()
{
    const QStringList names
            = {QStringLiteral("张三"), QStringLiteral("李四"), QStringLiteral("王五"),
               QStringLiteral("阿明"), QStringLiteral("陈六")};
    for (const QString &name : names) {
        addNamed(QStringLiteral("Cus"), name);
        addNamed(QStringLiteral("Vendor"), name);
    }
    store::ExecSQL(QStringLiteral("UPDATE Cus SET Disc=0.85 WHERE Name='李四'"));
    const QStringList ordered
            = {QStringLiteral("阿明"), QStringLiteral("陈六"), QStringLiteral("李四"),
               QStringLiteral("王五"), QStringLiteral("张三")};

    grid::Grid customers;
    LoadCustomerList(customers);
    QCOMPARE(customers.tag(), QStringLiteral("Cus"));
    QCOMPARE(customers.reportTitle(), QStringLiteral("客户表"));
    QCOMPARE(customers.cols(), 15);
    QCOMPARE(customers.textMatrix(grid::kTitleRow, 4), QStringLiteral("折扣"));
    QCOMPARE(column(customers, 2), ordered);
    QCOMPARE(customers.textMatrix(4, 0), QStringLiteral("2"));
    QCOMPARE(customers.textMatrix(4, 4), QStringLiteral("0.85"));

    grid::Grid vendors;
    LoadVendorList(vendors);
    QCOMPARE(vendors.tag(), QStringLiteral("Vendor"));
    QCOMPARE(vendors.reportTitle(), QStringLiteral("供应商表"));
    QCOMPARE(vendors.cols(), 12);
    QCOMPARE(column(vendors, 2), ordered);
}

// Deleting customers removes exactly their sales, deleting vendors exactly
// their purchases; records of other masters with the same number stay.
void TestCustomers::deleteWithTheirRecords()
{
    const int a = addNamed(QStringLiteral("Cus"), QStringLiteral("阿明"));
    const int b = addNamed(QStringLiteral("Cus"), QStringLiteral("张三"));
    addNamed(QStringLiteral("Vendor"), QStringLiteral("阿供"));
    addNamed(QStringLiteral("Vendor"), QStringLiteral("张供"));
    for (const int customer : {a, a, a, a, b})
        addTrade(QStringLiteral("Sale"), 1, customer, 1);
    for (const int vendor : {a, b, b})
        addTrade(QStringLiteral("Pur"), 1, vendor, 1);

    grid::Grid list;
    LoadCustomerList(list);
    list.setRow(2);
    m.prompts->answers = {true};
    DeleteSelectedCustomers(list);
    QCOMPARE(m.prompts->questions.takeFirst(),
             QStringLiteral("您确定要删除选中的客户(删除客户将同时删除此客户相关的销售记录)？"));
    QCOMPARE(column(list, 2), QStringList{QStringLiteral("张三")});
    QCOMPARE(count(QStringLiteral("Cus")), 1);
    QCOMPARE(count(QStringLiteral("Sale")), 1);
    QCOMPARE(count(QStringLiteral("Sale"), QStringLiteral("CID=%1").arg(b)), 1);
    QCOMPARE(count(QStringLiteral("Pur")), 3);

    LoadVendorList(list);
    list.setRow(3);
    m.prompts->answers = {true};
    DeleteSelectedVendors(list);
    QCOMPARE(m.prompts->questions.takeFirst(),
             QStringLiteral(
                     "您确定要删除选中的供庆商(删除供庆商将同时删除此供庆商相关的采购记录)？"));
    QCOMPARE(column(list, 2), QStringList{QStringLiteral("阿供")});
    QCOMPARE(count(QStringLiteral("Pur")), 1);
    QCOMPARE(count(QStringLiteral("Pur"), QStringLiteral("VID=%1").arg(a)), 1);
    QCOMPARE(count(QStringLiteral("Sale")), 1);
}

// The vendor dialog proposes no number, keeps a vendor's number when edited
// and makes the saved vendor's list entry the purchase dialog's default;
// cancel stores nothing. Saving reloads the list only while it shows.
void TestCustomers::vendorDialog()
{
    addNamed(QStringLiteral("Vendor"), QStringLiteral("甲供"));
    m.host.tab = kVendorListTab;
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
    confirm(dialog);
    QCOMPARE(m.host.reloads, 1);
    QCOMPARE(store::GetVar(QStringLiteral("默认值_Vendor")),
             QStringLiteral("00002|O'Brien \"钢材\" 100%"));
    VendorInfo info;
    QVERIFY(loadVendor(2, info));
    QCOMPARE(info.boxes, typed);
    QComboBox combo;
    ui::FillIdNameCombo(&combo, QStringLiteral("Vendor"), QStringLiteral("Name"));
    QCOMPARE(combo.currentText(), QStringLiteral("00002|O'Brien \"钢材\" 100%"));

    m.host.tab = kCustomerListTab;
    dialog = showVendorDialog(1);
    QCOMPARE(dialog->idBox()->text(), QStringLiteral("00001"));
    dialog->box(0)->setText(QStringLiteral("甲供改名"));
    confirm(dialog);
    QCOMPARE(m.host.reloads, 1);
    QCOMPARE(count(QStringLiteral("Vendor")), 2);
    QCOMPARE(store::GetVar(QStringLiteral("默认值_Vendor")), QStringLiteral("00001|甲供改名"));

    dialog = showVendorDialog(0);
    dialog->box(0)->setText(QStringLiteral("不存"));
    QTest::mouseClick(dialog->button(1), Qt::LeftButton);
    QTRY_VERIFY(dialog.isNull());
    QCOMPARE(count(QStringLiteral("Vendor")), 2);
    QCOMPARE(store::GetVar(QStringLiteral("默认值_Vendor")), QStringLiteral("00001|甲供改名"));
}

QTEST_MAIN(TestCustomers)
#include "tst_customers.moc"
