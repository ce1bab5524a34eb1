#include "app/commands.h"
#include "app/mainwindow.h"
#include "app/tabcontrol.h"

#include "grid/grid.h"
#include "grid/gridops.h"
#include "records/accountdialog.h"
#include "records/productdialog.h"
#include "records/productfieldsdialog.h"
#include "records/vendordialog.h"
#include "store/access.h"
#include "store/accountsets.h"
#include "store/schema.h"
#include "store/session.h"
#include "testsupport.h"
#include "ui/shellhost.h"

#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QtTest>

#include <memory>

using namespace app;

namespace {

void exec(const QString &sql)
{
    QVERIFY2(store::ExecSQL(sql), qPrintable(sql));
}

QStringList column(const grid::Grid &g, int col)
{
    QStringList texts;
    for (int r = g.fixedRows(); r < g.rows(); ++r)
        texts << g.textMatrix(r, col);
    return texts;
}

QWidget *openWindow(const QString &caption)
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->isVisible() && w->windowTitle() == caption)
            return w;
    return nullptr;
}

int count(const QString &table)
{
    store::RecordSet rs;
    store::OpenQuery(rs, QStringLiteral("SELECT * FROM ") + table);
    return rs.recordCount();
}

} // namespace

// The product, customer, vendor and fund-account tabs of the main window:
// their lists load when the tab shows, and add, edit, delete and 增删字段
// reach the master-list code with the user's rights; saving reloads the list.
class TestMasterCommands : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void productTab();
    void otherMasterTabs();

private:
    void login(const QString &rights);

    std::unique_ptr<testsupport::TempProgramFolder> m_folder;
    std::unique_ptr<testsupport::ScriptedPrompts> m_prompts;
    std::unique_ptr<MainWindow> m_window;
};

void TestMasterCommands::init()
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

    exec(QStringLiteral("INSERT INTO Pro (ID, Name, Price, Unit) VALUES (1, '钢管', 25, '根')"));
    exec(QStringLiteral("INSERT INTO Pro (ID, Name, Price, Unit) VALUES (2, '角铁', 12.5, '根')"));
    exec(QStringLiteral("INSERT INTO Cus (ID, Name, Disc) VALUES (1, '张三', 1)"));
    exec(QStringLiteral("INSERT INTO Vendor (ID, Name) VALUES (1, '东方')"));
    exec(QStringLiteral("INSERT INTO Acc (ID, Name) VALUES (1, '现金')"));
    exec(QStringLiteral("INSERT INTO Acc (ID, Name) VALUES (2, '建行')"));
    exec(QStringLiteral("INSERT INTO Sale (Dat, PID, CID, AID, SID) VALUES "
                        "('2024-03-01 08:00:00', 1, 1, 2, 2)"));
    exec(QStringLiteral("INSERT INTO Pur (Dat, PID, VID, AID, SID) VALUES "
                        "('2024-03-01 08:00:00', 1, 1, 2, 2)"));
}

void TestMasterCommands::cleanup()
{
    QList<QPointer<QWidget>> windows;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w != m_window.get())
            windows << w;
    for (const QPointer<QWidget> &w : std::as_const(windows))
        if (w)
            w->close();
    m_window.reset();
    commands().clear();
    ui::setShellHost(nullptr);
    store::CurrentUser.clear();
    store::CurrentRights.clear();
    QCOMPARE(m_prompts->messages, QStringList());
    m_prompts.reset();
    m_folder.reset();
}

void TestMasterCommands::login(const QString &rights)
{
    store::CurrentUserID = 2;
    store::CurrentUser = QStringLiteral("zunta");
    store::CurrentRights = rights;
    m_window->ApplyRights();
}

