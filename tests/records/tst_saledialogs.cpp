#include "records/customerdialog.h"
#include "records/purchasedialog.h"
#include "records/saledialog.h"

#include "store/access.h"
#include "store/params.h"
#include "store/programfolder.h"
#include "store/schema.h"
#include "store/session.h"
#include "testsupport.h"
#include "ui/helpers.h"
#include "ui/shellhost.h"

#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include <memory>

using namespace records;

namespace {

class FakeHost : public ui::ShellHost
{
public:
    int tab = 0;
    int reloads = 0;

    void SelectAccountSet(int, bool) override {}
    void UpdateMainCaption() override {}
    void ApplyRights() override {}
    void SaveSettings() override {}
    void ReloadCurrentList() override { ++reloads; }
    int currentRecordTab() const override { return tab; }
    void ClearRecordGrids() override {}
    void ClearAnalysisGrids() override {}
    void ShowCurrentRecordTab() override {}
    void ShowCurrentAnalysisTab() override {}
};

void exec(const QString &sql)
{
    QVERIFY2(store::ExecSQL(sql), qPrintable(sql));
}

// Replaces a box's text the way the user does: select all, type.
void typeInto(QLineEdit *edit, const QString &text)
{
    edit->setFocus();
    edit->selectAll();
    // Key clicks for what a keyboard types directly; an input method hands
    // over Chinese text at once.
    bool ascii = true;
    for (const QChar c : text)
        ascii = ascii && c.unicode() < 0x80;
    if (ascii)
        QTest::keyClicks(edit, text);
    else
        edit->insert(text);
    QCOMPARE(edit->text(), text);
}

QStringList boxTexts(const TradeDialog *dialog)
{
    QStringList texts;
    for (int i = 0; i < 4; ++i)
        texts << dialog->box(i)->text();
    return texts;
}

// The stored row of a sale or purchase, by field.
QVariantMap storedRow(const QString &table, int id)
{
    QVariantMap row;
    store::RecordSet rs;
    store::OpenQuery(rs, QStringLiteral("SELECT * FROM %1 WHERE ID=%2").arg(table).arg(id));
    for (int c = 0; c < rs.fieldCount() && !rs.eof(); ++c)
        row.insert(rs.fieldName(c), rs.value(c));
    return row;
}

int rowCount(const QString &table)
{
    store::RecordSet rs;
    store::OpenQuery(rs, QStringLiteral("SELECT Count(*) FROM ") + table);
    return rs.valueAt(0, 0).toInt();
}

} // namespace

class TestSaleDialogs : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void newSaleProposal();
    void amountChain();
    void savingText();
    void editingKeepsNumber();
    void emptyListRefused();
    void rightsAndKeys();
    void addShortcut();
    void purchaseHints();
    void purchaseSave();

private:
    std::unique_ptr<testsupport::TempProgramFolder> m_folder;
    std::unique_ptr<testsupport::ScriptedPrompts> m_prompts;
    FakeHost m_host;
};

void TestSaleDialogs::init()
{
    m_folder = std::make_unique<testsupport::TempProgramFolder>();
    m_prompts = std::make_unique<testsupport::ScriptedPrompts>();
    QString error;
    QVERIFY2(store::BuildTemplate(store::programFilePath(QStringLiteral("DATA00001.qdt")), &error),
             qPrintable(error));
    store::CurrentAccountFile = QStringLiteral("DATA00001.qdt");
    store::CurrentRights = QStringLiteral("所有权限");
    exec(QStringLiteral("INSERT INTO Pro (ID, Name, Price) VALUES (7, '钢管', 25)"));
    exec(QStringLiteral("INSERT INTO Pro (ID, Name, Price) VALUES (8, '角钢', 30)"));
    exec(QStringLiteral("INSERT INTO Cus (ID, Name, Disc) VALUES (1, '张三', 0.9)"));
    exec(QStringLiteral("INSERT INTO Cus (ID, Name, Disc) VALUES (2, '李四', 0.95)"));
    exec(QStringLiteral("INSERT INTO Acc (ID, Name) VALUES (1, '现金')"));
    exec(QStringLiteral("INSERT INTO Vendor (ID, Name) VALUES (3, '东方')"));
    exec(QStringLiteral("INSERT INTO Vendor (ID, Name) VALUES (4, '西方')"));
    store::SetVar(QStringLiteral("默认值_Pro"), QStringLiteral("00007|钢管"));
    store::SetVar(QStringLiteral("默认值_Cus"), QStringLiteral("00001|张三"));
    store::SetVar(QStringLiteral("默认值_Staff"), QStringLiteral("00002|zunta"));
    m_host = FakeHost();
    ui::setShellHost(&m_host);
}

