#include "records/productdialog.h"
#include "records/productfieldsdialog.h"
#include "records/products.h"

#include "grid/grid.h"
#include "grid/gridops.h"
#include "masterfixture.h"
#include "store/params.h"
#include "ui/helpers.h"
#include "ui/progress.h"

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

QStringList keys(const grid::Grid &g)
{
    QStringList list;
    for (int c = 0; c < g.cols(); ++c)
        list << g.textMatrix(grid::kKeyRow, c);
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
    void fieldNamesStoredExactly();
    void textsStoredExactly();
    void deleteWithSalesAndPurchases();
    void deleteRefusedOrNothingSelected();
    void reloads();

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
    QTest::newRow("products 1 to 12") << 12 << ""
                                      << "00013";
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

    QCOMPARE(proposedMasterNumber(QStringLiteral("Pro")), proposal);
    ProductDialog *dialog = showProductDialog(0);
    QCOMPARE(dialog->windowTitle(), QStringLiteral("添加/编辑产品"));
    QCOMPARE(dialog->idBox()->text(), proposal);
    QVERIFY(ui::FormIsOpen(kProductDialogCaption));

    dialog = showProductDialog(0, false);
    QCOMPARE(dialog->idBox()->text(), QString());
    QVERIFY(dialog->box(0)->text().isEmpty());
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
    QTest::mouseClick(dialog->button(0), Qt::LeftButton);
    QTRY_VERIFY(dialog.isNull());
    QCOMPARE(field(QStringLiteral("Pro"), 8, QStringLiteral("Name")).toString(),
             QStringLiteral("别处加的"));
    QCOMPARE(count(QStringLiteral("Pro")), 9);
    QCOMPARE(count(QStringLiteral("Pro"), QStringLiteral("Name='新产品'")), 1);
}

void TestProducts::prices_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<double>("stored");
    QTest::addColumn<QString>("shown");
    QTest::newRow("yuan") << "12.5元" << 12.5 << "12.5";
    QTest::newRow("whole") << "30" << 30.0 << "30";
    QTest::newRow("leading spaces") << "  7kg" << 7.0 << "7";
    QTest::newRow("text") << "面议" << 0.0 << "0";
    QTest::newRow("empty") << "" << 0.0 << "0";
    QTest::newRow("two points") << "1.2.3" << 1.2 << "1.2";
}

// The list price is stored as the leading number of what was typed.
void TestProducts::prices()
{
    QFETCH(QString, typed);
    QFETCH(double, stored);
    QFETCH(QString, shown);

    QPointer<ProductDialog> dialog = showProductDialog(0);
    dialog->box(0)->setText(QStringLiteral("钢管"));
    dialog->box(1)->setText(typed);
    QTest::mouseClick(dialog->button(0), Qt::LeftButton);
    QTRY_VERIFY(dialog.isNull());

    QCOMPARE(field(QStringLiteral("Pro"), 1, QStringLiteral("Price")).toDouble(), stored);
    dialog = showProductDialog(1);
    QCOMPARE(dialog->idBox()->text(), QStringLiteral("00001"));
    QCOMPARE(dialog->box(1)->text(), shown);
}

