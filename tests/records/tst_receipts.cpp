#include "records/customers.h"
#include "records/merge.h"
#include "records/receipts.h"
#include "records/settlementdialog.h"
#include "records/trades.h"

#include "masterfixture.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>

using namespace records;
using testsupport::exec;

namespace {

const SettlementKind &kindNamed(const QString &name)
{
    return name == QLatin1String("Rcv") ? receiptKind() : paymentKind();
}

// Customers (vendors) 1 甲 and 2 乙, account 1, and the records of 甲: two
// open ones dated out of ID order, a paid one, one whose amount has a tenth
// of a cent; and one of 乙.
void bookWithOpenRecords(const SettlementKind &kind)
{
    const QString &t = kind.trade->table;
    const QString &p = kind.trade->partnerTable;
    const QString &f = kind.trade->partnerField;
    exec(QStringLiteral("INSERT INTO %1 (ID,Name) VALUES (1,'甲')").arg(p));
    exec(QStringLiteral("INSERT INTO %1 (ID,Name) VALUES (2,'乙')").arg(p));
    exec(QStringLiteral("INSERT INTO Acc (ID,Name) VALUES (1,'现金')"));
    const char *rows[]
            = {"1,'2024-01-05',1,100,0", "2,'2024-01-03',1,50,20", "3,'2024-02-01',1,9.999,0",
               "4,'2024-01-01',1,10,10", "5,'2024-01-01',2,80,0"};
    for (const char *row : rows)
        exec(QStringLiteral("INSERT INTO %1 (ID,Dat,%2,Pay,Pay1) VALUES (%3)")
                     .arg(t, f, QLatin1String(row)));
}

QString paidAmounts(const SettlementKind &kind)
{
    store::RecordSet rs;
    store::OpenQuery(rs, QStringLiteral("SELECT Pay1 FROM %1 ORDER BY ID").arg(kind.trade->table));
    QStringList paid;
    for (; !rs.eof(); rs.moveNext())
        paid << plainNumber(rs.value(0).toDouble());
    return paid.join(QLatin1Char(' '));
}

SettlementResult pay(const SettlementKind &kind, const QString &amount, qint64 partner = 1,
                     qint64 account = 1, const QDate &date = QDate(2024, 3, 1))
{
    qint64 cents = 0;
    if (!parseAmount(amount, cents))
        return {};
    return settle(kind, {partner, cents, date, account, 2, QStringLiteral("备注")});
}

} // namespace

class TestReceipts : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { m_set = std::make_unique<testsupport::FolderWithSet>(); }
    void cleanup() { m_set.reset(); }
    void settlingPaysOldestFirstRefusesTooMuchAndUndoes_data();
    void settlingPaysOldestFirstRefusesTooMuchAndUndoes();
    void mergingAndDeletingTakeTheReceiptsAlong();
    void theDialogSettlesAndUndoesThroughItsWidgets();

private:
    std::unique_ptr<testsupport::FolderWithSet> m_set;
};

void TestReceipts::settlingPaysOldestFirstRefusesTooMuchAndUndoes_data()
{
    QTest::addColumn<QString>("table");
    QTest::newRow("receipts") << QStringLiteral("Rcv");
    QTest::newRow("payments") << QStringLiteral("Pmt");
}

