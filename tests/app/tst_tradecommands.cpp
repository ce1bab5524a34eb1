#include "app/commands.h"
#include "app/mainwindow.h"
#include "app/tabcontrol.h"

#include "grid/grid.h"
#include "records/purchasedialog.h"
#include "records/saledialog.h"
#include "store/access.h"
#include "store/accountsets.h"
#include "store/schema.h"
#include "store/session.h"
#include "testsupport.h"
#include "ui/helpers.h"
#include "ui/shellhost.h"

#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include <memory>

using namespace app;

namespace {

void exec(const QString &sql)
{
    QVERIFY2(store::ExecSQL(sql), qPrintable(sql));
}

QStringList memos(const grid::Grid &g)
{
    QStringList texts;
    for (int r = g.fixedRows(); r < g.rows(); ++r)
        texts << g.textMatrix(r, 11);
    return texts;
}

QWidget *openWindow(const QString &caption)
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->isVisible() && w->windowTitle() == caption)
            return w;
    return nullptr;
}

} // namespace

// The sales and purchase tabs of the main window: their lists follow the
// tab's dates and filter bar, and add, edit, delete, refresh, clear and
// search reach the sale and purchase code with the user's rights.
class TestTradeCommands : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void salesTab();
    void purchaseTab();

private:
    void login(const QString &rights);

    std::unique_ptr<testsupport::TempProgramFolder> m_folder;
    std::unique_ptr<testsupport::ScriptedPrompts> m_prompts;
    std::unique_ptr<MainWindow> m_window;
};

void TestTradeCommands::init()
{
    m_folder = std::make_unique<testsupport::TempProgramFolder>();
    m_prompts = std::make_unique<testsupport::ScriptedPrompts>();
    store::AccountSets.clear();
    QString error;
    QVERIFY2(store::EnsureTemplate(&error), qPrintable(error));
    QCOMPARE(store::CreateAccountSet(QStringLiteral("甲公司"), QStringLiteral("甲账")), 0);
    m_window = std::make_unique<MainWindow>();
    m_window->setQuitHandler([] {});
    ui::setShellHost(m_window.get());
    m_window->SelectAccountSet(0, false);
    registerCommands();

    exec(QStringLiteral("INSERT INTO Pro (ID, Name, Price) VALUES (1, '钢管', 25)"));
    exec(QStringLiteral("INSERT INTO Acc (ID, Name) VALUES (1, '现金')"));
    exec(QStringLiteral("INSERT INTO Cus (ID, Name, Disc) VALUES (1, 'O''Neil', 1)"));
    exec(QStringLiteral("INSERT INTO Cus (ID, Name, Disc) VALUES (2, '张三', 1)"));
    exec(QStringLiteral("INSERT INTO Vendor (ID, Name) VALUES (1, '东方')"));
    exec(QStringLiteral("INSERT INTO Vendor (ID, Name) VALUES (2, '东方红')"));
    const char *const sales[] = {
            "(7, '2024-03-01 08:00:00', 1, 1, 1, 2, 10, 12, 120, 120, 'a')",
            "(8, '2024-03-05 23:59:00', 1, 2, 1, 2, 10, 5, 50, 50, 'b')",
            "(9, '2024-03-06 00:00:00', 1, 2, 1, 2, 10, 5, 50, 50, 'c')",
    };
    for (const char *row : sales)
        exec(QStringLiteral("INSERT INTO Sale (ID, Dat, PID, CID, AID, SID, Price, Num, Pay, "
                            "Pay1, Memo) VALUES ")
             + QString::fromUtf8(row));
    exec(QStringLiteral("INSERT INTO Pur (Dat, PID, VID, AID, SID, Price, Num, Memo) VALUES "
                        "('2024-03-02', 1, 1, 1, 2, 8, 1, 'x')"));
    exec(QStringLiteral("INSERT INTO Pur (Dat, PID, VID, AID, SID, Price, Num, Memo) VALUES "
                        "('2024-03-02', 1, 2, 1, 2, 9, 1, 'y')"));
}

void TestTradeCommands::cleanup()
{
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (w != m_window.get())
            w->close();
    }
    m_window.reset();
    commands().clear();
    store::CurrentUser.clear();
    store::CurrentRights.clear();
    QCOMPARE(m_prompts->messages, QStringList());
    m_prompts.reset();
    m_folder.reset();
}

