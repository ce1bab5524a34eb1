#include "records/customers.h"
#include "records/merge.h"
#include "records/receipts.h"
#include "records/settlementdialog.h"
#include "records/trades.h"

#include "masterfixture.h"

using namespace Qt::StringLiterals;

using namespace records;
using testsupport::exec;

namespace {

// Partners 1 甲 and 2 乙, account 1; 甲's records: two open ones dated out of
// ID order, a paid one, one with a tenth of a cent; and one of 乙.
void bookWithOpenRecords(const SettlementKind &kind)
{
    const QString &t = kind.trade->table;
    const QString &p = kind.trade->partnerTable;
    const QString &f = kind.trade->partnerField;
    exec(u"INSERT INTO %1 (ID,Name) VALUES (1,'甲')"_s.arg(p));
    exec(u"INSERT INTO %1 (ID,Name) VALUES (2,'乙')"_s.arg(p));
    exec(u"INSERT INTO Acc (ID,Name) VALUES (1,'现金')"_s);
    const char *rows[]
            = {"1,'2024-01-05',1,100,0", "2,'2024-01-03',1,50,20", "3,'2024-02-01',1,9.999,0",
               "4,'2024-01-01',1,10,10", "5,'2024-01-01',2,80,0"};
    for (const char *row : rows)
        exec(u"INSERT INTO %1 (ID,Dat,%2,Pay,Pay1) VALUES (%3)"_s.arg(t, f, QLatin1String(row)));
}

QString paidAmounts(const SettlementKind &kind)
{
    store::RecordSet rs;
    store::OpenQuery(rs, u"SELECT Pay1 FROM %1 ORDER BY ID"_s.arg(kind.trade->table));
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
    return settle(kind, {partner, cents, date, account, 2, u"备注"_s});
}
} // namespace