// Open records are listed oldest first and paid in that order; an amount is
// rounded to the cent; refusals write nothing; undoing restores what was paid.
void TestReceipts::settlingPaysOldestFirstRefusesTooMuchAndUndoes()
{
    QFETCH(QString, table);
    const SettlementKind &kind = kindNamed(table);
    bookWithOpenRecords(kind);
    const QVector<OpenTrade> open = openTrades(kind, 1);
    QCOMPARE(open.size(), 3);
    QCOMPARE(QVector<int>({open[0].id, open[1].id, open[2].id}), QVector<int>({2, 1, 3}));
    QCOMPARE(totalOpen(open), qint64(14000)); // 30 + 100 + 10.00

    using Outcome = SettlementResult::Outcome;
    QCOMPARE(pay(kind, QStringLiteral("0")).outcome, Outcome::NotPositive);
    QCOMPARE(pay(kind, QStringLiteral("-5")).outcome, Outcome::NotPositive);
    QCOMPARE(pay(kind, QStringLiteral("0.004")).outcome, Outcome::NotPositive);
    QCOMPARE(pay(kind, QStringLiteral("140.01")).outcome, Outcome::AboveOwed);
    QCOMPARE(pay(kind, QStringLiteral("10"), 9).outcome, Outcome::PartnerMissing);
    QCOMPARE(pay(kind, QStringLiteral("10"), 1, 9).outcome, Outcome::AccountMissing);
    QVERIFY(settlementMessage(kind, pay(kind, QStringLiteral("140.01"))).contains("140.00"));
    QCOMPARE(testsupport::countRows(kind.table), 0);
    QCOMPARE(paidAmounts(kind), QStringLiteral("0 20 0 10 0"));

    // 100.004 is 100.00: the oldest (30 open) is settled, the next paid 70.
    const SettlementResult first = pay(kind, QStringLiteral("100.004"));
    QCOMPARE(first.outcome, Outcome::Done);
    QCOMPARE(first.leftOpen, qint64(4000));
    QCOMPARE(paidAmounts(kind), QStringLiteral("70 50 0 10 0"));
    const QString said = settlementMessage(kind, first);
    QVERIFY2(said.contains("0000002") && said.contains("0000001 部分") && said.contains("40.00"),
             qPrintable(said));
    // The exact rest settles both; the odd amount is paid as it stands.
    const SettlementResult second = pay(kind, QStringLiteral("40"), 1, 1, QDate(2024, 3, 2));
    QCOMPARE(second.outcome, Outcome::Done);
    QCOMPARE(second.leftOpen, qint64(0));
    QCOMPARE(paidAmounts(kind), QStringLiteral("100 50 9.999 10 0"));
    QCOMPARE(pay(kind, QStringLiteral("1")).outcome, Outcome::NothingOwed);

    const QVector<StoredSettlement> history = settlementHistory(kind, 1);
    QCOMPARE(history.size(), 2);
    QCOMPARE(history[0].id, second.id);
    QCOMPARE(history[1].cents, qint64(10000));
    QCOMPARE(history[1].lines, QStringLiteral("0000002 30.00，0000001 70.00"));
    QCOMPARE(history[1].account, QStringLiteral("现金"));

    // Undoing the first leaves the second's payments in place.
    QVERIFY(undoSettlement(kind, first.id));
    QCOMPARE(paidAmounts(kind), QStringLiteral("30 20 9.999 10 0"));
    QString message;
    QVERIFY(!undoSettlement(kind, first.id, &message));
    QVERIFY(message.contains("不存在"));
    QVERIFY(undoSettlement(kind, second.id));
    QCOMPARE(paidAmounts(kind), QStringLiteral("0 20 0 10 0"));
    QCOMPARE(testsupport::countRows(kind.lineTable), 0);
}

// A merged customer's receipts follow the kept one and still undo there; a
// deleted customer's receipts and their lines go with its sales.
void TestReceipts::mergingAndDeletingTakeTheReceiptsAlong()
{
    const SettlementKind &kind = receiptKind();
    bookWithOpenRecords(kind);
    const SettlementResult receipt = pay(kind, QStringLiteral("50"));
    QCOMPARE(receipt.outcome, SettlementResult::Outcome::Done);
    QCOMPARE(ReplaceName(QStringLiteral("Cus"), {1}, 2).outcome, MergeResult::Outcome::Merged);
    exec(QStringLiteral("INSERT INTO Acc (ID,Name) VALUES (2,'银行')"));
    QCOMPARE(ReplaceName(QStringLiteral("Acc"), {1}, 2).outcome, MergeResult::Outcome::Merged);
    QCOMPARE(settlementHistory(kind, 2).size(), 1);
    QCOMPARE(settlementHistory(kind, 2).first().account, QStringLiteral("银行"));
    QCOMPARE(totalOpen(openTrades(kind, 2)), qint64(17000)); // 80 of 乙 and 140 - 50 of 甲
    QVERIFY(undoSettlement(kind, receipt.id));
    QCOMPARE(totalOpen(openTrades(kind, 2)), qint64(22000));

    QCOMPARE(pay(kind, QStringLiteral("100")).outcome, SettlementResult::Outcome::PartnerMissing);
    QCOMPARE(pay(kind, QStringLiteral("100"), 2, 2).outcome, SettlementResult::Outcome::Done);
    exec(QStringLiteral("INSERT INTO Cus (ID,Name) VALUES (3,'丙')"));
    grid::Grid grid;
    LoadCustomerList(grid);
    const int row = masterfixture::rowEndingWith(&grid, 2, QStringLiteral("乙"));
    grid.setRow(row);
    grid.setRowSel(row);
    m_set->prompts.answers = {true};
    DeleteSelectedCustomers(grid);
    QCOMPARE(testsupport::countRows(QStringLiteral("Sale")), 0);
    QCOMPARE(testsupport::countRows(QStringLiteral("Rcv")), 0);
    QCOMPARE(testsupport::countRows(QStringLiteral("RcvLine")), 0);
    QCOMPARE(testsupport::countRows(QStringLiteral("Cus")), 1);
}

