#include "records/productdialog.h"
#include "records/productfieldsdialog.h"
#include "records/products.h"

#include "grid/grid.h"
#include "grid/gridops.h"
#include "masterfixture.h"
#include "store/params.h"
#include "ui/helpers.h"

#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

using namespace records;
using masterfixture::addNamed;
using masterfixture::addTrade;
using masterfixture::count;
using masterfixture::field;

namespace {

QStringList titles(const grid::Grid &g)
{
    QStringList list;
    for (int c = 0; c < g.cols(); ++c)
        list << g.textMatrix(grid::kTitleRow, c);
    return list;
}

// Defines custom fields through the field dialog, as the user does.
void defineFields(const QMap<int, QString> &names)
{
    QPointer<ProductFieldsDialog> dialog = showProductFieldsDialog();
    for (int k = 0; k < kProductFieldCount; ++k)
        dialog->box(k)->setText(names.value(k));
    QTest::mouseClick(dialog->button(0), Qt::LeftButton);
    QTRY_VERIFY(dialog.isNull());
}

// Confirms the product dialog and waits until it is gone.
void confirm(QPointer<ProductDialog> dialog)
{
    QTest::mouseClick(dialog->button(0), Qt::LeftButton);
    QTRY_VERIFY(dialog.isNull());
}

} // namespace

class TestProducts : public QObject
{
    Q_OBJECT

private slots:
    void init() { QVERIFY(m.setUp()); }
    void cleanup() { QVERIFY(m.tearDown()); }

    void proposedNumber_data();
    void proposedNumber();
    void proposalIsNeverOverwritten();
    void prices_data();
    void prices();
    void customFields();
    void textsStoredExactly();
    void deleteWithSalesAndPurchases();

private:
    masterfixture::Fixture m;
};

void TestProducts::proposedNumber_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<QString>("deleted"); // products deleted again afterwards
    QTest::addColumn<QString>("proposal");
    QTest::newRow("empty table") << 0 << ""
                                 << "00001";
    QTest::newRow("products 1 to 7") << 7 << ""
                                     << "00008";
    // The proposal follows the highest number left, not the count of rows.
    QTest::newRow("1 to 9, 3 to 5 deleted") << 9 << "ID>=3 AND ID<=5"
                                            << "00010";
    QTest::newRow("1 to 7, 6 and 7 deleted") << 7 << "ID>=6"
                                             << "00006";
}

// A new product from the add shortcut shows the next number after the
// highest one; the list's 添加记录 leaves the number box empty.
void TestProducts::proposedNumber()
{
    QFETCH(int, rows);
    QFETCH(QString, deleted);
    QFETCH(QString, proposal);
    for (int i = 1; i <= rows; ++i)
        addNamed(QStringLiteral("Pro"), QStringLiteral("产品%1").arg(i));
    if (!deleted.isEmpty())
        store::ExecSQL(QStringLiteral("DELETE * FROM Pro WHERE ") + deleted);

    ProductDialog *dialog = showProductDialog(0);
    QVERIFY(ui::FormIsOpen(QStringLiteral("添加/编辑产品")));
    QCOMPARE(dialog->idBox()->text(), proposal);
    dialog = showProductDialog(0, false);
    QCOMPARE(dialog->idBox()->text(), QString());
}

// The proposed number is only shown: when another product takes it while
// the dialog is open, saving adds a product instead of overwriting that one.
void TestProducts::proposalIsNeverOverwritten()
{
    for (int i = 1; i <= 7; ++i)
        addNamed(QStringLiteral("Pro"), QStringLiteral("产品%1").arg(i));
    QPointer<ProductDialog> dialog = showProductDialog(0);
    QCOMPARE(dialog->idBox()->text(), QStringLiteral("00008"));
    QCOMPARE(addNamed(QStringLiteral("Pro"), QStringLiteral("别处加的")), 8);
    dialog->box(0)->setText(QStringLiteral("新产品"));
    confirm(dialog);
    QCOMPARE(field(QStringLiteral("Pro"), 8, QStringLiteral("Name")).toString(),
             QStringLiteral("别处加的"));
    QCOMPARE(count(QStringLiteral("Pro"), QStringLiteral("Name='新产品'")), 1);
}

void TestProducts::prices_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<double>("stored");
    QTest::addColumn<QString>("shown");
    QTest::newRow("yuan") << "12.5元" << 12.5 << "12.5";
    QTest::newRow("leading spaces") << "  7kg" << 7.0 << "7";
    QTest::newRow("text") << "面议" << 0.0 << "0";
    QTest::newRow("two points") << "1.2.3" << 1.2 << "1.2";
}

