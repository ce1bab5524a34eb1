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
    void deleteWithSalesAndPurchases();

private:
    masterfixture::Fixture m;
};

// Editing account 3 shows 3 (not 00003); saving keeps the number and every
// text exactly as typed, and reloads the list only while it shows.
void TestAccounts::editShowsPlainNumber()
{
    for (int i = 1; i <= 4; ++i)
        addNamed(QStringLiteral("Acc"), QStringLiteral("账户%1").arg(i));
    m.host.tab = kAccountListTab;
    QPointer<AccountDialog> dialog = showAccountDialog(3);
    QCOMPARE(dialog->windowTitle(), QStringLiteral("添加/编辑资金账号"));
    QCOMPARE(dialog->idBox()->text(), QStringLiteral("3"));
    QCOMPARE(dialog->box(0)->text(), QStringLiteral("账户3"));
    const QStringList typed
            = {QStringLiteral("O'Neil \"账户\" 100%"), QStringLiteral("  "),
               QStringLiteral("'; DELETE FROM Acc; --"), QString(40000, QChar(0x8d26))};
    for (int i = 0; i < typed.size(); ++i)
        dialog->box(i)->setText(typed.at(i));
    QTest::mouseClick(dialog->button(0), Qt::LeftButton);
    QTRY_VERIFY(dialog.isNull());
    QCOMPARE(m.host.reloads, 1);
    QCOMPARE(count(QStringLiteral("Acc")), 4);
    AccountInfo info;
    QVERIFY(loadAccount(3, info));
    QCOMPARE(info.boxes, typed);

    m.host.tab = 4;
    dialog = showAccountDialog(3);
    QTest::mouseClick(dialog->button(0), Qt::LeftButton);
    QTRY_VERIFY(dialog.isNull());
    QCOMPARE(m.host.reloads, 1);
    QVERIFY(loadAccount(3, info));
    QCOMPARE(info.boxes, typed);

    grid::Grid list;
    LoadFundAccountList(list);
    QCOMPARE(list.tag(), QStringLiteral("Acc"));
    QCOMPARE(list.reportTitle(), QStringLiteral("资金库列表"));
    QCOMPARE(list.textMatrix(grid::kTitleRow, 3), QStringLiteral("开户行"));
    // Table order, not name order.
    QCOMPARE(list.textMatrix(2, 2), QStringLiteral("账户1"));
    QCOMPARE(list.textMatrix(4, 2), typed.at(0));
}

// A new account saved from the add shortcut (dialog opened with 0, waited
// for by its caption) is in the account list refilled after the wait.
void TestAccounts::newAccountFromShortcut()
{
    addNamed(QStringLiteral("Acc"), QStringLiteral("现金"));
    QPointer<AccountDialog> dialog = showAccountDialog(0);
    QCOMPARE(dialog->idBox()->text(), QString());
    QVERIFY(ui::FormIsOpen(kAccountDialogCaption));
    QTimer::singleShot(0, dialog, [dialog] {
        dialog->box(0)->setText(QStringLiteral("建行基本户"));
        QTest::mouseClick(dialog->button(0), Qt::LeftButton);
    });
    ui::WaitFormClosed(kAccountDialogCaption);

    QComboBox combo;
    ui::FillIdNameCombo(&combo, QStringLiteral("Acc"), QStringLiteral("Name"));
    QVERIFY(combo.findText(QStringLiteral("00002|建行基本户")) >= 0);
    QCOMPARE(count(QStringLiteral("Acc")), 2);
}

// Deleting an account used by two sales and one purchase removes those three
// rows and the account; other accounts' records stay.
void TestAccounts::deleteWithSalesAndPurchases()
{
    const int cash = addNamed(QStringLiteral("Acc"), QStringLiteral("现金"));
    const int bank = addNamed(QStringLiteral("Acc"), QStringLiteral("建行"));
    for (const int account : {cash, cash, bank})
        addTrade(QStringLiteral("Sale"), 1, 1, account);
    for (const int account : {cash, bank})
        addTrade(QStringLiteral("Pur"), 1, 1, account);

    grid::Grid g;
    LoadFundAccountList(g);
    g.setRow(2);
    m.prompts->answers = {false, true};
    DeleteSelectedFundAccounts(g);
    QCOMPARE(count(QStringLiteral("Sale")) + count(QStringLiteral("Pur")), 5);
    DeleteSelectedFundAccounts(g);
    const QString question = QStringLiteral(
            "您确定要删除选中的资金库(删除资金库将同时删除相关的采购和销售记录)？");
    QCOMPARE(m.prompts->questions, (QStringList{question, question}));
    QCOMPARE(count(QStringLiteral("Acc")), 1);
    QCOMPARE(count(QStringLiteral("Sale"), QStringLiteral("AID=%1").arg(bank)), 1);
    QCOMPARE(count(QStringLiteral("Pur"), QStringLiteral("AID=%1").arg(bank)), 1);
    QCOMPARE(count(QStringLiteral("Sale")) + count(QStringLiteral("Pur")), 2);
    QCOMPARE(g.dataRows(), 1);
    QCOMPARE(g.textMatrix(2, 2), QStringLiteral("建行"));
}

QTEST_MAIN(TestAccounts)
#include "tst_accounts.moc"