// The window opens for the one selected customer, refuses a text
// that is no amount, settles, undoes, and writes nothing for a customer
// deleted while it was open.
void TestReceipts::theDialogSettlesAndUndoesThroughItsWidgets()
{
    bookWithOpenRecords(receiptKind());
    store::CurrentUserID = 2;
    grid::Grid list;
    LoadCustomerList(list);
    const int row = masterfixture::rowEndingWith(&list, 2, QStringLiteral("甲"));
    list.setRow(row);
    list.setRowSel(row + 1);
    QVERIFY(!showSettlementDialog(receiptKind(), list, nullptr));
    QCOMPARE(m_set->prompts.messages.last(), QStringLiteral("请只选择一个客户再收款。"));
    list.setRowSel(row);
    QPointer<SettlementDialog> dialog = showSettlementDialog(receiptKind(), list, nullptr);
    QVERIFY(dialog);
    QCOMPARE(dialog->windowTitle(), QStringLiteral("收款 — 甲"));
    QCOMPARE(dialog->openList()->rowCount(), 3);
    QCOMPARE(dialog->openList()->item(0, 0)->text(), QStringLiteral("0000002"));
    QCOMPARE(dialog->openList()->item(2, 4)->text(), QStringLiteral("10.00"));
    QVERIFY(dialog->totalLabel()->text().endsWith(QStringLiteral("140.00")));

    const auto confirmAmount = [&](const QString &amount) {
        dialog->amountBox()->setText(amount);
        QTest::mouseClick(dialog->okButton(), Qt::LeftButton);
        return m_set->prompts.messages.last();
    };
    QCOMPARE(confirmAmount(QStringLiteral("三十")), QStringLiteral("请输入正确的收款金额。"));
    QVERIFY(confirmAmount(QStringLiteral("30")).contains(QStringLiteral("请选择收款账号")));
    dialog->accountBox()->setCurrentIndex(dialog->accountBox()->findText(QStringLiteral("现金")));
    QVERIFY(confirmAmount(QStringLiteral("30")).contains(QStringLiteral("结清销售记录：0000002")));
    QCOMPARE(dialog->openList()->rowCount(), 2);
    QCOMPARE(dialog->historyList()->rowCount(), 1);
    QCOMPARE(dialog->historyList()->item(0, 5)->text(), QStringLiteral("0000002 30.00"));

    dialog->historyList()->setCurrentCell(0, 0);
    m_set->prompts.answers = {true};
    QTest::mouseClick(dialog->undoButton(), Qt::LeftButton);
    QCOMPARE(dialog->historyList()->rowCount(), 0);
    QCOMPARE(dialog->openList()->rowCount(), 3);

    exec(QStringLiteral("DELETE * FROM Cus WHERE ID=1"));
    QVERIFY(confirmAmount(QStringLiteral("30")).contains(QStringLiteral("已不存在")));
    QCOMPARE(testsupport::countRows(QStringLiteral("Rcv")), 0);
    QTRY_VERIFY(!dialog);
}

QTEST_MAIN(TestReceipts)
#include "tst_receipts.moc"
