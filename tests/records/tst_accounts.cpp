#include "records/accountdialog.h"
#include "records/accounts.h"

#include "grid/grid.h"
#include "grid/gridops.h"
#include "masterfixture.h"
#include "ui/helpers.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

using namespace records;
using masterfixture::addNamed;
using masterfixture::addTrade;
using masterfixture::count;
using masterfixture::field;

class TestAccounts : public QObject
{
    Q_OBJECT

private slots:
    void init() { QVERIFY(m.setUp()); }
    void cleanup() { QVERIFY(m.tearDown()); }

    void editShowsPlainNumber();
    void newAccountFromShortcut();
    void textsStoredExactly();
    void list();
    void deleteWithSalesAndPurchases();
    void reloads();

private:
    masterfixture::Fixture m;
};

// Editing account 3 shows 3 (not 00003); saving keeps the number.
void TestAccounts::editShowsPlainNumber()
{
    for (int i = 1; i <= 4; ++i)
        addNamed(QStringLiteral("Acc"), QStringLiteral("账户%1").arg(i));
    QPointer<AccountDialog> dialog = showAccountDialog(3);
    QCOMPARE(dialog->windowTitle(), QStringLiteral("添加/编辑资金账号"));
    QCOMPARE(dialog->idBox()->text(), QStringLiteral("3"));
    QCOMPARE(dialog->box(0)->text(), QStringLiteral("账户3"));
    dialog->box(1)->setText(QStringLiteral("工商银行"));
    dialog->box(2)->setText(QStringLiteral("6222 0000 1111"));
    QTest::mouseClick(dialog->button(0), Qt::LeftButton);
    QTRY_VERIFY(dialog.isNull());
    QCOMPARE(count(QStringLiteral("Acc")), 4);
    QCOMPARE(field(QStringLiteral("Acc"), 3, QStringLiteral("Bank")).toString(),
             QStringLiteral("工商银行"));
    QCOMPARE(field(QStringLiteral("Acc"), 3, QStringLiteral("Account")).toString(),
             QStringLiteral("6222 0000 1111"));
}

// A new account saved from the add shortcut (dialog opened with 0, waited
// for by its caption) is in the account list refilled after the wait.
void TestAccounts::newAccountFromShortcut()
{
    addNamed(QStringLiteral("Acc"), QStringLiteral("现金"));
    QPointer<AccountDialog> dialog = showAccountDialog(0);
    QCOMPARE(dialog->idBox()->text(), QString());
    QVERIFY(dialog->box(0)->text().isEmpty());
    QVERIFY(ui::FormIsOpen(kAccountDialogCaption));

    QTimer::singleShot(0, dialog, [dialog] {
        dialog->box(0)->setText(QStringLiteral("建行基本户"));
        QTest::mouseClick(dialog->button(0), Qt::LeftButton);
    });
    ui::WaitFormClosed(kAccountDialogCaption);
    QVERIFY(!ui::FormIsOpen(kAccountDialogCaption));

    QComboBox combo;
    ui::FillIdNameCombo(&combo, QStringLiteral("Acc"), QStringLiteral("Name"));
    QVERIFY(combo.findText(QStringLiteral("00002|建行基本户")) >= 0);
    QCOMPARE(count(QStringLiteral("Acc")), 2);
}

// Names, banks, account numbers and notes are stored as typed.
void TestAccounts::textsStoredExactly()
{
    const QStringList typed
            = {QStringLiteral("O'Neil \"账户\" 100%"), QStringLiteral("  "),
               QStringLiteral("'; DELETE FROM Acc; --"), QString(40000, QChar(0x8d26))};
    AccountInfo info;
    info.boxes = typed;
    const int id = saveAccount(0, info);
    QVERIFY(id > 0);
    QPointer<AccountDialog> dialog = showAccountDialog(id);
    for (int i = 0; i < typed.size(); ++i)
        QCOMPARE(dialog->box(i)->text(), typed.at(i));
    QTest::mouseClick(dialog->button(0), Qt::LeftButton);
    QTRY_VERIFY(dialog.isNull());
    AccountInfo loaded;
    QVERIFY(loadAccount(id, loaded));
    QCOMPARE(loaded.boxes, typed);
    QCOMPARE(count(QStringLiteral("Acc")), 1);
}