// Fields defined in boxes 0 and 2 give the product dialog one more row with
// two boxes bound to P0 and P2, and the list the columns 颜色 and 产地
// between 单位 and 备注; a cleared definition hides its column, the values
// stay and come back with the definition.
void TestProducts::customFields()
{
    QPointer<ProductDialog> plain = showProductDialog(0);
    QCOMPARE(plain->addedRows(), 0);
    QVERIFY(plain->box(3));
    QVERIFY(!plain->box(4));
    plain->adjustSize();
    const int plainHeight = plain->height();
    plain->close();

    grid::Grid list;
    LoadProductList(list);
    QCOMPARE(titles(list), (QStringList{"ID", "序号", "产品名称", "市场定价", "单位", "备注"}));

    defineFields({{0, QStringLiteral("颜色")}, {2, QStringLiteral("产地")}});
    QCOMPARE(store::GetVar(QStringLiteral("产品定义_P0")), QStringLiteral("颜色"));
    QCOMPARE(store::GetVar(QStringLiteral("产品定义_P2")), QStringLiteral("产地"));
    QCOMPARE(count(QStringLiteral("参数"), QStringLiteral("Var LIKE '产品定义%'")), 2);

    QPointer<ProductDialog> dialog = showProductDialog(0);
    QCOMPARE(dialog->addedRows(), 1);
    QCOMPARE(dialog->boxField(4), QStringLiteral("P0"));
    QCOMPARE(dialog->boxField(5), QStringLiteral("P2"));
    QCOMPARE(dialog->label(4)->text(), QStringLiteral("颜色："));
    QCOMPARE(dialog->label(5)->text(), QStringLiteral("产地："));
    QVERIFY(!dialog->box(6));
    // Even index on the left, odd on the right, both in the new row.
    QVERIFY(dialog->box(4)->x() < dialog->box(5)->x());
    QCOMPARE(dialog->box(4)->y(), dialog->box(5)->y());
    QVERIFY(dialog->box(4)->y() > dialog->box(2)->y());
    QCOMPARE(dialog->box(4)->x(), dialog->box(2)->x());
    QCOMPARE(dialog->box(5)->x(), dialog->box(3)->x());
    dialog->adjustSize();
    QCOMPARE(dialog->height() - plainHeight, ui::pixels(480));

    dialog->box(0)->setText(QStringLiteral("衬衫"));
    dialog->box(4)->setText(QStringLiteral("红"));
    dialog->box(5)->setText(QStringLiteral("杭州"));
    QTest::mouseClick(dialog->button(0), Qt::LeftButton);
    QTRY_VERIFY(dialog.isNull());
    QCOMPARE(field(QStringLiteral("Pro"), 1, QStringLiteral("P0")).toString(),
             QStringLiteral("红"));
    QCOMPARE(field(QStringLiteral("Pro"), 1, QStringLiteral("P2")).toString(),
             QStringLiteral("杭州"));
    QVERIFY(field(QStringLiteral("Pro"), 1, QStringLiteral("P1")).isNull());

    LoadProductList(list);
    QCOMPARE(titles(list),
             (QStringList{"ID", "序号", "产品名称", "市场定价", "单位", "颜色", "产地", "备注"}));
    QCOMPARE(keys(list), (QStringList{"ID", "", "Name", "Price", "Unit", "P0", "P2", "Memo"}));
    QCOMPARE(list.tag(), QStringLiteral("Pro"));
    QCOMPARE(list.reportTitle(), QStringLiteral("产品表"));
    QCOMPARE(list.textMatrix(2, 5), QStringLiteral("红"));
    QCOMPARE(list.textMatrix(2, 6), QStringLiteral("杭州"));

    // Editing loads the custom boxes from their columns.
    dialog = showProductDialog(1);
    QCOMPARE(dialog->box(4)->text(), QStringLiteral("红"));
    QCOMPARE(dialog->box(5)->text(), QStringLiteral("杭州"));
    dialog->close();

    // The field dialog opens with the definitions in their boxes.
    QPointer<ProductFieldsDialog> fields = showProductFieldsDialog();
    QCOMPARE(fields->windowTitle(), QStringLiteral("自定义产品字段设置"));
    QCOMPARE(fields->box(0)->text(), QStringLiteral("颜色"));
    QCOMPARE(fields->box(1)->text(), QString());
    QCOMPARE(fields->box(2)->text(), QStringLiteral("产地"));
    fields->close();

    defineFields({{2, QStringLiteral("产地")}});
    LoadProductList(list);
    QCOMPARE(titles(list),
             (QStringList{"ID", "序号", "产品名称", "市场定价", "单位", "产地", "备注"}));
    QCOMPARE(field(QStringLiteral("Pro"), 1, QStringLiteral("P0")).toString(),
             QStringLiteral("红"));
    dialog = showProductDialog(1);
    QCOMPARE(dialog->boxField(4), QStringLiteral("P2"));
    QCOMPARE(dialog->label(4)->text(), QStringLiteral("产地："));
    dialog->close();

    defineFields({{0, QStringLiteral("色彩")}, {2, QStringLiteral("产地")}});
    LoadProductList(list);
    QCOMPARE(list.textMatrix(2, 5), QStringLiteral("红"));

    // Five fields take three rows; the last one sits on the left.
    defineFields({{1, "a"}, {3, "b"}, {5, "c"}, {7, "d"}, {9, "e"}});
    dialog = showProductDialog(0);
    QCOMPARE(dialog->addedRows(), 3);
    QCOMPARE(dialog->boxField(8), QStringLiteral("P9"));
    QCOMPARE(dialog->box(8)->x(), dialog->box(2)->x());
    dialog->adjustSize();
    QCOMPARE(dialog->height() - plainHeight, 3 * ui::pixels(480));
}

