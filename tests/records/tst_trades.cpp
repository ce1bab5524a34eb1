#include "records/masterdialog.h"
#include "records/purchasedialog.h"
#include "records/purchases.h"
#include "records/saledialog.h"
#include "records/sales.h"

#include "grid/gridtotals.h"
#include "masterfixture.h"
#include "store/params.h"

using namespace Qt::StringLiterals;

using namespace records;
using namespace masterfixture;

namespace {

const QString kCustomerField = u"客户      Cus"_s;
const QString kVendorField = u"供应商    Vendor"_s;
const QString kMemoField = u"备注      Memo"_s;
constexpr int kPartyColumn = 4; // customer or vendor
constexpr int kMemoColumn = 11;

FilterBar textCondition(const QString &field, const QString &op, const QString &value = {})
{
    return FilterBar{field, op, value, u"售价  Price"_s, u"等于"_s, {}};
}

// A filter bar from its six texts joined by |.
FilterBar barOf(const QString &joined)
{
    const QStringList bar = joined.split(QLatin1Char('|'));
    return FilterBar{bar.at(0), bar.at(1), bar.at(2), bar.at(3), bar.at(4), bar.at(5)};
}

// A sale or purchase of product 7 by salesman 2 into account 1, with party.
void addRecord(const QString &table, int party, const QString &when, double price,
               const QString &memo = QString(), double num = 1)
{
    exec(fill(u"INSERT INTO %1 (Dat, PID, %2, AID, SID, Price, Num, Pay, Pay1, Memo) "
              "VALUES ('%3', 7, %4, 1, 2, %5, %6, %5, %5, %7)"_s,
              table, table == QLatin1String("Sale") ? "CID" : "VID", when, party, price, num,
              store::sqlText(memo)));
}

// Replaces a box's text as typing over the selected text does.
void typeInto(QLineEdit *edit, const QString &text)
{
    edit->setFocus();
    edit->selectAll();
    edit->insert(text);
}

// Price, quantity, receivable and received amount.
QStringList amounts(const TradeDialog *dialog)
{
    QStringList texts;
    for (int i = 0; i < 4; ++i)
        texts << dialog->box(i)->text();
    return texts;
}

// Picks an entry as from the list's drop-down.
void choose(TradeDialog *dialog, int list, const QString &entry)
{
    QComboBox *combo = dialog->list(list);
    combo->setCurrentIndex(combo->findText(entry));
    emit combo->activated(combo->currentIndex());
}
} // namespace