// The list price is stored as the leading number of what was typed; saving
// reloads the list only while the product tab shows.
void TestProducts::prices()
{
    QFETCH(QString, typed);
    QFETCH(double, stored);
    QFETCH(QString, shown);

    m.host.tab = kProductListTab;
    QPointer<ProductDialog> dialog = showProductDialog(0);
    dialog->box(1)->setText(typed);
    confirm(dialog);
    QCOMPARE(m.host.reloads, 1);
    QCOMPARE(field(QStringLiteral("Pro"), 1, QStringLiteral("Price")).toDouble(), stored);

    m.host.tab = 0;
    dialog = showProductDialog(1);
    QCOMPARE(dialog->idBox()->text(), QStringLiteral("00001"));
    QCOMPARE(dialog->box(1)->text(), shown);
    confirm(dialog);
    QCOMPARE(m.host.reloads, 1);
    QCOMPARE(count(QStringLiteral("Pro")), 1);
}

// Fields defined in boxes 0 and 2 give the product dialog one more row with
// two boxes bound to P0 and P2, and the list the columns 颜色 and 产地
// between 单位 and 备注; a cleared definition hides its column, the values
// stay and come back with the definition.
void TestProducts::customFields()
{
    QPointer<ProductDialog> dialog = showProductDialog(0);
    QVERIFY(dialog->box(3));
    QVERIFY(!dialog->box(4));
    dialog->adjustSize();
    const int plainHeight = dialog->height();
    dialog->close();

    defineFields({{0, QStringLiteral("颜色")}, {2, QStringLiteral("产地")}});
    QCOMPARE(m.host.reloads, 1);
    QCOMPARE(store::GetVar(QStringLiteral("产品定义_P0")), QStringLiteral("颜色"));
    QCOMPARE(store::GetVar(QStringLiteral("产品定义_P2")), QStringLiteral("产地"));

    dialog = showProductDialog(0);
    QCOMPARE(dialog->addedRows(), 1);
    QCOMPARE(dialog->boxField(4), QStringLiteral("P0"));
    QCOMPARE(dialog->boxField(5), QStringLiteral("P2"));
    QCOMPARE(dialog->label(5)->text(), QStringLiteral("产地："));
    QVERIFY(!dialog->box(6));
    // Even index on the left, odd on the right, in a row of their own.
    QCOMPARE(dialog->box(4)->x(), dialog->box(2)->x());
    QCOMPARE(dialog->box(5)->x(), dialog->box(3)->x());
    QVERIFY(dialog->box(4)->y() > dialog->box(2)->y());
    dialog->adjustSize();
    QCOMPARE(dialog->height() - plainHeight, ui::pixels(480));

    dialog->box(4)->setText(QStringLiteral("红"));
    dialog->box(5)->setText(QStringLiteral("杭州"));
    confirm(dialog);
    QCOMPARE(field(QStringLiteral("Pro"), 1, QStringLiteral("P2")).toString(),
             QStringLiteral("杭州"));

    grid::Grid list;
    LoadProductList(list);
    QCOMPARE(titles(list),
             (QStringList{"ID", "序号", "产品名称", "市场定价", "单位", "颜色", "产地", "备注"}));
    QCOMPARE(list.textMatrix(grid::kKeyRow, 5), QStringLiteral("P0"));
    QCOMPARE(list.textMatrix(2, 6), QStringLiteral("杭州"));
    QCOMPARE(list.tag(), QStringLiteral("Pro"));
    QCOMPARE(list.reportTitle(), QStringLiteral("产品表"));

    // Cleared at 0: the column goes, the value stays for a new definition.
    defineFields({{2, QStringLiteral("产地")}});
    LoadProductList(list);
    QCOMPARE(titles(list),
             (QStringList{"ID", "序号", "产品名称", "市场定价", "单位", "产地", "备注"}));
    defineFields({{0, QStringLiteral("色彩")}, {2, QStringLiteral("产地")}});
    LoadProductList(list);
    QCOMPARE(list.textMatrix(2, 5), QStringLiteral("红"));
    dialog = showProductDialog(1);
    QCOMPARE(dialog->box(4)->text(), QStringLiteral("红"));

    // Five fields take three rows; the fifth sits on the left.
    defineFields({{1, "a"}, {3, "b"}, {5, "c"}, {7, "d"}, {9, "e"}});
    dialog = showProductDialog(0);
    QCOMPARE(dialog->addedRows(), 3);
    QCOMPARE(dialog->boxField(8), QStringLiteral("P9"));
    QCOMPARE(dialog->box(8)->x(), dialog->box(2)->x());
}