void TestSaleDialogs::cleanup()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        delete w;
    ui::setShellHost(nullptr);
    store::CurrentRights.clear();
    m_prompts.reset();
    m_folder.reset();
}

// A new sale offers the list price times the discount, and the amounts
// follow it; the hints show as tooltips.
void TestSaleDialogs::newSaleProposal()
{
    SaleDialog *dialog = ShowSaleDialog(0);
    QCOMPARE(dialog->windowTitle(), QStringLiteral("添加/编辑销售记录"));
    QCOMPARE(dialog->list(0)->currentText(), QStringLiteral("00007|钢管"));
    QCOMPARE(dialog->list(1)->currentText(), QStringLiteral("00001|张三"));
    // No saved account: nothing is chosen.
    QCOMPARE(dialog->list(2)->currentText(), QString());
    QCOMPARE(dialog->list(3)->currentText(), QStringLiteral("00002|zunta"));
    QCOMPARE(boxTexts(dialog), (QStringList{"22.5", "1", "22.5", "22.5"}));
    QCOMPARE(dialog->idBox()->text(), QString());
    QCOMPARE(dialog->datePicker()->date(), QDate::currentDate());
    QCOMPARE(dialog->list(0)->toolTip(), QStringLiteral("产品标准定价：25"));
    QCOMPARE(dialog->list(1)->toolTip(), QStringLiteral("此客户折扣：90%"));

    // Another customer proposes anew; 0.95 shows as 95 %.
    dialog->list(1)->setCurrentIndex(dialog->list(1)->findText(QStringLiteral("00002|李四")));
    dialog->ListClick(1);
    QCOMPARE(dialog->list(1)->toolTip(), QStringLiteral("此客户折扣：95%"));
    QCOMPARE(dialog->box(0)->text(), QStringLiteral("23.75"));
    // The account and salesman lists leave the price alone.
    typeInto(dialog->box(0), QStringLiteral("20"));
    dialog->ListClick(2);
    dialog->ListClick(3);
    QCOMPARE(dialog->box(0)->text(), QStringLiteral("20"));

    QCOMPARE(proposedSalePrice(QStringLiteral("25"), QString()), QStringLiteral("0"));
}

// Price × quantity gives the receivable amount, which gives the received
// amount; a typed received amount stays until price or quantity change.
void TestSaleDialogs::amountChain()
{
    SaleDialog *dialog = ShowSaleDialog(0);
    typeInto(dialog->box(1), QStringLiteral("4"));
    QCOMPARE(boxTexts(dialog), (QStringList{"22.5", "4", "90", "90"}));
    typeInto(dialog->box(3), QStringLiteral("50"));
    QCOMPARE(boxTexts(dialog), (QStringList{"22.5", "4", "90", "50"}));
    typeInto(dialog->box(4), QStringLiteral("急"));
    QCOMPARE(dialog->box(3)->text(), QStringLiteral("50"));
    typeInto(dialog->box(0), QStringLiteral("20"));
    QCOMPARE(boxTexts(dialog), (QStringList{"20", "4", "80", "80"}));
    // A typed receivable amount becomes the received amount as typed.
    typeInto(dialog->box(2), QStringLiteral("75元"));
    QCOMPARE(dialog->box(3)->text(), QStringLiteral("75元"));
    typeInto(dialog->box(1), QStringLiteral("3kg"));
    QCOMPARE(dialog->box(2)->text(), QStringLiteral("60"));
}