void TestTradeCommands::login(const QString &rights)
{
    store::CurrentUserID = 2;
    store::CurrentUser = QStringLiteral("zunta");
    store::CurrentRights = rights;
    m_window->ApplyRights();
}

void TestTradeCommands::salesTab()
{
    MainWindow &w = *m_window;
    login(QStringLiteral("销售数据查看;销售数据添加;销售数据删除"));
    w.SST->setCurrentIndex(0);
    // The range given backwards still covers both whole days.
    w.SDTP[0]->setDate(QDate(2024, 3, 5));
    w.SDTP[1]->setDate(QDate(2024, 3, 1));
    w.Com_Click(7);
    grid::Grid &g = *w.MSF[0];
    QCOMPARE(memos(g), (QStringList{"a", "b"}));
    QCOMPARE(g.reportTitle(), QStringLiteral("销售单"));

    // A name with a quote, as the value box offers it.
    w.CB[0]->setCurrentIndex(1);
    w.CB_Click(0);
    w.CB[1]->setCurrentIndex(1);
    QCOMPARE(w.CB[0]->currentText(), QStringLiteral("客户      Cus"));
    w.CB[2]->setEditText(QStringLiteral("O'Neil"));
    w.Com_Click(7);
    QCOMPARE(memos(g), QStringList{QStringLiteral("a")});
    w.CB[2]->setEditText(QString());
    w.CB[3]->setCurrentIndex(1);
    w.CB[4]->setCurrentIndex(0);
    w.CB[5]->setEditText(QStringLiteral("10"));
    w.Com_Click(7);
    QCOMPARE(memos(g), QStringList{QStringLiteral("a")});
    w.Com_Click(9);
    w.Com_Click(7);
    QCOMPARE(g.dataRows(), 2);

    // Without the edit right a double click opens nothing; 添加记录 opens an
    // empty dialog.
    g.setRow(3);
    w.MSF_DblClick(0);
    QVERIFY(!openWindow(records::kSaleDialogCaption));
    w.Com_Click(1);
    auto *dialog = qobject_cast<records::SaleDialog *>(openWindow(records::kSaleDialogCaption));
    QVERIFY(dialog);
    QCOMPARE(dialog->idBox()->text(), QString());
    dialog->close();

    login(QStringLiteral("销售数据查看;销售数据修改;销售数据删除"));
    g.setRow(3);
    w.Com_Click(2);
    dialog = qobject_cast<records::SaleDialog *>(openWindow(records::kSaleDialogCaption));
    QVERIFY(dialog);
    QCOMPARE(dialog->idBox()->text(), QStringLiteral("0000008"));
    // Saving reloads the sales list.
    dialog->box(4)->setText(QStringLiteral("b2"));
    QVERIFY(dialog->SaveSaleInfo());
    QCOMPARE(memos(g), (QStringList{"a", "b2"}));
    dialog->close();

    g.setRow(3);
    g.setRowSel(2);
    m_prompts->answers = {true};
    w.Com_Click(3);
    QCOMPARE(m_prompts->questions, QStringList{QStringLiteral("您确定要删除选中的销售记录？")});
    QCOMPARE(g.dataRows(), 0);
    w.Com_Click(7);
    QCOMPARE(g.dataRows(), 0);
}

void TestTradeCommands::purchaseTab()
{
    MainWindow &w = *m_window;
    login(QStringLiteral("所有权限"));
    w.SST->setCurrentIndex(1);
    w.SDTP[2]->setDate(QDate(2024, 3, 1));
    w.SDTP[3]->setDate(QDate(2024, 3, 31));
    w.CB[21]->setCurrentIndex(1);
    w.CB_Click(21);
    w.CB[22]->setCurrentIndex(1);
    w.CB[23]->setEditText(QStringLiteral("东方"));
    w.Com_Click(27);
    grid::Grid &g = *w.MSF[1];
    QCOMPARE(memos(g), QStringList{QStringLiteral("x")});
    QCOMPARE(g.reportTitle(), QStringLiteral("采购表"));

    g.setRow(2);
    w.MSF_DblClick(1);
    auto *dialog
            = qobject_cast<records::PurchaseDialog *>(openWindow(records::kPurchaseDialogCaption));
    QVERIFY(dialog);
    QCOMPARE(dialog->list(1)->currentText(), QStringLiteral("00001|东方"));
    QCOMPARE(dialog->box(0)->text(), QStringLiteral("8"));
}

QTEST_MAIN(TestTradeCommands)
#include "tst_tradecommands.moc"
