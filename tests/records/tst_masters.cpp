#include "records/accountdialog.h"
#include "records/accounts.h"
#include "records/customerdialog.h"
#include "records/customers.h"
#include "records/logindialog.h"
#include "records/mergewindow.h"
#include "records/passworddialog.h"
#include "records/productdialog.h"
#include "records/productfieldsdialog.h"
#include "records/products.h"
#include "records/purchasedialog.h"
#include "records/rights.h"
#include "records/saledialog.h"
#include "records/staffdialog.h"
#include "records/vendordialog.h"
#include "records/vendors.h"

#include "grid/gridops.h"
#include "masterfixture.h"
#include "store/params.h"

#include <tuple>

using namespace Qt::StringLiterals;

using namespace records;
using namespace masterfixture;

namespace {

// The texts of every box of a master dialog.
template<typename Dialog>
QStringList boxTexts(const Dialog *dialog)
{
    QStringList texts;
    for (int i = 0; dialog->box(i); ++i)
        texts << dialog->box(i)->text();
    return texts;
}

// Opens table's dialog on record id (0: new, its number proposed with load).
MasterDialog *showDialog(const QString &table, int id, bool load = true)
{
    if (table == QLatin1String("Pro"))
        return showProductDialog(id, load);
    if (table == QLatin1String("Cus"))
        return showCustomerDialog(id, load);
    if (table == QLatin1String("Vendor"))
        return showVendorDialog(id);
    return showAccountDialog(id);
}

// Opens table's dialog on record id, optionally types texts and saves;
// returns the number box's text and the box texts as opened.
QPair<QString, QStringList> openDialog(const QString &table, int id, bool load = true,
                                       const QStringList *typed = nullptr)
{
    MasterDialog *dialog = showDialog(table, id, load);
    QPair<QString, QStringList> shown{dialog->idBox()->text(), boxTexts(dialog)};
    if (typed)
        save(dialog, *typed);
    return shown;
}

// Every row of every table of the current set, as text.
QStringList snapshot()
{
    QStringList rows;
    for (const QString table : {"Sale", "Pur", "Pro", "Cus", "Vendor", "Acc", "Staff", "参数"})
        for (const QString &row : queryRows(u"SELECT * FROM "_s + table))
            rows << table + QLatin1Char('|') + row;
    // A server keeps no order without ORDER BY: an updated row may move.
    rows.sort();
    return rows;
}

// Opens a window by name: a master or trade table's dialog on record id,
// Staff's, "fields" (the product-field names), "merge" (the product merge),
// "login" or "password". Returns it with its 确定 button and its number box.
std::tuple<QPointer<QWidget>, QPushButton *, QLineEdit *> openWindow(const QString &name, int id)
{
    if (name == QLatin1String("login")) {
        LoginDialog *d = ShowLoginDialog();
        return {d, d->loginButton(), nullptr};
    }
    if (name == QLatin1String("password")) {
        PasswordDialog *d = ShowPasswordDialog();
        return {d, d->button(0), nullptr};
    }
    if (name == QLatin1String("fields")) {
        ProductFieldsDialog *d = showProductFieldsDialog();
        return {d, d->button(0), nullptr};
    }
    if (name == QLatin1String("merge")) {
        MergeWindow *d = ShowMergeWindow(0);
        return {d, d->button(0), nullptr};
    }
    if (name == QLatin1String("Sale") || name == QLatin1String("Pur")) {
        TradeDialog *d = name == QLatin1String("Sale")
                                 ? static_cast<TradeDialog *>(ShowSaleDialog(id))
                                 : ShowPurchaseDialog(id);
        return {d, d->button(0), d->idBox()};
    }
    MasterDialog *d = name == QLatin1String("Staff") ? ShowStaffDialog(id) : showDialog(name, id);
    return {d, d->button(0), d->idBox()};
}

// openWindow, then changed as a user would; the box returned holds "新名".
std::tuple<QPointer<QWidget>, QPushButton *, QLineEdit *> openChanged(const QString &name, int id)
{
    const auto [window, ok, number] = openWindow(name, id);
    QLineEdit *typed = nullptr;
    if (auto *trade = qobject_cast<TradeDialog *>(window)) {
        trade->box(0)->setText(u"12"_s);
        typed = trade->box(4);
    } else if (auto *fields = qobject_cast<ProductFieldsDialog *>(window)) {
        typed = fields->box(0);
    } else if (auto *merge = qobject_cast<MergeWindow *>(window)) {
        for (int g : {0, 1})
            clickCell(merge->grid(g),
                      rowEndingWith(merge->grid(g), kMergeNameColumn, g ? "甲" : "乙"),
                      kMergeTickColumn);
    } else if (auto *master = qobject_cast<MasterDialog *>(window)) {
        typed = master->box(0);
        if (auto *staff = qobject_cast<StaffDialog *>(master))
            clickCell(staff->rightsGrid(), 2, kRightMarkColumn);
    }
    if (typed)
        typed->setText(u"新名"_s);
    return {window, ok, typed};
}

// 甲 and 乙 in every master, a sale and a purchase of 甲s, 甲s as defaults.
void fillMastersAndTrades()
{
    for (const char *table : {"Pro", "Cus", "Vendor", "Acc", "Staff"})
        for (const char *name : {"甲", "乙"}) {
            addNamed(QString::fromLatin1(table), QString::fromUtf8(name));
            store::SetVar(u"默认值_"_s + QLatin1String(table),
                          table[0] == 'S' ? u"00003|甲"_s : u"00001|甲"_s);
        }
    for (const char *trade : {"Sale (Dat, PID, CID", "Pur (Dat, PID, VID"})
        exec(u"INSERT INTO %1, AID, SID, Price, Num) VALUES "
             "(#2024-03-05#, 1, 1, 1, 3, 10, 1)"_s.arg(QLatin1String(trade)));
}

// Defines custom fields through the field dialog, as the user does.
void defineFields(const QMap<int, QString> &names)
{
    QStringList texts;
    for (int k = 0; k < kProductFieldCount; ++k)
        texts << names.value(k);
    save(showProductFieldsDialog(), texts);
}

QStringList titles(const grid::Grid &g)
{
    QStringList list;
    for (int c = 0; c < g.cols(); ++c)
        list << g.textMatrix(grid::kTitleRow, c);
    return list;
}

} // namespace