// Texts in number boxes store their leading number; the memo as typed; the
// choices become the next sale's defaults.
void TestSaleDialogs::savingText()
{
    m_host.tab = 0;
    QPointer<SaleDialog> dialog = ShowSaleDialog(0);
    dialog->list(2)->setCurrentIndex(0);
    typeInto(dialog->box(1), QStringLiteral("12kg"));
    typeInto(dialog->box(3), QStringLiteral("abc"));
    typeInto(dialog->box(4), QStringLiteral("O'Neil 要 100%"));
    dialog->datePicker()->setDate(QDate(2024, 3, 5));
    QTest::mouseClick(dialog->button(0), Qt::LeftButton);
    QTRY_VERIFY(!dialog);

    QCOMPARE(rowCount(QStringLiteral("Sale")), 1);
    store::RecordSet rs;
    store::OpenQuery(rs, QStringLiteral("SELECT * FROM Sale"));
    QCOMPARE(rs.value(QStringLiteral("Num")).toDouble(), 12.0);
    QCOMPARE(rs.value(QStringLiteral("Price")).toDouble(), 22.5);
    QCOMPARE(rs.value(QStringLiteral("Pay")).toDouble(), 270.0);
    QCOMPARE(rs.value(QStringLiteral("Pay1")).toDouble(), 0.0);
    QCOMPARE(rs.value(QStringLiteral("PID")).toInt(), 7);
    QCOMPARE(rs.value(QStringLiteral("CID")).toInt(), 1);
    QCOMPARE(rs.value(QStringLiteral("AID")).toInt(), 1);
    QCOMPARE(rs.value(QStringLiteral("SID")).toInt(), 2);
    QCOMPARE(rs.value(QStringLiteral("Memo")).toString(), QStringLiteral("O'Neil 要 100%"));
    QCOMPARE(rs.value(QStringLiteral("Dat")).toDateTime(),
             QDateTime(QDate(2024, 3, 5), QTime(0, 0)));
    QCOMPARE(store::GetVar(QStringLiteral("默认值_Acc")), QStringLiteral("00001|现金"));
    QCOMPARE(m_host.reloads, 1);
    QCOMPARE(m_prompts->messages, QStringList());
}

// Editing sale 42 shows its number and stored amounts and stores into the
// same row, keeping the time of day when the date is not changed.
void TestSaleDialogs::editingKeepsNumber()
{
    exec(QStringLiteral(
            "INSERT INTO Sale (ID, Dat, PID, CID, AID, SID, Price, Num, Pay, Pay1, Memo) VALUES "
            "(42, '2024-03-05 23:59:00', 8, 2, 1, 1, 31.5, 3, 94.5, 50, '旧')"));
    m_host.tab = 1;
    QPointer<SaleDialog> dialog = ShowSaleDialog(42);
    QCOMPARE(dialog->idBox()->text(), QStringLiteral("0000042"));
    QCOMPARE(dialog->list(0)->currentText(), QStringLiteral("00008|角钢"));
    QCOMPARE(dialog->list(1)->currentText(), QStringLiteral("00002|李四"));
    QCOMPARE(dialog->list(3)->currentText(), QStringLiteral("00001|其他"));
    QCOMPARE(boxTexts(dialog), (QStringList{"31.5", "3", "94.5", "50"}));
    QCOMPARE(dialog->box(4)->text(), QStringLiteral("旧"));
    QCOMPARE(dialog->datePicker()->date(), QDate(2024, 3, 5));
    QCOMPARE(dialog->list(0)->toolTip(), QStringLiteral("产品标准定价：30"));

    typeInto(dialog->box(4), QStringLiteral("新"));
    QTest::mouseClick(dialog->button(0), Qt::LeftButton);
    QTRY_VERIFY(!dialog);
    QCOMPARE(rowCount(QStringLiteral("Sale")), 1);
    const QVariantMap row = storedRow(QStringLiteral("Sale"), 42);
    QCOMPARE(row.value(QStringLiteral("Memo")).toString(), QStringLiteral("新"));
    QCOMPARE(row.value(QStringLiteral("Pay1")).toDouble(), 50.0);
    QCOMPARE(row.value(QStringLiteral("Dat")).toDateTime(),
             QDateTime(QDate(2024, 3, 5), QTime(23, 59)));
    // The purchase tab is showing: no reload of the sales.
    QCOMPARE(m_host.reloads, 0);

    // A sale that does not exist shows only its number; a number below 1
    // changes nothing.
    dialog = ShowSaleDialog(0);
    dialog->LoadSaleInfo(-3);
    QCOMPARE(dialog->idBox()->text(), QString());
    dialog->LoadSaleInfo(77);
    QCOMPARE(dialog->idBox()->text(), QStringLiteral("0000077"));
    // The choices saved with sale 42 are the defaults now: 30 × 0.95.
    QCOMPARE(dialog->box(0)->text(), QStringLiteral("28.5"));
}