// Field names are stored and shown exactly as typed, quotes and % included,
// and a setting outside the family is never taken for a definition.
void TestProducts::fieldNamesStoredExactly()
{
    const QString quoted = QStringLiteral("尺寸'英寸\"%_");
    const QString spaces = QStringLiteral("  ");
    store::SetVar(QStringLiteral("产品定义XP1"), QStringLiteral("不是字段"));
    store::SetVar(QStringLiteral("产品定义_P12"), QStringLiteral("也不是"));
    defineFields({{3, quoted}, {4, spaces}});

    QCOMPARE(store::GetVar(QStringLiteral("产品定义_P3")), quoted);
    QCOMPARE(store::GetVar(QStringLiteral("产品定义_P4")), spaces);
    const QStringList names = productFieldNames();
    QCOMPARE(names.size(), 10);
    QCOMPARE(names.at(1), QString());
    QCOMPARE(names.at(3), quoted);
    QCOMPARE(names.at(4), spaces);

    grid::Grid list;
    LoadProductList(list);
    QCOMPARE(titles(list),
             (QStringList{"ID", "序号", "产品名称", "市场定价", "单位", quoted, spaces, "备注"}));
    QPointer<ProductFieldsDialog> fields = showProductFieldsDialog();
    QCOMPARE(fields->box(3)->text(), quoted);
    QCOMPARE(fields->box(1)->text(), QString());
}

// Names, units and notes are stored and shown exactly as typed: quotes, %,
// only spaces and texts longer than a line edit holds by default.
void TestProducts::textsStoredExactly()
{
    defineFields({{0, QStringLiteral("规格")}});
    const QString name = QStringLiteral("O'Brien \"精品\" 100%");
    const QString unit = QStringLiteral("   ");
    const QString memo = QString(40000, QChar(0x5907)) + QStringLiteral("'");
    const QString custom = QStringLiteral("a'b';DROP TABLE Pro;--");

    QPointer<ProductDialog> dialog = showProductDialog(0);
    dialog->box(0)->setText(name);
    dialog->box(2)->setText(unit);
    dialog->box(3)->setText(memo);
    dialog->box(4)->setText(custom);
    QTest::mouseClick(dialog->button(0), Qt::LeftButton);
    QTRY_VERIFY(dialog.isNull());

    QCOMPARE(field(QStringLiteral("Pro"), 1, QStringLiteral("Name")).toString(), name);
    QCOMPARE(field(QStringLiteral("Pro"), 1, QStringLiteral("Unit")).toString(), unit);
    QCOMPARE(field(QStringLiteral("Pro"), 1, QStringLiteral("Memo")).toString(), memo);
    QCOMPARE(field(QStringLiteral("Pro"), 1, QStringLiteral("P0")).toString(), custom);

    // Saved again unchanged, nothing is cut or altered.
    dialog = showProductDialog(1);
    QCOMPARE(dialog->box(0)->text(), name);
    QCOMPARE(dialog->box(2)->text(), unit);
    QCOMPARE(dialog->box(3)->text(), memo);
    QTest::mouseClick(dialog->button(0), Qt::LeftButton);
    QTRY_VERIFY(dialog.isNull());
    QCOMPARE(field(QStringLiteral("Pro"), 1, QStringLiteral("Memo")).toString(), memo);
    QCOMPARE(count(QStringLiteral("Pro")), 1);

    grid::Grid list;
    LoadProductList(list);
    QCOMPARE(list.textMatrix(2, 2), name);
    QCOMPARE(list.textMatrix(2, 4), unit);
}