class TestMasters : public QObject
{
    Q_OBJECT

private slots:
    void init() { QVERIFY(m.setUp()); }
    void cleanup() { QVERIFY(m.tearDown()); }

    void proposedNumber_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("deleteFrom"); // rows deleted again afterwards
        QTest::addColumn<int>("deleteTo");
        QTest::addColumn<QString>("proposal");
        QTest::newRow("empty table") << "Pro" << 0 << 0 << 0 << "00001";
        // The proposal follows the highest number left, not the count of rows.
        QTest::newRow("1 to 9, 3 to 5 deleted") << "Pro" << 9 << 3 << 5 << "00010";
        QTest::newRow("1 to 7, 6 and 7 deleted") << "Pro" << 7 << 6 << 7 << "00006";
        QTest::newRow("vendors propose none") << "Vendor" << 2 << 0 << 0 << QString();
    }

    // The next number after the highest one, or none from the list's 添加记录.
    void proposedNumber()
    {
        QFETCH(QString, table);
        QFETCH(int, rows);
        QFETCH(int, deleteFrom);
        QFETCH(int, deleteTo);
        QFETCH(QString, proposal);
        for (int i = 1; i <= rows; ++i)
            addNamed(table, u"记录%1"_s.arg(i));
        exec(fill(u"DELETE * FROM %1 WHERE ID>=%2 AND ID<=%3"_s, table, deleteFrom, deleteTo));

        QCOMPARE(openDialog(table, 0).first, proposal);
        QCOMPARE(openDialog(table, 0, false).first, QString());
    }

    // A proposed number taken meanwhile is not overwritten on saving.
    void proposalIsNeverOverwritten()
    {
        for (int i = 1; i <= 7; ++i)
            addNamed(u"Pro"_s, u"产品%1"_s.arg(i));
        ProductDialog *dialog = showProductDialog(0);
        QCOMPARE(dialog->idBox()->text(), u"00008"_s);
        QCOMPARE(addNamed(u"Pro"_s, u"别处加的"_s), 8);
        save(dialog, {u"新产品"_s});
        QCOMPARE(field(u"Pro"_s, 8, u"Name"_s).toString(), u"别处加的"_s);
        QCOMPARE(count(u"Pro"_s, u"Name='新产品'"_s), 1);
    }

    // A price or discount box stores the leading number of what was typed.
    void typedNumbers()
    {
        // Product or customer, the text typed, the number stored, the text shown.
        const QList<std::tuple<bool, QString, double, QString>> cases
                = {{true, "12.5元", 12.5, "12.5"},
                   {false, "85%", 0.85, "85%"},
                   {false, "0.9", 0.9, "90%"},
                   // 0.57 × 100 is 56.99999999999999 in binary; the box shows 57%.
                   {false, "57%", 0.57, "57%"}};
        for (const auto &[product, typed, stored, shown] : cases) {
            const QString table = product ? u"Pro"_s : u"Cus"_s;
            const QStringList texts = {u"名称"_s, typed};
            const int id = openDialog(table, 0, true, &texts).first.toInt();
            QCOMPARE(field(table, id, product ? "Price" : "Disc").toDouble(), stored);
            QCOMPARE(openDialog(table, id).second.at(1), shown);
        }
    }

    // Every box keeps exactly what was typed, also saved again unchanged;
    // saving reloads the list only while it shows.
    void textsStoredExactly()
    {
        const QStringList samples
                = {u"O'Neil \"商行\" 100%"_s, u"   "_s, QString(40000, QChar(0x8def)) + "'",
                   u"'; DROP TABLE Cus; --"_s, u"备注%_\\"_s};
        // The table, its list, its number as shown when edited, its boxes.
        const QList<std::tuple<QString, int, QString, int>> tables
                = {{"Pro", kProductListTab, "00001", 4},
                   {"Cus", kCustomerListTab, "00001", 12},
                   {"Vendor", kVendorListTab, "00001", 10},
                   {"Acc", kAccountListTab, "1", 4}};
        for (const auto &[table, tab, number, boxes] : tables) {
            QStringList typed;
            for (int i = 0; i < boxes; ++i)
                typed << samples.at(i % samples.size());
            // Box 1 of products and customers holds a number.
            if (table == QLatin1String("Pro") || table == QLatin1String("Cus"))
                typed[1] = table == QLatin1String("Pro") ? u"1"_s : u"85%"_s;

            m.host.tab = tab;
            const int reloads = m.host.reloads;
            openDialog(table, 0, false, &typed);
            QCOMPARE(m.host.reloads, reloads + 1);
            m.host.tab = 0;
            const QStringList unchanged;
            const auto edited = openDialog(table, 1, true, &unchanged);
            QCOMPARE(edited.first, number);
            QCOMPARE(edited.second, typed);
            QCOMPARE(m.host.reloads, reloads + 1);
            QCOMPARE(openDialog(table, 1).second, typed);
            QCOMPARE(count(table), 1);
        }
    }

    // Fields 0 and 2 give two boxes bound to P0 and P2 and two list columns; a
    // cleared definition hides its column, the values stay. A refused write
    // keeps every definition and the typed names.
    void customFields()
    {
        defineFields({{0, u"颜色"_s}, {2, u"产地"_s}});
        QCOMPARE(m.host.reloads, 1);

        ProductDialog *dialog = showProductDialog(0);
        QCOMPARE(dialog->boxField(4), u"P0"_s);
        QCOMPARE(dialog->boxField(5), u"P2"_s);
        QVERIFY(!dialog->box(6));
        save(dialog, {u"甲"_s, "1", "只", "", u"红"_s, u"杭州"_s});

        grid::Grid list;
        LoadProductList(list);
        QCOMPARE(titles(list), (QStringList{"ID", "序号", "产品名称", "市场定价", "单位", "颜色",
                                            "产地", "最低库存", "备注"}));
        QCOMPARE(list.textMatrix(2, 6), u"杭州"_s);

        // A setting outside the family is never taken for a field.
        store::SetVar(u"产品定义XP1"_s, u"不是字段"_s);
        defineFields({{2, u"产地"_s}});
        LoadProductList(list);
        QCOMPARE(titles(list).mid(4), (QStringList{"单位", "产地", "最低库存", "备注"}));
        const QString quoted = u"尺寸'英寸\"%_"_s;
        defineFields({{0, quoted}, {2, u"产地"_s}});
        QCOMPARE(productFieldNames(),
                 (QStringList{quoted, "", "产地", "", "", "", "", "", "", ""}));
        LoadProductList(list);
        QCOMPARE(list.textMatrix(grid::kTitleRow, 5), quoted);
        QCOMPARE(list.textMatrix(2, 5), u"红"_s);

        const QStringList before = productFieldNames();
        const int reloads = m.host.reloads;
        testsupport::refuseWrites(u"INSERT"_s, u"参数"_s, u"NEW.Var='产品定义_P5'"_s);

        QPointer<ProductFieldsDialog> fields = showProductFieldsDialog();
        fields->box(0)->setText(u"色号"_s);
        fields->box(5)->setText(u"产地"_s);
        QTest::mouseClick(fields->button(0), Qt::LeftButton);
        QCOMPARE(m.takeMessages(), QStringList{u"记录保存失败，数据没有写入！"_s});
        QVERIFY(fields && fields->isVisible());
        QCOMPARE(fields->box(5)->text(), u"产地"_s);
        QCOMPARE(productFieldNames(), before);
        QCOMPARE(m.host.reloads, reloads);

        // Without the refused name the rest is stored.
        fields->box(5)->clear();
        QTest::mouseClick(fields->button(0), Qt::LeftButton);
        QTRY_VERIFY(fields.isNull());
        QCOMPARE(productFieldNames(),
                 (QStringList{"色号", "", "产地", "", "", "", "", "", "", ""}));
    }

    void deleteWithDependents_data()
    {
        // The table and the memos of the sales and purchases that stay.
        QTest::addColumn<QString>("table");
        QTest::addColumn<QStringList>("sales");
        QTest::addColumn<QStringList>("purchases");
        const QStringList all = {"r1", "r2", "r3", "r4", "r5", "r6"};
        QTest::newRow("Pro") << "Pro" << QStringList{"r3", "r6"} << QStringList{"r3", "r6"};
        QTest::newRow("Cus") << "Cus" << QStringList{"r2", "r4"} << all;
        QTest::newRow("Vendor") << "Vendor" << all << QStringList{"r2", "r4"};
        QTest::newRow("Acc") << "Acc" << QStringList{"r1", "r5"} << QStringList{"r1", "r5"};
    }

    // Deleting two of three records takes exactly the trades pointing to them
    // by their own key; No, or a selection on the title row, deletes nothing.
    void deleteWithDependents()
    {
        QFETCH(QString, table);
        QFETCH(QStringList, sales);
        QFETCH(QStringList, purchases);

        for (const char *name : {"A", "B", "C"})
            addNamed(table, QLatin1String(name));
        // Each key field holds every number twice, on different rows, so a
        // cascade on the wrong key takes other rows.
        const int trades[][3] = {{1, 2, 3}, {2, 3, 1}, {3, 1, 2}, {1, 3, 2}, {2, 1, 3}, {3, 2, 1}};
        for (int i = 0; i < 6; ++i)
            for (const char *trade : {"Sale", "Pur"})
                exec(fill(u"INSERT INTO %1 (Dat, PID, %2, AID, SID, Memo) "
                          "VALUES (#2024-03-05#, %3, %4, %5, 1, 'r%6')"_s,
                          trade, trade[0] == 'S' ? "CID" : "VID", trades[i][0], trades[i][1],
                          trades[i][2], i + 1));
        auto memos = [](const char *trade) {
            return queryRows(u"SELECT Memo FROM %1 ORDER BY ID"_s.arg(QLatin1String(trade)));
        };

        using Command = void (*)(grid::Grid &);
        const QMap<QString, QPair<Command, Command>> commands
                = {{"Pro", {LoadProductList, DeleteSelectedProducts}},
                   {"Cus", {LoadCustomerList, DeleteSelectedCustomers}},
                   {"Vendor", {LoadVendorList, DeleteSelectedVendors}},
                   {"Acc", {LoadFundAccountList, DeleteSelectedFundAccounts}}};
        const auto [load, deleteSelected] = commands.value(table);
        grid::Grid list;
        load(list);
        list.setRow(grid::kTitleRow);
        deleteSelected(list);
        QVERIFY(m.prompts->questions.isEmpty());
        list.setRow(3);
        list.setRowSel(2);
        m.prompts->answers = {false, true};
        deleteSelected(list);
        QCOMPARE(count(table) + count(u"Sale"_s) + count(u"Pur"_s), 15);
        deleteSelected(list);
        QCOMPARE(m.prompts->questions.size(), 2);
        QCOMPARE(column(list, 2), QStringList{u"C"_s});
        QCOMPARE(count(table), 1);
        QCOMPARE(memos("Sale"), sales);
        QCOMPARE(memos("Pur"), purchases);
    }

    // A saved vendor becomes the purchases' default; a customer's province, the
    // next customer's.
    void defaultsFromTheLastSave()
    {
        addNamed(u"Vendor"_s, u"甲供"_s);
        const QStringList added = {u"O'Brien \"钢材\""_s};
        openDialog(u"Vendor"_s, 0, true, &added);
        QCOMPARE(store::GetVar(u"默认值_Vendor"_s), u"00002|O'Brien \"钢材\""_s);

        CustomerDialog *dialog = showCustomerDialog(0, false);
        QCOMPARE(dialog->provinceBox()->currentText(), QString());
        dialog->provinceBox()->setCurrentText(u"广东省"_s);
        save(dialog, {u"甲客户"_s});
        QCOMPARE(field(u"Cus"_s, 1, u"Prov"_s).toString(), u"广东省"_s);
        QCOMPARE(showCustomerDialog(0)->provinceBox()->currentText(), u"广东省"_s);
    }

    void unsavedWindows_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<int>("id");
        QTest::addColumn<int>("tab"); // its list; -1: no refused write tried
        const char *windows[] = {"Sale", "Pur", "Pro", "Cus", "Vendor", "Acc", "Staff"};
        const int tabs[]
                = {0, 1, kProductListTab, kCustomerListTab, kVendorListTab, kAccountListTab, 7};
        for (int w = 0; w < 7; ++w)
            for (const int id : {0, tabs[w] == 7 ? 3 : 1}) // staff 1 and 2: 其他 and zunta
                QTest::addRow("%s %d", windows[w], id)
                        << QString::fromLatin1(windows[w]) << id << tabs[w];
        QTest::newRow("product fields") << "fields" << 0 << -1;
        QTest::newRow("merge") << "merge" << 0 << -1;
    }

    // A refused write says so and keeps the typing; a window left open over
    // another set's opening or a logout says so and closes. Nothing is stored
    // in either set and no list is reloaded.
    void unsavedWindows()
    {
        QFETCH(QString, window);
        QFETCH(int, id);
        QFETCH(int, tab);
        const QStringList files = {store::CurrentAccountFile, u"DATA00002.qdt"_s};
        QVERIFY(store::BuildTemplate(store::programFilePath(files.last())));
        QVector<QStringList> before;
        for (const QString &file : files) {
            store::CurrentAccountFile = file;
            fillMastersAndTrades();
            before << snapshot();
        }
        store::CurrentAccountFile = files.first();
        store::CurrentRights = kAllRights;
        store::CurrentUser = u"zunta"_s;
        store::CurrentUserID = 2;
        m.host.tab = tab;
        if (tab >= 0) {
            for (const QString &event : {u"INSERT"_s, u"UPDATE"_s})
                testsupport::refuseWrites(event, window);
            auto [shown, confirm, typed] = openChanged(window, id);
            m.prompts->answers = {true}; // a new sale may take the stock below zero
            QTest::mouseClick(confirm, Qt::LeftButton);
            QCOMPARE(m.takeMessages(), QStringList{u"记录保存失败，数据没有写入！"_s});
            QVERIFY(shown && shown->isVisible());
            QCOMPARE(typed->text(), u"新名"_s);
            shown->close();
        }
        for (const bool logout : {false, true}) {
            store::CurrentAccountFile = files.first();
            store::CurrentUserID = 2;
            auto [shown, confirm, typed] = openChanged(window, id);
            QVERIFY(shown);
            if (logout)
                store::CurrentUserID = 0;
            else
                store::CurrentAccountFile = files.last();
            QTest::mouseClick(confirm, Qt::LeftButton);
            QCOMPARE(m.takeMessages(),
                     QStringList{logout ? u"登录用户已改变，本窗口的修改没有保存！"_s
                                        : u"已打开另一个套账，本窗口的修改没有保存！"_s});
            QTRY_VERIFY(shown.isNull());
        }
        QCOMPARE(m.host.reloads, 0);
        for (int i = 0; i < files.size(); ++i) {
            store::CurrentAccountFile = files.at(i);
            QCOMPARE(snapshot(), before.at(i));
        }
    }

    // Focus starts in a box, not in the number, which takes no typing; 确定 is
    // the default and Esc closes storing nothing.
    void keyboard_data()
    {
        QTest::addColumn<QString>("dialog");
        for (const char *name :
             {"Pro", "Cus", "Vendor", "Acc", "Staff", "Sale", "Pur", "fields", "login", "password"})
            QTest::newRow(name) << QString::fromLatin1(name);
    }

    void keyboard()
    {
        QFETCH(QString, dialog);
        store::CurrentUserID = 1;
        store::CurrentUser = u"zunta"_s;
        store::CurrentRights = u"所有权限"_s;
        defineFields({{0, u"颜色"_s}, {2, u"产地"_s}});
        const QStringList before = snapshot();

        const auto [shown, ok, number] = openWindow(dialog, 0);
        QVERIFY(shown);
        QVERIFY(QTest::qWaitForWindowActive(shown));
        QVERIFY(ok->isDefault());
        // A firm's name and address are shown whole.
        const QString name = u"上海沪达紧固件有限公司浦东新区第二分公司"_s;
        if (dialog == QLatin1String("Cus") || dialog == QLatin1String("Vendor"))
            for (int i = 0; QLineEdit *box = static_cast<MasterDialog *>(shown.data())->box(i); ++i)
                QVERIFY(box->contentsRect().width() >= box->fontMetrics().horizontalAdvance(name));
        QWidget *focus = QApplication::focusWidget();
        QVERIFY(focus && shown->isAncestorOf(focus) && focus != number);
        if (number) {
            const QString proposed = number->text();
            QTest::keyClicks(number, u"9"_s);
            QCOMPARE(number->text(), proposed);
        }

        QTest::keyClick(focus, Qt::Key_Escape);
        QTRY_VERIFY(!shown || !shown->isVisible());
        // Only the login remembers the name typed.
        QStringList after = snapshot();
        after.removeIf([](const QString &row) { return row.startsWith(u"参数|最近用户名"_s); });
        QCOMPARE(after, before);
    }

    // 最低库存 is a number or nothing: other text is refused, the typing kept.
    void stockFloor()
    {
        QPointer<ProductDialog> dialog = showProductDialog(0, false);
        dialog->box(0)->setText(u"钢管"_s);
        dialog->floorBox()->setText(u"五个"_s);
        QTest::mouseClick(dialog->button(0), Qt::LeftButton);
        QCOMPARE(m.takeMessages().size(), 1);
        QVERIFY(dialog);
        QCOMPARE(count(u"Pro"_s), 0);
        dialog->floorBox()->setText(u" 2.5 "_s);
        save(dialog.data());
        QCOMPARE(field(u"Pro"_s, 1, u"MinNum"_s), QVariant(2.5));
        dialog = showProductDialog(1);
        dialog->floorBox()->clear();
        save(dialog.data());
        QVERIFY(field(u"Pro"_s, 1, u"MinNum"_s).isNull());
    }

private:
    Fixture m;
};

KORVO_TEST_ON_BOTH_ENGINES(TestMasters, QApplication)
#include "tst_masters.moc"