// The fund-account list is the whole table in table order.
void TestAccounts::list()
{
    addNamed(QStringLiteral("Acc"), QStringLiteral("现金"));
    addNamed(QStringLiteral("Acc"), QStringLiteral("建行"));
    addNamed(QStringLiteral("Acc"), QStringLiteral("工行"));
    grid::Grid g;
    LoadFundAccountList(g);
    QCOMPARE(g.tag(), QStringLiteral("Acc"));
    QCOMPARE(g.reportTitle(), QStringLiteral("资金库列表"));
    QStringList titles;
    for (int c = 0; c < g.cols(); ++c)
        titles << g.textMatrix(grid::kTitleRow, c);
    QCOMPARE(titles, (QStringList{"ID", "序号", "名称", "开户行", "账号", "备注"}));
    QCOMPARE(g.dataRows(), 3);
    QCOMPARE(g.textMatrix(2, 2), QStringLiteral("现金"));
    QCOMPARE(g.textMatrix(4, 2), QStringLiteral("工行"));
    QCOMPARE(g.textMatrix(4, 0), QStringLiteral("3"));
}

// Deleting an account used by two sales and one purchase removes those three
// rows and the account; other accounts' records stay.
void TestAccounts::deleteWithSalesAndPurchases()
{
    const int cash = addNamed(QStringLiteral("Acc"), QStringLiteral("现金"));
    const int bank = addNamed(QStringLiteral("Acc"), QStringLiteral("建行"));
    addTrade(QStringLiteral("Sale"), 1, 1, cash);
    addTrade(QStringLiteral("Sale"), 1, 1, cash);
    addTrade(QStringLiteral("Pur"), 1, 1, cash);
    addTrade(QStringLiteral("Sale"), 1, 1, bank);
    addTrade(QStringLiteral("Pur"), 1, 1, bank);

    grid::Grid g;
    LoadFundAccountList(g);
    g.setRow(2);
    m.prompts->answers = {false, true};
    DeleteSelectedFundAccounts(g);
    QCOMPARE(count(QStringLiteral("Acc")), 2);
    QCOMPARE(count(QStringLiteral("Sale")) + count(QStringLiteral("Pur")), 5);

    DeleteSelectedFundAccounts(g);
    const QString question = QStringLiteral(
            "您确定要删除选中的资金库(删除资金库将同时删除相关的采购和销售记录)？");
    QCOMPARE(m.prompts->questions, (QStringList{question, question}));
    QCOMPARE(count(QStringLiteral("Acc")), 1);
    QCOMPARE(count(QStringLiteral("Sale")), 1);
    QCOMPARE(count(QStringLiteral("Pur")), 1);
    QCOMPARE(count(QStringLiteral("Sale"), QStringLiteral("AID=%1").arg(bank)), 1);
    QCOMPARE(count(QStringLiteral("Pur"), QStringLiteral("AID=%1").arg(bank)), 1);
    QCOMPARE(g.dataRows(), 1);
    QCOMPARE(g.textMatrix(2, 2), QStringLiteral("建行"));
}

// Saving reloads the list only while the fund-account tab shows.
void TestAccounts::reloads()
{
    m.host.tab = kAccountListTab;
    QPointer<AccountDialog> dialog = showAccountDialog(0);
    QTest::mouseClick(dialog->button(0), Qt::LeftButton);
    QTRY_VERIFY(dialog.isNull());
    QCOMPARE(m.host.reloads, 1);

    m.host.tab = 4;
    dialog = showAccountDialog(1);
    QTest::mouseClick(dialog->button(0), Qt::LeftButton);
    QTRY_VERIFY(dialog.isNull());
    QCOMPARE(m.host.reloads, 1);

    m.host.tab = kAccountListTab;
    dialog = showAccountDialog(1);
    QTest::mouseClick(dialog->button(1), Qt::LeftButton);
    QTRY_VERIFY(dialog.isNull());
    QCOMPARE(m.host.reloads, 1);
    QCOMPARE(count(QStringLiteral("Acc")), 1);
}

QTEST_MAIN(TestAccounts)
#include "tst_accounts.moc"
