#include "records/purchasedialog.h"
#include "records/purchases.h"

#include "grid/grid.h"
#include "store/access.h"
#include "store/programfolder.h"
#include "store/schema.h"
#include "store/session.h"
#include "testsupport.h"

#include <QApplication>
#include <QtTest>

#include <memory>

using namespace records;

namespace {

void exec(const QString &sql)
{
    QVERIFY2(store::ExecSQL(sql), qPrintable(sql));
}

void addPurchase(int pid, int vid, const QString &when, double price,
                 const QString &memo = QString())
{
    exec(QStringLiteral("INSERT INTO Pur (Dat, PID, VID, AID, SID, Price, Num, Pay, Pay1, Memo) "
                        "VALUES ('%1', %2, %3, 1, 2, %4, 1, %4, %4, %5)")
                 .arg(when)
                 .arg(pid)
                 .arg(vid)
                 .arg(price)
                 .arg(store::sqlText(memo)));
}

QStringList column(const grid::Grid &g, int col)
{
    QStringList texts;
    for (int r = g.fixedRows(); r < g.rows(); ++r)
        texts << g.textMatrix(r, col);
    return texts;
}

int purchaseCount()
{
    store::RecordSet rs;
    store::OpenQuery(rs, QStringLiteral("SELECT Count(*) FROM Pur"));
    return rs.valueAt(0, 0).toInt();
}

FilterBar vendorCondition(const QString &op, const QString &value)
{
    FilterBar bar;
    bar.textField = QStringLiteral("供应商    Vendor");
    bar.textOperator = op;
    bar.textValue = value;
    bar.numberField = QStringLiteral("售价  Price");
    bar.numberOperator = QStringLiteral("等于");
    return bar;
}

constexpr int kVendorColumn = 4;
constexpr int kMemoColumn = 11;

} // namespace

class TestPurchases : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void filterAndStatement();
    void listAndDelete();
    void priceHints();

private:
    std::unique_ptr<testsupport::TempProgramFolder> m_folder;
    std::unique_ptr<testsupport::ScriptedPrompts> m_prompts;
};

void TestPurchases::init()
{
    m_folder = std::make_unique<testsupport::TempProgramFolder>();
    m_prompts = std::make_unique<testsupport::ScriptedPrompts>();
    QString error;
    QVERIFY2(store::BuildTemplate(store::programFilePath(QStringLiteral("DATA00001.qdt")), &error),
             qPrintable(error));
    store::CurrentAccountFile = QStringLiteral("DATA00001.qdt");
    exec(QStringLiteral("INSERT INTO Pro (ID, Name, Price) VALUES (7, '钢管', 30)"));
    exec(QStringLiteral("INSERT INTO Pro (ID, Name, Price) VALUES (8, '角钢', 12.5)"));
    exec(QStringLiteral("INSERT INTO Acc (ID, Name) VALUES (1, '现金')"));
    exec(QStringLiteral("INSERT INTO Vendor (ID, Name) VALUES (3, '东方')"));
    exec(QStringLiteral("INSERT INTO Vendor (ID, Name) VALUES (4, '东方红')"));
    exec(QStringLiteral("INSERT INTO Vendor (ID, Name) VALUES (5, 'O''Brien')"));
}

void TestPurchases::cleanup()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        delete w;
    QCOMPARE(m_prompts->messages, QStringList());
    m_prompts.reset();
    m_folder.reset();
}