// Deleting two selected products removes them with their five sales and
// three purchases, and nothing else.
void TestProducts::deleteWithSalesAndPurchases()
{
    const int a = addNamed(QStringLiteral("Pro"), QStringLiteral("甲"));
    const int b = addNamed(QStringLiteral("Pro"), QStringLiteral("乙"));
    const int c = addNamed(QStringLiteral("Pro"), QStringLiteral("丙"));
    for (int i = 0; i < 3; ++i)
        addTrade(QStringLiteral("Sale"), a, 1, 1);
    for (int i = 0; i < 2; ++i)
        addTrade(QStringLiteral("Sale"), b, 1, 1);
    for (int i = 0; i < 2; ++i)
        addTrade(QStringLiteral("Sale"), c, 1, 1);
    addTrade(QStringLiteral("Pur"), a, 1, 1);
    addTrade(QStringLiteral("Pur"), b, 1, 1);
    addTrade(QStringLiteral("Pur"), b, 1, 1);
    addTrade(QStringLiteral("Pur"), c, 1, 1);

    grid::Grid list;
    LoadProductList(list);
    QCOMPARE(list.dataRows(), 3);
    // Selected from the second row up to the first.
    list.setRow(3);
    list.setRowSel(2);
    m.prompts->answers = {true};
    DeleteSelectedProducts(list);

    QCOMPARE(m.prompts->questions,
             QStringList{QStringLiteral(
                     "您确定要删除选中的产品(删除产品将同时删除此产品相关的采购和销售记录)？")});
    QCOMPARE(count(QStringLiteral("Pro")), 1);
    QCOMPARE(count(QStringLiteral("Sale")), 2);
    QCOMPARE(count(QStringLiteral("Pur")), 1);
    QCOMPARE(count(QStringLiteral("Sale"), QStringLiteral("PID=%1").arg(c)), 2);
    QCOMPARE(count(QStringLiteral("Pur"), QStringLiteral("PID=%1").arg(c)), 1);
    QCOMPARE(list.dataRows(), 1);
    QCOMPARE(list.textMatrix(2, 2), QStringLiteral("丙"));
    QVERIFY(!ui::progressWindow());
}

// Answering No, an empty list or a selection on the title row delete nothing.
void TestProducts::deleteRefusedOrNothingSelected()
{
    const int a = addNamed(QStringLiteral("Pro"), QStringLiteral("甲"));
    addTrade(QStringLiteral("Sale"), a, 1, 1);
    addTrade(QStringLiteral("Pur"), a, 1, 1);

    grid::Grid empty;
    const ListColumns columns = productListColumns();
    grid::SetupGridColumns(empty, columns.keys, columns.titles);
    DeleteSelectedProducts(empty);
    QVERIFY(m.prompts->questions.isEmpty());

    grid::Grid list;
    LoadProductList(list);
    list.setRow(2);
    m.prompts->answers = {false};
    DeleteSelectedProducts(list);
    QCOMPARE(m.prompts->questions.size(), 1);

    list.setRow(grid::kTitleRow);
    DeleteSelectedProducts(list);
    QCOMPARE(m.prompts->questions.size(), 1);

    QCOMPARE(count(QStringLiteral("Pro")), 1);
    QCOMPARE(count(QStringLiteral("Sale")), 1);
    QCOMPARE(count(QStringLiteral("Pur")), 1);
    QCOMPARE(list.dataRows(), 1);
}

// Saving a product reloads the list only while the product tab shows;
// saving the field definitions always reloads the visible list.
void TestProducts::reloads()
{
    m.host.tab = kProductListTab;
    QPointer<ProductDialog> dialog = showProductDialog(0);
    QTest::mouseClick(dialog->button(0), Qt::LeftButton);
    QCOMPARE(m.host.reloads, 1);

    m.host.tab = 0;
    dialog = showProductDialog(1);
    QTest::mouseClick(dialog->button(0), Qt::LeftButton);
    QCOMPARE(m.host.reloads, 1);
    // An empty name is stored; editing keeps the one product.
    QCOMPARE(count(QStringLiteral("Pro")), 1);

    dialog = showProductDialog(1);
    dialog->box(0)->setText(QStringLiteral("不存"));
    QTest::mouseClick(dialog->button(1), Qt::LeftButton);
    QTRY_VERIFY(dialog.isNull());
    QCOMPARE(field(QStringLiteral("Pro"), 1, QStringLiteral("Name")).toString(), QString());

    defineFields({{0, QStringLiteral("颜色")}});
    QCOMPARE(m.host.reloads, 2);
    QPointer<ProductFieldsDialog> fields = showProductFieldsDialog();
    fields->box(0)->clear();
    QTest::mouseClick(fields->button(1), Qt::LeftButton);
    QTRY_VERIFY(fields.isNull());
    QCOMPARE(m.host.reloads, 2);
    QCOMPARE(store::GetVar(QStringLiteral("产品定义_P0")), QStringLiteral("颜色"));
}

QTEST_MAIN(TestProducts)
#include "tst_products.moc"