// An empty list refuses the save with its message; the choices are still
// remembered and the dialog stays open.
void TestSaleDialogs::emptyListRefused()
{
    QPointer<SaleDialog> dialog = ShowSaleDialog(0);
    QCOMPARE(dialog->list(2)->currentText(), QString());
    QTest::mouseClick(dialog->button(0), Qt::LeftButton);
    QCOMPARE(m_prompts->messages,
             QStringList{QStringLiteral("产品/客户/收款账号/销售人员不能为空！")});
    QVERIFY(dialog && dialog->isVisible());
    QCOMPARE(rowCount(QStringLiteral("Sale")), 0);
    QCOMPARE(store::GetVar(QStringLiteral("默认值_Cus")), QStringLiteral("00001|张三"));

    exec(QStringLiteral("DELETE FROM Pro"));
    QPointer<PurchaseDialog> purchase = ShowPurchaseDialog(0);
    purchase->list(2)->setCurrentIndex(0);
    QTest::mouseClick(purchase->button(0), Qt::LeftButton);
    QCOMPARE(m_prompts->messages.last(), QStringLiteral("产品/供应商/收款账号/销售人员不能为空！"));
    QCOMPARE(rowCount(QStringLiteral("Pur")), 0);
    QCOMPARE(store::GetVar(QStringLiteral("默认值_Pro")), QString());
}

// The 添加 shortcuts follow the rights; the lists ignore typing.
void TestSaleDialogs::rightsAndKeys()
{
    store::CurrentRights = QStringLiteral("销售数据添加;产品数据添加;账号数据添加");
    SaleDialog *dialog = ShowSaleDialog(0);
    QVERIFY(dialog->button(2)->isEnabled());
    QVERIFY(!dialog->button(3)->isEnabled());
    QVERIFY(dialog->button(4)->isEnabled());
    QVERIFY(!dialog->button(5)->isEnabled());
    store::CurrentRights = QStringLiteral("供应商数据添加;员工数据添加");
    PurchaseDialog *purchase = ShowPurchaseDialog(0);
    QCOMPARE(purchase->windowTitle(), QStringLiteral("添加/编辑采购买记录"));
    QVERIFY(!purchase->button(2)->isEnabled());
    QVERIFY(purchase->button(3)->isEnabled());
    QVERIFY(purchase->button(5)->isEnabled());
    store::CurrentRights = QStringLiteral("所有权限");
    dialog->SetRight();
    for (int i = 2; i <= 5; ++i)
        QVERIFY(dialog->button(i)->isEnabled());

    QComboBox *products = dialog->list(0);
    products->setFocus();
    const int before = products->currentIndex();
    QTest::keyClick(products, Qt::Key_Down);
    QTest::keyClicks(products, QStringLiteral("0"));
    QCOMPARE(products->currentIndex(), before);
}

// 添加 beside the customer list opens the customer dialog for a new
// customer, waits for it and refills the list.
void TestSaleDialogs::addShortcut()
{
    QPointer<SaleDialog> dialog = ShowSaleDialog(0);
    QCOMPARE(dialog->list(1)->count(), 2);
    bool seen = false;
    QTimer::singleShot(0, this, [&] {
        auto *customer = qobject_cast<CustomerDialog *>([] {
            for (QWidget *w : QApplication::topLevelWidgets())
                if (w->isVisible() && w->windowTitle() == kCustomerDialogCaption)
                    return w;
            return static_cast<QWidget *>(nullptr);
        }());
        QVERIFY(customer);
        seen = true;
        customer->box(0)->setText(QStringLiteral("王五"));
        QTest::mouseClick(customer->button(0), Qt::LeftButton);
    });
    QTest::mouseClick(dialog->button(3), Qt::LeftButton);
    QVERIFY(seen);
    QVERIFY(dialog);
    QVERIFY(!ui::FormIsOpen(kCustomerDialogCaption));
    QCOMPARE(dialog->list(1)->count(), 3);
    // The selection goes back to the saved default.
    QCOMPARE(dialog->list(1)->currentText(), QStringLiteral("00001|张三"));

    // Closing the sale dialog while waiting leaves nothing to refill.
    QTimer::singleShot(0, this, [&] {
        dialog->close();
        for (QWidget *w : QApplication::topLevelWidgets())
            if (w->windowTitle() == QStringLiteral("添加/编辑资金账号"))
                w->close();
    });
    QTest::mouseClick(dialog->button(4), Qt::LeftButton);
    QTRY_VERIFY(!dialog);
}