// The purchase filter names vendors and the Pur table; the statement joins
// the vendors.
void TestPurchases::filterAndStatement()
{
    FilterBar bar{
            QStringLiteral("供应商    Vendor"), QStringLiteral("等于"), QStringLiteral("东方"),
            QStringLiteral("数量  Num"),        QStringLiteral("大于"), QStringLiteral("10")};
    QCOMPARE(PurchaseFilter(bar), QStringLiteral(" AND Vendor.Name='东方'  AND Pur.Num>10"));
    bar = {QStringLiteral("备注      Memo"), QStringLiteral("包含"), QStringLiteral("急"),
           QStringLiteral("售价  Price"),    QStringLiteral("等于"), QString()};
    QCOMPARE(PurchaseFilter(bar), QStringLiteral(" AND Pur.Memo LIKE '%急%' "));
    // Customers are no column of a purchase.
    bar.textField = QStringLiteral("客户      Cus");
    QCOMPARE(PurchaseFilter(bar), QString());

    QCOMPARE(purchaseListSql(QDate(2024, 12, 31), QDate(2024, 12, 1), QString()),
             QStringLiteral("SELECT Pur.*,Acc.Name AS AID,Pro.Name AS PID,Vendor.Name AS VID,"
                            "Staff.Name AS SID FROM Pur,Acc,Pro,Vendor,Staff WHERE "
                            "Pur.AID=Acc.ID AND Pur.PID=Pro.ID AND Pur.VID=Vendor.ID AND "
                            "Pur.SID=Staff.ID AND Pur.Dat>=#2024-12-01# AND Pur.Dat<#2025-01-01#"));
}

// The purchase list joins the vendor names, filters by them exactly and
// deletes the selected purchases.
void TestPurchases::listAndDelete()
{
    addPurchase(7, 3, QStringLiteral("2024-01-10 09:00:00"), 28, QStringLiteral("a"));
    addPurchase(7, 4, QStringLiteral("2024-01-10 10:00:00"), 29, QStringLiteral("b"));
    addPurchase(8, 5, QStringLiteral("2024-01-10 23:59:59"), 11, QStringLiteral("c"));
    const QDate day(2024, 1, 10);

    grid::Grid g;
    LoadPurchaseList(g, day, day, vendorCondition(QStringLiteral("等于"), QStringLiteral("东方")));
    QCOMPARE(column(g, kVendorColumn), QStringList{QStringLiteral("东方")});
    QCOMPARE(g.tag(), QStringLiteral("Pur"));
    QCOMPARE(g.reportTitle(), QStringLiteral("采购表"));
    QCOMPARE(g.textMatrix(1, 7), QStringLiteral("采购价"));

    LoadPurchaseList(g, day, day,
                     vendorCondition(QStringLiteral("等于"), QStringLiteral("O'Brien")));
    QCOMPARE(column(g, kMemoColumn), QStringList{QStringLiteral("c")});

    LoadPurchaseList(g, day, day, vendorCondition(QStringLiteral("包含"), QString()));
    QCOMPARE(column(g, kMemoColumn), (QStringList{"a", "b", "c"}));
    g.setRow(3);
    g.setRowSel(2);
    m_prompts->answers = {true};
    DeleteSelectedPurchases(g);
    QCOMPARE(m_prompts->questions, QStringList{QStringLiteral("您确定要删除选中的采购记录？")});
    QCOMPARE(purchaseCount(), 1);
    QCOMPARE(column(g, kMemoColumn), QStringList{QStringLiteral("c")});
}

// The price hint is the vendor's latest price for the product, else the
// product's list price.
void TestPurchases::priceHints()
{
    // Entered out of date order; the later date wins, then the later entry.
    addPurchase(7, 3, QStringLiteral("2024-02-01 00:00:00"), 27);
    addPurchase(7, 3, QStringLiteral("2024-01-10 00:00:00"), 28);
    addPurchase(8, 3, QStringLiteral("2024-03-01 00:00:00"), 99);
    QCOMPARE(lastSupplyPrice(7, 3), QStringLiteral("27"));

    PurchasePriceHint hint = purchasePriceHint(7, 3);
    QCOMPARE(hint.value, QStringLiteral("27"));
    QCOMPARE(hint.tooltip, QStringLiteral("此产品该供应商上次供货价：27"));

    hint = purchasePriceHint(7, 4);
    QCOMPARE(hint.tooltip, QStringLiteral("此产品市场定价：30"));
    hint = purchasePriceHint(8, 0);
    QCOMPARE(hint.tooltip, QStringLiteral("此产品市场定价：12.5"));

    addPurchase(7, 3, QStringLiteral("2024-02-01 00:00:00"), 26.5);
    QCOMPARE(purchasePriceHint(7, 3).value, QStringLiteral("26.5"));
}

QTEST_MAIN(TestPurchases)
#include "tst_purchases.moc"