class TestReceipts : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { m_set = std::make_unique<testsupport::FolderWithSet>(); }
    void cleanup() { m_set.reset(); }

    void settlingPaysOldestFirstRefusesTooMuchAndUndoes_data()
    {
        QTest::addColumn<bool>("payments");
        QTest::newRow("receipts") << false;
        QTest::newRow("payments") << true;
    }

    // Open records are paid oldest first; refusals write nothing; undoing
    // restores what was paid.
    void settlingPaysOldestFirstRefusesTooMuchAndUndoes()
    {
        QFETCH(bool, payments);
        const SettlementKind &kind = payments ? paymentKind() : receiptKind();
        bookWithOpenRecords(kind);
        const QVector<OpenTrade> open = openTrades(kind, 1);
        QCOMPARE(open.size(), 3);
        QCOMPARE(QVector<int>({open[0].id, open[1].id, open[2].id}), QVector<int>({2, 1, 3}));
        QCOMPARE(totalOpen(open), qint64(14000)); // 30 + 100 + 10.00

        using Outcome = SettlementResult::Outcome;
        for (const char *amount : {"0", "-5", "0.004"})
            QCOMPARE(pay(kind, QLatin1String(amount)).outcome, Outcome::NotPositive);
        QCOMPARE(pay(kind, u"140.01"_s).outcome, Outcome::AboveOwed);
        QCOMPARE(pay(kind, u"10"_s, 9).outcome, Outcome::PartnerMissing);
        QCOMPARE(pay(kind, u"10"_s, 1, 9).outcome, Outcome::AccountMissing);
        QVERIFY(settlementMessage(kind, pay(kind, u"140.01"_s)).contains("140.00"));
        QCOMPARE(testsupport::countRows(kind.table), 0);
        QCOMPARE(paidAmounts(kind), u"0 20 0 10 0"_s);

        // 100.004 is 100.00: the oldest (30 open) is settled, the next paid 70.
        const SettlementResult first = pay(kind, u"100.004"_s);
        QCOMPARE(first.outcome, Outcome::Done);
        QCOMPARE(first.leftOpen, qint64(4000));
        QCOMPARE(paidAmounts(kind), u"70 50 0 10 0"_s);
        const QString said = settlementMessage(kind, first);
        QVERIFY2(said.contains("0000002") && said.contains("0000001 部分")
                         && said.contains("40.00"),
                 qPrintable(said));
        // The exact rest settles both; the odd amount is paid as it stands.
        const SettlementResult second = pay(kind, u"40"_s, 1, 1, QDate(2024, 3, 2));
        QCOMPARE(second.outcome, Outcome::Done);
        QCOMPARE(second.leftOpen, qint64(0));
        QCOMPARE(paidAmounts(kind), u"100 50 9.999 10 0"_s);
        QCOMPARE(pay(kind, u"1"_s).outcome, Outcome::NothingOwed);

        const QVector<StoredSettlement> history = settlementHistory(kind, 1);
        QCOMPARE(history.size(), 2);
        QCOMPARE(history[0].id, second.id);
        QCOMPARE(history[1].cents, qint64(10000));
        QCOMPARE(history[1].lines, u"0000002 30.00，0000001 70.00"_s);
        QCOMPARE(history[1].account, u"现金"_s);

        // Undoing the first leaves the second's payments in place.
        QVERIFY(undoSettlement(kind, first.id));
        QCOMPARE(paidAmounts(kind), u"30 20 9.999 10 0"_s);
        QString message;
        QVERIFY(!undoSettlement(kind, first.id, &message));
        QVERIFY(message.contains("不存在"));
        QVERIFY(undoSettlement(kind, second.id));
        QCOMPARE(paidAmounts(kind), u"0 20 0 10 0"_s);
        QCOMPARE(testsupport::countRows(kind.lineTable), 0);
    }

    // A merged customer's receipts follow the kept one; a deleted customer's
    // go with its sales.
    void mergingAndDeletingTakeTheReceiptsAlong()
    {
        const SettlementKind &kind = receiptKind();
        bookWithOpenRecords(kind);
        const SettlementResult receipt = pay(kind, u"50"_s);
        QCOMPARE(receipt.outcome, SettlementResult::Outcome::Done);
        QCOMPARE(ReplaceName(u"Cus"_s, {1}, 2).outcome, MergeResult::Outcome::Merged);
        exec(u"INSERT INTO Acc (ID,Name) VALUES (2,'银行')"_s);
        QCOMPARE(ReplaceName(u"Acc"_s, {1}, 2).outcome, MergeResult::Outcome::Merged);
        QCOMPARE(settlementHistory(kind, 2).size(), 1);
        QCOMPARE(settlementHistory(kind, 2).first().account, u"银行"_s);
        QCOMPARE(totalOpen(openTrades(kind, 2)), qint64(17000)); // 80 of 乙 and 140 - 50 of 甲
        QVERIFY(undoSettlement(kind, receipt.id));
        QCOMPARE(totalOpen(openTrades(kind, 2)), qint64(22000));

        QCOMPARE(pay(kind, u"100"_s).outcome, SettlementResult::Outcome::PartnerMissing);
        QCOMPARE(pay(kind, u"100"_s, 2, 2).outcome, SettlementResult::Outcome::Done);
        exec(u"INSERT INTO Cus (ID,Name) VALUES (3,'丙')"_s);
        grid::Grid grid;
        LoadCustomerList(grid);
        const int row = masterfixture::rowEndingWith(&grid, 2, u"乙"_s);
        grid.setRow(row);
        grid.setRowSel(row);
        m_set->prompts.answers = {true};
        DeleteSelectedCustomers(grid);
        for (const char *table : {"Sale", "Rcv", "RcvLine"})
            QCOMPARE(testsupport::countRows(QLatin1String(table)), 0);
        QCOMPARE(testsupport::countRows(u"Cus"_s), 1);
    }

    // The window refuses a text that is no amount, settles, undoes, and writes
    // nothing for a customer deleted while it was open.
    void theDialogSettlesAndUndoesThroughItsWidgets()
    {
        bookWithOpenRecords(receiptKind());
        store::CurrentUserID = 2;
        grid::Grid list;
        LoadCustomerList(list);
        const int row = masterfixture::rowEndingWith(&list, 2, u"甲"_s);
        list.setRow(row);
        list.setRowSel(row + 1);
        QVERIFY(!showSettlementDialog(receiptKind(), list, nullptr));
        QCOMPARE(m_set->prompts.messages.last(), u"请只选择一个客户再收款。"_s);
        list.setRowSel(row);
        QPointer<SettlementDialog> dialog = showSettlementDialog(receiptKind(), list, nullptr);
        QVERIFY(dialog);
        QCOMPARE(dialog->openList()->rowCount(), 3);
        QCOMPARE(dialog->openList()->item(0, 0)->text(), u"0000002"_s);

        const auto confirmAmount = [&](const QString &amount) {
            dialog->amountBox()->setText(amount);
            QTest::mouseClick(dialog->okButton(), Qt::LeftButton);
            return m_set->prompts.messages.last();
        };
        QCOMPARE(confirmAmount(u"三十"_s), u"请输入正确的收款金额。"_s);
        QVERIFY(confirmAmount(u"30"_s).contains(u"请选择收款账号"_s));
        dialog->accountBox()->setCurrentIndex(dialog->accountBox()->findText(u"现金"_s));
        QVERIFY(confirmAmount(u"30"_s).contains(u"结清销售记录：0000002"_s));
        QCOMPARE(dialog->openList()->rowCount(), 2);
        QCOMPARE(dialog->historyList()->rowCount(), 1);

        dialog->historyList()->setCurrentCell(0, 0);
        m_set->prompts.answers = {true};
        QTest::mouseClick(dialog->undoButton(), Qt::LeftButton);
        QCOMPARE(dialog->historyList()->rowCount(), 0);
        QCOMPARE(dialog->openList()->rowCount(), 3);

        exec(u"DELETE * FROM Cus WHERE ID=1"_s);
        QVERIFY(confirmAmount(u"30"_s).contains(u"已不存在"_s));
        QCOMPARE(testsupport::countRows(u"Rcv"_s), 0);
        QTRY_VERIFY(!dialog);
    }

private:
    std::unique_ptr<testsupport::FolderWithSet> m_set;
};

KORVO_TEST_ON_BOTH_ENGINES(TestReceipts, QApplication)
#include "tst_receipts.moc"