void TestMasterCommands::productTab()
{
    MainWindow &w = *m_window;
    login(QStringLiteral("产品数据查看;产品数据添加"));
    w.SST->setCurrentIndex(3);
    grid::Grid &g = *w.MSF[3];
    QCOMPARE(column(g, 2), (QStringList{"钢管", "角铁"}));
    QCOMPARE(g.reportTitle(), QStringLiteral("产品表"));
    QVERIFY(w.Com[61]->isEnabled());
    QVERIFY(!w.Com[62]->isEnabled());
    QVERIFY(!w.Com[67]->isEnabled());

    // No edit right: a double click opens nothing. 添加记录 opens the dialog
    // with an empty number box.
    g.setRow(2);
    w.MSF_DblClick(3);
    QVERIFY(!openWindow(records::kProductDialogCaption));
    w.Com_Click(61);
    auto *dialog
            = qobject_cast<records::ProductDialog *>(openWindow(records::kProductDialogCaption));
    QVERIFY(dialog);
    QCOMPARE(dialog->idBox()->text(), QString());
    dialog->box(0)->setText(QStringLiteral("槽钢"));
    QTest::mouseClick(dialog->button(0), Qt::LeftButton);
    QCOMPARE(column(g, 2), (QStringList{"钢管", "角铁", "槽钢"}));

    // 增删字段 needs 所有权限; the new column shows at once.
    login(QStringLiteral("所有权限"));
    QVERIFY(w.Com[67]->isEnabled());
    w.Com_Click(67);
    auto *fields = qobject_cast<records::ProductFieldsDialog *>(
            openWindow(records::kProductFieldsDialogCaption));
    QVERIFY(fields);
    fields->box(0)->setText(QStringLiteral("颜色"));
    QTest::mouseClick(fields->button(0), Qt::LeftButton);
    QCOMPARE(g.textMatrix(grid::kTitleRow, 5), QStringLiteral("颜色"));
    QCOMPARE(g.textMatrix(grid::kTitleRow, 6), QStringLiteral("备注"));

    // 删除记录 takes the product's sale and purchase with it.
    g.setRow(2);
    m_prompts->answers = {true};
    w.Com_Click(63);
    QCOMPARE(column(g, 2), (QStringList{"角铁", "槽钢"}));
    QCOMPARE(count(QStringLiteral("Sale")), 0);
    QCOMPARE(count(QStringLiteral("Pur")), 0);
}

void TestMasterCommands::otherMasterTabs()
{
    MainWindow &w = *m_window;
    login(QStringLiteral("客户数据查看"));
    w.SST->setCurrentIndex(4);
    QCOMPARE(column(*w.MSF[4], 2), QStringList{QStringLiteral("张三")});
    QCOMPARE(w.MSF[4]->reportTitle(), QStringLiteral("客户表"));
    QVERIFY(!w.Com[81]->isEnabled());
    w.SST->setCurrentIndex(5);
    QCOMPARE(w.MSF[5]->dataRows(), 0);

    login(QStringLiteral("所有权限"));
    w.SST_Click(0);
    grid::Grid &vendors = *w.MSF[5];
    QCOMPARE(column(vendors, 2), QStringList{QStringLiteral("东方")});
    w.Com_Click(101);
    auto *vendor = qobject_cast<records::VendorDialog *>(openWindow(records::kVendorDialogCaption));
    QVERIFY(vendor);
    vendor->box(0)->setText(QStringLiteral("安达"));
    QTest::mouseClick(vendor->button(0), Qt::LeftButton);
    QCOMPARE(column(vendors, 2), (QStringList{"安达", "东方"}));

    w.SST->setCurrentIndex(6);
    grid::Grid &accounts = *w.MSF[6];
    QCOMPARE(column(accounts, 2), (QStringList{"现金", "建行"}));
    QCOMPARE(accounts.reportTitle(), QStringLiteral("资金库列表"));
    accounts.setRow(3);
    w.MSF_DblClick(6);
    auto *account
            = qobject_cast<records::AccountDialog *>(openWindow(records::kAccountDialogCaption));
    QVERIFY(account);
    QCOMPARE(account->idBox()->text(), QStringLiteral("2"));
    account->close();

    m_prompts->answers = {true};
    w.Com_Click(123);
    QCOMPARE(column(accounts, 2), QStringList{QStringLiteral("现金")});
    QCOMPARE(count(QStringLiteral("Sale")), 0);
    QCOMPARE(count(QStringLiteral("Pur")), 0);
}

QTEST_MAIN(TestMasterCommands)
#include "tst_mastercommands.moc"