class TestTrades : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY(m.setUp());
        store::CurrentRights = u"所有权限"_s;
        exec(u"INSERT INTO Pro (ID, Name, Price) VALUES (7, '钢管', 25), (8, '角钢', 30)"_s);
        exec(u"INSERT INTO Cus (ID, Name, Disc) VALUES (1, '张三', 0.9), (2, '李四', 0.95)"_s);
        exec(u"INSERT INTO Acc (ID, Name) VALUES (1, '现金')"_s);
        exec(u"INSERT INTO Vendor (ID, Name) VALUES (3, '东方'), (4, '东方红')"_s);
        store::SetVar(u"默认值_Pro"_s, u"00007|钢管"_s);
        store::SetVar(u"默认值_Cus"_s, u"00001|张三"_s);
        store::SetVar(u"默认值_Staff"_s, u"00002|zunta"_s);
    }

    void cleanup() { QVERIFY(m.tearDown()); }

    // The filter text follows the bar exactly; values cannot change the statement.
    void filterText()
    {
        // Purchases or sales, the bar's six controls joined by |, the text.
        const QString cus = kCustomerField;
        const QList<std::tuple<bool, QString, QString>> cases
                = {// The initial text of the chooser has one blank less than its items.
                   {false, "产品     Pro|等于|管|||", " AND Pro.Name='管' "},
                   {false, cus + "|包含||数量  Num|大于|10", " AND Sale.Num>10"},
                   {false, cus + "|包含||数量  Num|小于|10", " AND Sale.Num<10"},
                   {false, cus + "|包含||售价  Price|等于|abc", " AND Sale.Price=0"},
                   {true, kVendorField + "|等于|东方|数量  Num|大于|10",
                    " AND Vendor.Name='东方'  AND Pur.Num>10"},
                   // Only the bar's own fields and operators reach the statement.
                   {false, "客户 Cus.ID=1 OR Cus.ID|等于|x|||", ""},
                   {false, cus + "|包含||ID  ID|等于|1", ""},
                   {true, cus + "|等于|x|||", ""}};
        for (const auto &[purchase, bar, expected] : cases)
            QCOMPARE(purchase ? PurchaseFilter(barOf(bar)) : SalesFilter(barOf(bar)), expected);
    }

    // A range lists its whole first and last day, given either way round; a
    // sale whose customer is gone is not listed.
    void wholeDays()
    {
        addRecord("Sale", 1, "2024-02-29 23:59:59", 10, "before");
        addRecord("Sale", 1, "2024-03-01 00:00:00", 10, "first day");
        addRecord("Sale", 1, "2024-03-05 23:59:00", 10, "last day");
        addRecord("Sale", 1, "2024-03-06 00:00:00", 10, "after");
        addRecord("Sale", 9, "2024-03-02 10:00:00", 10, "orphan");

        const FilterBar none = textCondition(kCustomerField, u"包含"_s);
        const QDate start(2024, 3, 1);
        const QDate end(2024, 3, 5);
        for (const bool reversed : {false, true}) {
            grid::Grid g;
            LoadSalesList(g, reversed ? end : start, reversed ? start : end, none);
            QCOMPARE(column(g, kMemoColumn), (QStringList{"first day", "last day"}));
            QCOMPARE(g.textMatrix(2, 6), u"zunta"_s);
        }
    }

    // Quotes, % and _ in a value find exactly the records that hold them.
    void literalValues()
    {
        const QStringList names
                = {"O'Neil", "ONeil", "'", "100%", "1000", "a_b", "axb", "a\\b", "a\\%b", "东方红"};
        for (int i = 0; i < names.size(); ++i) {
            for (const char *table : {"Cus", "Vendor"})
                exec(fill(u"INSERT INTO %1 (ID, Name) VALUES (%2, %3)"_s, table, i + 11,
                          store::sqlText(names.at(i))));
            const QString memo = i == 1 ? u"打五折50%"_s : u"打五折500"_s;
            addRecord("Sale", i + 11, "2024-05-01 12:00:00", 10, memo);
            addRecord("Pur", i + 11, "2024-05-01 12:00:00", 10, memo);
        }
        addRecord("Pur", 3, "2024-05-01 12:00:00", 10);
        const QString contains = u"包含"_s;
        const QString equals = u"等于"_s;
        // The field, the operator, the value and the names found.
        const QList<std::tuple<QString, QString, QString, QStringList>> cases
                = {{kCustomerField, equals, "O'Neil", {"O'Neil"}},
                   {kCustomerField, contains, "100%", {"100%"}},
                   {kMemoField, contains, "50%", {"ONeil"}},
                   {kCustomerField, contains, "a_b", {"a_b"}},
                   {kCustomerField, contains, "\\%", {"a\\%b"}},
                   {kCustomerField, equals, "x' OR '1'='1", {}},
                   {kVendorField, equals, "东方", {"东方"}}};
        const QDate day(2024, 5, 1);
        for (const auto &[field, op, value, found] : cases) {
            grid::Grid g;
            if (field == kVendorField)
                LoadPurchaseList(g, day, day, textCondition(field, op, value));
            else
                LoadSalesList(g, day, day, textCondition(field, op, value));
            QStringList shown = column(g, kPartyColumn);
            shown.sort();
            QCOMPARE(shown, found);
        }
    }

    // Deleting asks first and removes exactly the selected sales.
    void deleting()
    {
        grid::Grid g;
        const FilterBar none = textCondition(kCustomerField, u"包含"_s);
        const QDate day(2024, 6, 1);
        LoadSalesList(g, day, day, none);
        DeleteSelectedSales(g);
        QCOMPARE(m.prompts->questions, QStringList());

        for (int i = 1; i <= 6; ++i)
            addRecord("Sale", 1, "2024-06-01 08:00:00", 10, QString::number(i), i);
        LoadSalesList(g, day, day, none);
        // Rows 5 to 3, dragged upwards; the answer No keeps everything.
        m.prompts->answers = {false, true};
        for (int attempt = 0; attempt < 2; ++attempt) {
            g.setRow(5);
            g.setRowSel(3);
            DeleteSelectedSales(g);
            QCOMPARE(count(u"Sale"_s), attempt == 0 ? 6 : 3);
        }
        QCOMPARE(m.prompts->questions.size(), 2);
        LoadSalesList(g, day, day, none);
        QCOMPARE(column(g, kMemoColumn), (QStringList{"1", "5", "6"}));
    }

    // The 合计 line sums exactly the rows the filter lists, as SQL sums them,
    // and follows a deletion.
    void totalsLine()
    {
        exec(u"INSERT INTO Sale (Dat, PID, CID, AID, SID, Price, Num, Pay, Pay1, Memo) VALUES "
             "('2024-07-01 09:00:00', 7, 1, 1, 2, 10.05, 2.5, 25.13, 20, ''), "
             "('2024-07-01 09:00:00', 7, 2, 1, 2, 19.99, 1, 19.99, 19.99, ''), "
             "('2024-07-01 09:00:00', 7, 2, 1, 2, 5.5, -1, -5.5, -5.5, '退货'), "
             "('2024-07-01 09:00:00', 7, 1, 1, 2, 0.1, 3, 0.3, 0, ''), "
             "('2024-07-01 09:00:00', 7, 2, 1, 2, 1234567.89, 2, 2469135.78, 1000000, '')"_s);
        const QDate day(2024, 7, 1);
        const QString cus = kCustomerField;
        // The last lists all five and then deletes one.
        for (const QString &bar :
             {cus + "|等于|王五|||", cus + "|等于|李四|||", cus + "|包含||数量  Num|大于|1",
              kMemoField + "|包含|退|||", cus + "|包含||||"}) {
            const FilterBar filter = barOf(bar);
            grid::Grid g;
            grid::TotalsLine line(&g, u"未收金额"_s);
            LoadSalesList(g, day, day, filter);
            const grid::GridTotals totals = grid::gridTotals(g, {"Num", "Pay", "Pay1"});

            store::RecordSet rs;
            store::OpenQuery(rs, u"SELECT COUNT(*), SUM(Num), SUM(Pay), SUM(Pay1) FROM ("_s
                                         + salesListSql(day, day, SalesFilter(filter)) + ")");
            QVERIFY(rs.isOpen() && !rs.eof());
            QCOMPARE(totals.rows, rs.value(0).toInt());
            QCOMPARE(totals.columns.size(), 3);
            for (int i = 0; i < 3; ++i)
                QCOMPARE(totals.columns.at(i).thousandths,
                         std::llround(rs.value(i + 1).toDouble() * 1000));
            if (totals.rows < 5)
                continue;
            QCoreApplication::processEvents();
            QCOMPARE(line.text(), u"合计：5 行　　数量：7.5　　应收金额：2,469,175.70　　"
                                  "已收金额：1,000,034.49　　未收金额：1,469,141.21"_s);
            g.setRow(2);
            m.prompts->answers = {true};
            DeleteSelectedSales(g);
            QCoreApplication::processEvents();
            QVERIFY(line.text().startsWith(u"合计：4 行"_s));
        }
    }

    // A new sale offers list price × discount; price × quantity gives the
    // receivable, which gives the received amount until one is typed. An
    // empty list refuses the save.
    void newSale()
    {
        SaleDialog *dialog = ShowSaleDialog(0);
        // The default product and customer: 25 × 0.9.
        QCOMPARE(amounts(dialog), (QStringList{"22.5", "1", "22.5", "22.5"}));

        choose(dialog, 1, u"00002|李四"_s);
        QCOMPARE(dialog->box(0)->text(), u"23.75"_s);
        typeInto(dialog->box(0), u"20"_s);
        dialog->ListClick(2);
        dialog->ListClick(3);
        QCOMPARE(amounts(dialog), (QStringList{"20", "1", "20", "20"}));

        // The box typed into, the text, then the four amounts; tiny and huge
        // amounts are written in plain digits.
        const QStringList steps
                = QString::fromUtf8("1|4|20|4|80|80 3|50|20|4|80|50 4|急|20|4|80|50 "
                                    "0|25|25|4|100|100 2|75元|25|4|75元|75元 1|3kg|25|3kg|75|75 "
                                    "0|0.00001|0.00001|3kg|0.00003|0.00003 0|0.1|0.1|3kg|0.3|0.3 "
                                    "0|400000000000000|400000000000000|3kg|1200000000000000|"
                                    "1200000000000000")
                          .split(u' ');
        for (const QString &step : steps) {
            QStringList parts = step.split(u'|');
            const int box = parts.takeFirst().toInt();
            typeInto(dialog->box(box), parts.takeFirst());
            QCOMPARE(amounts(dialog), parts);
        }

        // No account chosen.
        QTest::mouseClick(dialog->button(0), Qt::LeftButton);
        QCOMPARE(m.takeMessages(), QStringList{u"产品/客户/收款账号/销售人员不能为空！"_s});
        QVERIFY(dialog->isVisible());
        QCOMPARE(count(u"Sale"_s), 0);
    }

    // Number boxes store their leading number, the memo as typed, the choices
    // become defaults; a sale taking the stock below zero asks first.
    void savingText()
    {
        QPointer<SaleDialog> dialog = ShowSaleDialog(0);
        dialog->list(2)->setCurrentIndex(0);
        typeInto(dialog->box(1), u"12kg"_s);
        typeInto(dialog->box(3), u"abc"_s);
        typeInto(dialog->box(4), u"O'Neil 要 100%"_s);
        dialog->datePicker()->setDate(QDate(2024, 3, 5));
        m.prompts->answers = {false, true};
        QTest::mouseClick(dialog->button(0), Qt::LeftButton);
        QVERIFY(dialog);
        QCOMPARE(count(u"Sale"_s), 0);
        confirm(dialog.data());
        QCOMPARE(m.prompts->questions, QStringList(2, "库存不足：当前库存 0，仍要保存吗？"));

        QCOMPARE(count(u"Sale"_s), 1);
        store::RecordSet rs;
        store::OpenQuery(rs, u"SELECT Num, Price, Pay, Pay1, AID, Memo, Dat FROM Sale"_s);
        const QDateTime day(QDate(2024, 3, 5), QTime(0, 0));
        const QVariantList expected = {12.0, 22.5, 270.0, 0.0, 1, u"O'Neil 要 100%"_s, day};
        for (int c = 0; c < expected.size(); ++c)
            QVERIFY2(rs.value(c) == expected.at(c), qPrintable(rs.value(c).toString()));
        QCOMPARE(store::GetVar(u"默认值_Acc"_s), u"00001|现金"_s);

        // Editing: only a change that lowers the stock further asks.
        m.prompts->questions.clear();
        dialog = ShowSaleDialog(1);
        typeInto(dialog->box(1), u"13"_s);
        QTest::mouseClick(dialog->button(0), Qt::LeftButton);
        QCOMPARE(m.prompts->questions, QStringList{"库存不足：当前库存 -12，仍要保存吗？"});
        typeInto(dialog->box(1), u"5"_s);
        confirm(dialog.data());
        QCOMPARE(m.prompts->questions.size(), 1);
        QCOMPARE(field(u"Sale"_s, 1, u"Num"_s).toDouble(), 5.0);
    }

    // Editing stores into the same row, keeping the time of day.
    void editingKeepsNumber()
    {
        exec(u"INSERT INTO Sale (ID, Dat, PID, CID, AID, SID, Price, Num, Pay, Pay1, "
             "Memo) VALUES "
             "(42, '2024-03-05 23:59:00', 8, 2, 1, 1, 31.5, 3, 94.5, 50, '旧')"_s);
        m.host.tab = 1;
        QPointer<SaleDialog> dialog = ShowSaleDialog(42);
        QCOMPARE(dialog->idBox()->text(), u"0000042"_s);
        QCOMPARE(dialog->list(0)->currentText(), u"00008|角钢"_s);
        QCOMPARE(amounts(dialog), (QStringList{"31.5", "3", "94.5", "50"}));
        QCOMPARE(dialog->datePicker()->date(), QDate(2024, 3, 5));

        typeInto(dialog->box(4), u"新"_s);
        confirm(dialog.data());
        QCOMPARE(count(u"Sale"_s), 1);
        QCOMPARE(field(u"Sale"_s, 42, u"Memo"_s).toString(), u"新"_s);
        QCOMPARE(field(u"Sale"_s, 42, u"Dat"_s).toDateTime(),
                 QDateTime(QDate(2024, 3, 5), QTime(23, 59)));
        // The purchase tab is showing: no reload of the sales.
        QCOMPARE(m.host.reloads, 0);
    }

    // The 添加 shortcuts follow the rights.
    void addShortcuts()
    {
        store::CurrentRights = u"销售数据添加;产品数据添加;账号数据添加"_s;
        QPointer<SaleDialog> dialog = ShowSaleDialog(0);
        QVERIFY(dialog->button(2)->isEnabled());
        QVERIFY(!dialog->button(3)->isEnabled() && !dialog->button(5)->isEnabled());
        store::CurrentRights = u"所有权限"_s;
        dialog->SetRight();
        QVERIFY(dialog->button(3)->isEnabled());
    }

    void shortcutsKeepHintsTrue_data()
    {
        // The list whose 添加 is pressed, the entry chosen before, the texts
        // typed (none: cancelled), then the list's entry, the price and hint.
        QTest::addColumn<bool>("purchase");
        QTest::addColumn<int>("list");
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QStringList>("typed");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("price");
        QTest::addColumn<QString>("tooltip");

        const auto row = [](const char *name, bool purchase, int list, const QString &chosen,
                            const QStringList &typed, const QString &shown, const QString &price,
                            const QString &tooltip) {
            QTest::newRow(name) << purchase << list << chosen << typed << shown << price << tooltip;
        };
        row("sale: product", false, 0, "00008|角钢", {"槽钢", "40"}, "00009|槽钢", "36",
            "产品标准定价：40");
        row("purchase: vendor", true, 1, "00003|东方", {"西方"}, "00005|西方", "",
            "此产品市场定价：25");
        row("purchase: vendor cancelled", true, 1, "00003|东方", {}, "00003|东方", "",
            "此产品该供应商上次供货价：27");
    }

    // After a 添加 shortcut the price and hints belong to the entries shown.
    void shortcutsKeepHintsTrue()
    {
        QFETCH(bool, purchase);
        QFETCH(int, list);
        QFETCH(QString, chosen);
        QFETCH(QStringList, typed);
        QFETCH(QString, shown);
        QFETCH(QString, price);
        QFETCH(QString, tooltip);
        addRecord("Pur", 3, "2024-02-01", 27);

        QPointer<TradeDialog> dialog;
        if (purchase)
            dialog = ShowPurchaseDialog(0);
        else
            dialog = ShowSaleDialog(0);
        choose(dialog, list == 0 ? 0 : 1, chosen);
        QTimer::singleShot(0, this, [typed] {
            for (QWidget *w : QApplication::topLevelWidgets()) {
                auto *master = qobject_cast<MasterDialog *>(w);
                if (!master || !master->isVisible())
                    continue;
                if (typed.isEmpty()) {
                    master->close();
                    continue;
                }
                for (int i = 0; i < typed.size(); ++i)
                    master->box(i)->setText(typed.at(i));
                QTest::mouseClick(master->button(0), Qt::LeftButton);
            }
        });
        QTest::mouseClick(dialog->button(list + 2), Qt::LeftButton);
        QVERIFY(dialog);
        QCOMPARE(dialog->list(list)->currentText(), shown);
        QCOMPARE(dialog->box(0)->text(), price);
        const QWidget *tipped = purchase ? static_cast<QWidget *>(dialog->box(0))
                                         : dialog->list(list == 0 ? 0 : 1);
        QCOMPARE(tipped->toolTip(), tooltip);
    }

    // A scanned code and Enter choose its one product and go on to the
    // quantity; a code of two chooses neither. Arrow keys and the wheel change nothing.
    void listKeys()
    {
        store::SetVar(u"产品定义_P2"_s, u"条码"_s);
        exec(u"INSERT INTO Pro (ID, Name, Price, P2) VALUES (9, '钢板', 40, '6902')"_s);
        exec(u"UPDATE Pro SET P2='6901' WHERE ID=7"_s);
        exec(u"UPDATE Pro SET P2='6902' WHERE ID=8"_s);
        SaleDialog *dialog = ShowSaleDialog(0);
        QVERIFY(QTest::qWaitForWindowActive(dialog));
        QComboBox *products = dialog->list(0);
        products->setFocus();
        for (const Qt::Key key : {Qt::Key_Down, Qt::Key_Up})
            QTest::keyClick(products, key);
        QWheelEvent wheel(QPointF(5, 5), products->mapToGlobal(QPointF(5, 5)), QPoint(),
                          QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(products, &wheel);
        QCOMPARE(dialog->chosen(0), u"00007|钢管"_s);

        const auto typeOver = [products](const QString &text) {
            products->lineEdit()->selectAll();
            QTest::keyClicks(products, text);
        };
        typeOver(u"6902"_s);
        QTest::keyClick(products->lineEdit(), Qt::Key_Return);
        QCOMPARE(dialog->chosen(0), QString());

        typeOver(u"6901"_s);
        QTest::keyClick(products->lineEdit(), Qt::Key_Return);
        QCOMPARE(dialog->chosen(0), u"00007|钢管"_s);
        QCOMPARE(dialog->box(0)->text(), u"22.5"_s);
        QVERIFY(dialog->box(1)->hasFocus());
        QCOMPARE(count(u"Sale"_s), 0);
    }

    // A new purchase has no price, only a hint: the list price, or the chosen
    // vendor's latest price for the product. It is stored in Pur.
    void purchaseDialog()
    {
        // Entered out of date order; a later purchase of another product.
        addRecord("Pur", 3, "2024-02-01", 27);
        addRecord("Pur", 3, "2024-01-10", 28);
        exec(u"INSERT INTO Pur (Dat, PID, VID, AID, SID, Price, Num) "
             "VALUES ('2024-03-01', 8, 3, 1, 2, 99, 1)"_s);
        store::SetVar(u"默认值_Acc"_s, u"00001|现金"_s);
        m.host.tab = 1;
        QPointer<PurchaseDialog> dialog = ShowPurchaseDialog(0);
        QCOMPARE(amounts(dialog), (QStringList{"", "1", "", "0"}));
        QCOMPARE(dialog->box(0)->toolTip(), u"此产品市场定价：25"_s);
        choose(dialog, 1, u"00003|东方"_s);
        QCOMPARE(dialog->box(0)->toolTip(), u"此产品该供应商上次供货价：27"_s);
        QCOMPARE(dialog->box(0)->text(), QString());
        choose(dialog, 1, u"00004|东方红"_s);
        QCOMPARE(dialog->box(0)->toolTip(), u"此产品市场定价：25"_s);

        typeInto(dialog->box(0), u"8.5元"_s);
        typeInto(dialog->box(1), u"10"_s);
        confirm(dialog.data());
        QCOMPARE(m.host.reloads, 1);
        QCOMPARE(field(u"Pur"_s, 4, u"Pay"_s).toDouble(), 85.0);
        QCOMPARE(field(u"Pur"_s, 4, u"VID"_s).toInt(), 4);
    }

    // 保存并继续 stores the line and clears it for the next, keeping date and
    // the other lists; the stock shown counts every purchase and sale.
    void saveAndContinue()
    {
        addRecord("Pur", 3, "2024-01-10", 20, QString(), 10.5);
        addRecord("Sale", 1, "2024-01-11", 30, QString(), 2);
        store::SetVar(u"默认值_Acc"_s, u"00001|现金"_s);
        SaleDialog *dialog = ShowSaleDialog(0);
        QCOMPARE(dialog->stockLabel()->text(), u"库存：8.5"_s);
        choose(dialog, 1, u"00002|李四"_s);
        dialog->datePicker()->setDate(QDate(2024, 2, 3));
        typeInto(dialog->box(1), u"3"_s);
        typeInto(dialog->box(4), u"第一行"_s);
        QTest::mouseClick(dialog->saveAndContinueButton(), Qt::LeftButton);
        QCOMPARE(count(u"Sale"_s), 2);
        QCOMPARE(field(u"Sale"_s, 2, u"Num"_s).toDouble(), 3.0);
        QCOMPARE(dialog->chosen(0), QString());
        QCOMPARE(amounts(dialog) << dialog->box(4)->text(), (QStringList{"", "", "", "", ""}));
        QCOMPARE((QStringList{dialog->chosen(1), dialog->chosen(2), dialog->chosen(3)}),
                 (QStringList{"00002|李四", "00001|现金", "00002|zunta"}));
        QCOMPARE(dialog->datePicker()->date(), QDate(2024, 2, 3));

        // The stock shown counts the line just stored.
        choose(dialog, 0, u"00007|钢管"_s);
        QCOMPARE(dialog->stockLabel()->text(), u"库存：5.5"_s);
    }

private:
    Fixture m;
};

KORVO_TEST_ON_BOTH_ENGINES(TestTrades, QApplication)
#include "tst_trades.moc"