// The price hint is the vendor's latest price for the product, else the list
// price; the price box itself is never filled.
void TestSaleDialogs::purchaseHints()
{
    exec(QStringLiteral("INSERT INTO Pur (Dat, PID, VID, AID, SID, Price, Num) VALUES "
                        "('2024-01-10', 7, 3, 1, 2, 28, 1)"));
    exec(QStringLiteral("INSERT INTO Pur (Dat, PID, VID, AID, SID, Price, Num) VALUES "
                        "('2024-02-01', 7, 3, 1, 2, 27, 1)"));
    // No vendor chosen: the list prices of the chosen products. A new
    // purchase has no price, quantity 1, no payable amount and nothing paid.
    PurchaseDialog *dialog = ShowPurchaseDialog(0);
    QCOMPARE(dialog->list(1)->currentText(), QString());
    QCOMPARE(boxTexts(dialog), (QStringList{"", "1", "", "0"}));
    QCOMPARE(dialog->box(0)->toolTip(), QStringLiteral("此产品市场定价：25"));
    dialog->list(0)->setCurrentIndex(dialog->list(0)->findText(QStringLiteral("00008|角钢")));
    dialog->ListClick(0);
    QCOMPARE(dialog->box(0)->toolTip(), QStringLiteral("此产品市场定价：30"));

    dialog->list(0)->setCurrentIndex(dialog->list(0)->findText(QStringLiteral("00007|钢管")));
    dialog->ListClick(0);
    dialog->list(1)->setCurrentIndex(dialog->list(1)->findText(QStringLiteral("00003|东方")));
    dialog->ListClick(1);
    QCOMPARE(dialog->box(0)->toolTip(), QStringLiteral("此产品该供应商上次供货价：27"));
    QCOMPARE(dialog->priceHint(), QStringLiteral("27"));
    QCOMPARE(dialog->box(0)->text(), QString());

    dialog->list(1)->setCurrentIndex(dialog->list(1)->findText(QStringLiteral("00004|西方")));
    dialog->ListClick(1);
    QCOMPARE(dialog->box(0)->toolTip(), QStringLiteral("此产品市场定价：25"));
    QCOMPARE(dialog->box(0)->text(), QString());

    typeInto(dialog->box(0), QStringLiteral("12.5"));
    QCOMPARE(boxTexts(dialog), (QStringList{"12.5", "1", "12.5", "12.5"}));
}

// A purchase is stored and edited like a sale, in Pur.
void TestSaleDialogs::purchaseSave()
{
    store::SetVar(QStringLiteral("默认值_Vendor"), QStringLiteral("00004|西方"));
    store::SetVar(QStringLiteral("默认值_Acc"), QStringLiteral("00001|现金"));
    m_host.tab = 1;
    QPointer<PurchaseDialog> dialog = ShowPurchaseDialog(0);
    typeInto(dialog->box(0), QStringLiteral("8.5元"));
    typeInto(dialog->box(1), QStringLiteral("10"));
    QTest::mouseClick(dialog->button(0), Qt::LeftButton);
    QTRY_VERIFY(!dialog);
    QCOMPARE(m_host.reloads, 1);

    store::RecordSet rs;
    store::OpenQuery(rs, QStringLiteral("SELECT ID FROM Pur"));
    QCOMPARE(rs.recordCount(), 1);
    const int id = rs.valueAt(0, 0).toInt();
    QVariantMap row = storedRow(QStringLiteral("Pur"), id);
    QCOMPARE(row.value(QStringLiteral("Price")).toDouble(), 8.5);
    QCOMPARE(row.value(QStringLiteral("Pay")).toDouble(), 85.0);
    QCOMPARE(row.value(QStringLiteral("VID")).toInt(), 4);

    dialog = ShowPurchaseDialog(id);
    QCOMPARE(dialog->idBox()->text(), QStringLiteral("%1").arg(id, 7, 10, QLatin1Char('0')));
    QCOMPARE(boxTexts(dialog), (QStringList{"8.5", "10", "85", "85"}));
    QCOMPARE(dialog->box(0)->toolTip(), QStringLiteral("此产品该供应商上次供货价：8.5"));
    typeInto(dialog->box(3), QStringLiteral("40"));
    QVERIFY(dialog->SavePurInfo());
    QCOMPARE(rowCount(QStringLiteral("Pur")), 1);
    QCOMPARE(storedRow(QStringLiteral("Pur"), id).value(QStringLiteral("Pay1")).toDouble(), 40.0);
}

QTEST_MAIN(TestSaleDialogs)
#include "tst_saledialogs.moc"