// Names, units, notes and field names are stored and shown exactly as
// typed: quotes, %, only spaces, texts longer than a line edit holds by
// default. A setting outside the family is never taken for a field.
void TestProducts::textsStoredExactly()
{
    const QString fieldName = QStringLiteral("尺寸'英寸\"%_");
    store::SetVar(QStringLiteral("产品定义XP1"), QStringLiteral("不是字段"));
    defineFields({{0, fieldName}, {4, QStringLiteral("  ")}});
    QCOMPARE(productFieldNames(), (QStringList{fieldName, "", "", "", "  ", "", "", "", "", ""}));
    QPointer<ProductFieldsDialog> fields = showProductFieldsDialog();
    QCOMPARE(fields->windowTitle(), QStringLiteral("自定义产品字段设置"));
    QCOMPARE(fields->box(0)->text(), fieldName);
    fields->close();

    const QStringList typed
            = {QStringLiteral("O'Brien \"精品\" 100%"), QStringLiteral("1"), QStringLiteral("   "),
               QString(40000, QChar(0x5907)) + "'", QStringLiteral("a'b';DROP TABLE Pro;--")};
    QPointer<ProductDialog> dialog = showProductDialog(0);
    for (int i = 0; i < typed.size(); ++i)
        dialog->box(i)->setText(typed.at(i));
    confirm(dialog);
    // Opened and saved again unchanged, nothing is cut or altered.
    dialog = showProductDialog(1);
    for (int i = 0; i < typed.size(); ++i)
        QCOMPARE(dialog->box(i)->text(), typed.at(i));
    confirm(dialog);
    QCOMPARE(field(QStringLiteral("Pro"), 1, QStringLiteral("Memo")).toString(), typed.at(3));
    QCOMPARE(field(QStringLiteral("Pro"), 1, QStringLiteral("P0")).toString(), typed.at(4));
    QCOMPARE(count(QStringLiteral("Pro")), 1);

    grid::Grid list;
    LoadProductList(list);
    QCOMPARE(titles(list).mid(4), (QStringList{"单位", fieldName, "  ", "备注"}));
    QCOMPARE(list.textMatrix(2, 2), typed.at(0));
}

// Deleting two selected products removes them with their five sales and
// three purchases, and nothing else; No, an empty list or a selection on
// the title row delete nothing.
void TestProducts::deleteWithSalesAndPurchases()
{
    const int a = addNamed(QStringLiteral("Pro"), QStringLiteral("甲"));
    const int b = addNamed(QStringLiteral("Pro"), QStringLiteral("乙"));
    const int c = addNamed(QStringLiteral("Pro"), QStringLiteral("丙"));
    for (const int product : {a, a, a, b, b, c, c})
        addTrade(QStringLiteral("Sale"), product, 1, 1);
    for (const int product : {a, b, b, c})
        addTrade(QStringLiteral("Pur"), product, 1, 1);

    grid::Grid empty;
    const ListColumns columns = productListColumns();
    grid::SetupGridColumns(empty, columns.keys, columns.titles);
    DeleteSelectedProducts(empty);
    grid::Grid list;
    LoadProductList(list);
    list.setRow(grid::kTitleRow);
    DeleteSelectedProducts(list);
    QVERIFY(m.prompts->questions.isEmpty());

    // Selected from the second row up to the first.
    list.setRow(3);
    list.setRowSel(2);
    m.prompts->answers = {false, true};
    DeleteSelectedProducts(list);
    QCOMPARE(count(QStringLiteral("Sale")), 7);
    DeleteSelectedProducts(list);
    const QString question = QStringLiteral(
            "您确定要删除选中的产品(删除产品将同时删除此产品相关的采购和销售记录)？");
    QCOMPARE(m.prompts->questions, (QStringList{question, question}));
    QCOMPARE(count(QStringLiteral("Pro")), 1);
    QCOMPARE(count(QStringLiteral("Sale"), QStringLiteral("PID=%1").arg(c)), 2);
    QCOMPARE(count(QStringLiteral("Sale")), 2);
    QCOMPARE(count(QStringLiteral("Pur"), QStringLiteral("PID=%1").arg(c)), 1);
    QCOMPARE(count(QStringLiteral("Pur")), 1);
    QCOMPARE(list.dataRows(), 1);
    QCOMPARE(list.textMatrix(2, 2), QStringLiteral("丙"));
}

QTEST_MAIN(TestProducts)
#include "tst_products.moc"
