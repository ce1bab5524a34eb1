#include "app/chartpicture.h"
#include "app/commands.h"
#include "app/mainwindow.h"
#include "app/splitbar.h"
#include "app/startup.h"
#include "app/tabcontrol.h"

#include "grid/grid.h"
#include "store/access.h"
#include "store/accountsets.h"
#include "store/schema.h"
#include "store/session.h"
#include "testsupport.h"
#include "ui/helpers.h"
#include "ui/shellhost.h"

#include <QAction>
#include <QComboBox>
#include <QDateEdit>
#include <QFrame>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

#include <memory>

using namespace app;

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void captionRule_data();
    void captionRule();
    void captionFollowsSetsAndUsers();
    void controlsAsDesigned();
    void rightsPlan_data();
    void rightsPlan();
    void rightsOnTheWindow();
    void logoutEmptiesEverything();
    void tabHandlerLoadsOnlyWithViewRight();
    void doubleClickNeedsEditRight();
    void commandsGoToTheRegistry();
    void registeredListsLoad();
    void remarkFieldLocksOperator();
    void numberValueTakesDigitsOnly();
    void keywordPlaceholder();
    void resizeLayout();
    void splitterStaysInsideFrame();

private:
    void login(const QString &user, const QString &rights);
    // A grid laid out like a list with one data row per ID.
    // Gives the window this outer size (frame included), in twips.
    static void resizeOuter(QWidget &window, int width, int height);
    static void fillGrid(grid::Grid &grid, const QStringList &ids, const QStringList &names);

    std::unique_ptr<testsupport::TempProgramFolder> m_folder;
    std::unique_ptr<testsupport::ScriptedPrompts> m_prompts;
    std::unique_ptr<MainWindow> m_window;
};

void TestMainWindow::init()
{
    m_folder = std::make_unique<testsupport::TempProgramFolder>();
    m_prompts = std::make_unique<testsupport::ScriptedPrompts>();
    store::AccountSets.clear();
    QString error;
    QVERIFY2(store::EnsureTemplate(&error), qPrintable(error));
    QCOMPARE(store::CreateAccountSet(QStringLiteral("甲公司"), QStringLiteral("甲账")), 0);
    QCOMPARE(store::CreateAccountSet(QStringLiteral("乙公司"), QStringLiteral("乙账")), 1);
    m_window = std::make_unique<MainWindow>();
    m_window->setQuitHandler([] {});
    ui::setShellHost(m_window.get());
    m_window->SelectAccountSet(0, false);
}

void TestMainWindow::cleanup()
{
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (w != m_window.get())
            w->close();
    }
    m_window.reset();
    commands().clear();
    store::CurrentUser.clear();
    store::CurrentRights.clear();
    m_prompts.reset();
    m_folder.reset();
}

void TestMainWindow::login(const QString &user, const QString &rights)
{
    store::CurrentUserID = 2;
    store::CurrentUser = user;
    store::CurrentRights = rights;
    m_window->ApplyRights();
    m_window->UpdateMainCaption();
}

void TestMainWindow::resizeOuter(QWidget &window, int width, int height)
{
    const QSize frame = window.frameGeometry().size() - window.size();
    window.resize(QSize(ui::pixels(width), ui::pixels(height)) - frame);
}

void TestMainWindow::fillGrid(grid::Grid &grid, const QStringList &ids, const QStringList &names)
{
    grid.setCols(3);
    grid.setRows(2 + ids.size());
    grid.setFixedRows(2);
    grid.setFixedCols(2);
    grid.setTextMatrix(0, 0, QStringLiteral("ID"));
    grid.setTextMatrix(1, 1, QStringLiteral("序号"));
    grid.setTextMatrix(1, 2, QStringLiteral("名称"));
    for (int i = 0; i < ids.size(); ++i) {
        grid.setTextMatrix(2 + i, 0, ids.at(i));
        grid.setTextMatrix(2 + i, 1, QString::number(i + 1));
        grid.setTextMatrix(2 + i, 2, names.at(i));
    }
    grid.setRow(2);
}

void TestMainWindow::captionRule_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("set");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("expected");
    const QString t = kDesignTitle;
    QTest::newRow("first open") << t << "A"
                                << "" << t + " >> A";
    QTest::newRow("another set") << t + " >> A"
                                 << "B"
                                 << "" << t + " >> B";
    QTest::newRow("user dropped") << t + " >> A=>U"
                                  << "B"
                                  << "" << t + " >> B";
    QTest::newRow("user added") << t + " >> A"
                                << "A"
                                << "U" << t + " >> A=>U";
    QTest::newRow("user replaced") << t + " >> A=>U"
                                   << "A"
                                   << "V" << t + " >> A=>V";
    QTest::newRow("name with separator") << t + " >> X >> Y=>U"
                                         << "Z"
                                         << "" << t + " >> Z";
}

// The title names the set and the user once, whatever it showed before.
void TestMainWindow::captionRule()
{
    QFETCH(QString, title);
    QFETCH(QString, set);
    QFETCH(QString, user);
    QFETCH(QString, expected);
    QCOMPARE(MainCaption(title, set, user), expected);
}

// Switching sets and users rewrites the window title without accumulating.
void TestMainWindow::captionFollowsSetsAndUsers()
{
    QCOMPARE(m_window->windowTitle(), QStringLiteral("Korvo进销存3.00 >> 甲账"));
    login(QStringLiteral("zunta"), QStringLiteral("所有权限"));
    QCOMPARE(m_window->windowTitle(), QStringLiteral("Korvo进销存3.00 >> 甲账=>zunta"));
    m_window->SelectAccountSet(1, true);
    QCOMPARE(m_window->windowTitle(), QStringLiteral("Korvo进销存3.00 >> 乙账"));
    QVERIFY(store::CurrentUser.isEmpty());
    QVERIFY(store::CurrentRights.isEmpty());
    QCOMPARE(store::CurrentAccountFile, store::AccountSets.at(1).FileName);
    m_window->SelectAccountSet(0, true);
    QCOMPARE(m_window->windowTitle(), QStringLiteral("Korvo进销存3.00 >> 甲账"));
    // Making a set current always asks for a login.
    QVERIFY(ui::FormIsOpen(QStringLiteral("请输入用户名及密码")));
}

// Tabs, buttons, boxes and menus carry the captions and indices the rest
// of the program addresses them by.
void TestMainWindow::controlsAsDesigned()
{
    MainWindow &w = *m_window;
    QCOMPARE(w.objectName(), QStringLiteral("MF"));
    const QStringList tabs = {"销售记录", "采购记录",   "数据分析",     "产品设置",
                              "客户设置", "供应商设置", "资金账号设置", "员工设置"};
    QCOMPARE(w.SST->count(), 8);
    for (int i = 0; i < 8; ++i)
        QCOMPARE(w.SST->tabText(i), tabs.at(i));
    QCOMPARE(w.MSF.keys(), QList<int>({0, 1, 3, 4, 5, 6, 7}));
    QVERIFY(w.SST1->isVisibleTo(w.Frm[2]));
    const QStringList analyses = {"销售分析", "库存分析", "客户分析", "利润分析"};
    for (int i = 0; i < 4; ++i)
        QCOMPARE(w.SST1->tabText(i), analyses.at(i));

    QList<int> expected;
    for (int tab : {0, 1})
        for (int p = 1; p <= 10; ++p)
            expected << 20 * tab + p;
    expected << 41 << 42 << 43 << 44;
    for (int tab : {3, 4, 5, 6, 7}) {
        for (int p = 1; p <= 6; ++p)
            expected << 20 * tab + p;
        if (tab == 3)
            expected << 67;
    }
    QCOMPARE(w.Com.keys(), expected);
    QCOMPARE(w.Com[25]->text(), QStringLiteral("导出记录"));
    QCOMPARE(w.Com[25]->property("rightTag").toString(), QStringLiteral("采购数据导出"));
    QCOMPARE(w.Com[28]->text(), QStringLiteral("条件▼"));
    QCOMPARE(w.Com[28]->property("rightTag").toString(), QStringLiteral("采购数据查看"));
    QCOMPARE(w.Com[44]->text(), QStringLiteral("利润分析"));
    QCOMPARE(w.Com[67]->property("rightTag").toString(), QStringLiteral("所有权限"));
    QCOMPARE(w.Com[123]->property("rightTag").toString(), QStringLiteral("账号数据删除"));
    QCOMPARE(w.Com[146]->property("rightTag").toString(), QStringLiteral("员工数据导入"));

    QCOMPARE(w.CB[0]->currentText(), QStringLiteral("产品     Pro"));
    QCOMPARE(w.CB[0]->itemText(4), QStringLiteral("备注      Memo"));
    QCOMPARE(w.CB[21]->itemText(1), QStringLiteral("供应商    Vendor"));
    QCOMPARE(w.CB[24]->currentText(), QStringLiteral("售价  Price"));
    QCOMPARE(w.CB[25]->currentText(), QStringLiteral("等于"));
    QCOMPARE(w.CB[4]->count(), 3);
    QCOMPARE(w.Op[5]->text(), QStringLiteral("按人员"));
    QCOMPARE(w.Op1[6]->text(), QStringLiteral("按均价"));
    QCOMPARE(w.DTP.size(), 8);
    QCOMPARE(w.SDTP.size(), 4);
    QVERIFY(w.DTP[3]->calendarPopup());
    QVERIFY(!w.CPic[0]->isVisible());
    w.Com_Click(8); // 条件▼ shows and hides the panel
    QVERIFY(w.CPic[0]->isVisible());
    w.Com_Click(8);
    QVERIFY(!w.CPic[0]->isVisible());

    QCOMPARE(w.mAcc[3]->text(), QStringLiteral("清空数据"));
    QCOMPARE(w.mReplace[4]->text(), QStringLiteral("销售员合并替换"));
    QCOMPARE(w.mCompact->text(), QStringLiteral("压缩及整理数据库"));
    QCOMPARE(w.mAccSet->text(), QStringLiteral("套账信息"));

    // 帮助 names the program and its version.
    w.mAbout->trigger();
    auto *about = w.findChild<QMessageBox *>();
    QVERIFY(about);
    QCOMPARE(about->windowTitle(), QStringLiteral("关于Korvo进销存"));
    QVERIFY(about->text().contains(QStringLiteral("Korvo进销存")));
    QVERIFY(about->text().contains(QStringLiteral("3.00")));
}

void TestMainWindow::rightsPlan_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("rights");
    QTest::addColumn<QList<int>>("buttons");
    QTest::addColumn<QList<int>>("grids");
    QTest::addColumn<bool>("admin");

    QList<int> all;
    for (const CommandButton &b : commandButtons())
        all << b.index;
    QTest::newRow("sales view and add")
            << "u"
            << "销售数据查看;销售数据添加" << QList<int>{1, 7, 8, 9, 10, 41, 42, 43, 44}
            << QList<int>{0, 2} << false;
    QTest::newRow("all rights") << "u"
                                << "所有权限" << all << QList<int>{0, 1, 2, 3, 4, 5, 6, 7} << true;
    QTest::newRow("no rights") << "u"
                               << "" << QList<int>{} << QList<int>{2} << false;
    QTest::newRow("logged out") << ""
                                << "" << QList<int>{} << QList<int>{} << false;
    QTest::newRow("staff delete only")
            << "u"
            << "员工数据查看;员工数据删除" << QList<int>{41, 42, 43, 44, 143} << QList<int>{2, 7}
            << false;
}

// What each rights string opens; rights are tested as plain substrings.
void TestMainWindow::rightsPlan()
{
    QFETCH(QString, user);
    QFETCH(QString, rights);
    QFETCH(QList<int>, buttons);
    QFETCH(QList<int>, grids);
    QFETCH(bool, admin);
    const RightsPlan plan = planRights(user, rights);
    QList<int> enabled;
    for (auto it = plan.buttons.cbegin(); it != plan.buttons.cend(); ++it) {
        if (it.value())
            enabled << it.key();
    }
    QCOMPARE(enabled, buttons);
    QList<int> open;
    for (int i = 0; i < plan.grids.size(); ++i) {
        if (plan.grids.at(i))
            open << i;
    }
    QCOMPARE(open, grids);
    QCOMPARE(plan.adminMenus, admin);
    QCOMPARE(plan.recordTabsEnabled, !user.isEmpty());
}

// The plan reaches every button, grid and menu item of the window.
void TestMainWindow::rightsOnTheWindow()
{
    MainWindow &w = *m_window;
    for (int tab : w.MSF.keys())
        fillGrid(*w.MSF[tab], {"1", "2"}, {"a", "b"});
    login(QStringLiteral("u"), QStringLiteral("销售数据查看;销售数据添加"));
    QVERIFY(w.SST->isEnabled());
    QList<int> enabled;
    for (int index : w.Com.keys()) {
        if (w.Com[index]->isEnabled())
            enabled << index;
    }
    QCOMPARE(enabled, QList<int>({1, 7, 8, 9, 10, 41, 42, 43, 44}));
    QVERIFY(w.MSF[0]->isEnabled());
    QCOMPARE(w.MSF[0]->dataRows(), 2);
    for (int tab : {1, 3, 4, 5, 6, 7}) {
        QVERIFY(!w.MSF[tab]->isEnabled());
        QCOMPARE(w.MSF[tab]->dataRows(), 0);
    }
    for (int i = 0; i < 5; ++i)
        QVERIFY(!w.mReplace[i]->isEnabled());
    QVERIFY(w.mAcc[0]->isEnabled());
    QVERIFY(w.mAcc[1]->isEnabled());
    for (int i = 2; i <= 5; ++i)
        QVERIFY(!w.mAcc[i]->isEnabled());

    login(QStringLiteral("zunta"), QStringLiteral("所有权限"));
    for (QPushButton *button : std::as_const(w.Com))
        QVERIFY2(button->isEnabled(), qPrintable(button->text()));
    for (grid::Grid *grid : std::as_const(w.MSF))
        QVERIFY(grid->isEnabled());
    for (QAction *item : w.findChildren<QAction *>()) {
        if (!item->isSeparator() && !item->menu())
            QVERIFY2(item->isEnabled(), qPrintable(item->text()));
    }
}

// 注销: no user in the title, every list empty, every command off, the tabs
// no longer switch.
void TestMainWindow::logoutEmptiesEverything()
{
    MainWindow &w = *m_window;
    login(QStringLiteral("zunta"), QStringLiteral("所有权限"));
    fillGrid(*w.MSF[0], {"1"}, {"a"});
    w.mLogout->trigger();
    QCOMPARE(w.windowTitle(), QStringLiteral("Korvo进销存3.00 >> 甲账"));
    QVERIFY(!w.SST->isEnabled());
    QCOMPARE(w.MSF[0]->dataRows(), 0);
    for (QPushButton *button : std::as_const(w.Com))
        QVERIFY(!button->isEnabled());
    for (int i = 2; i <= 5; ++i)
        QVERIFY(!w.mAcc[i]->isEnabled());

    // 修改密码 while logged out only tells the user.
    w.mModiPSD->trigger();
    QCOMPARE(m_prompts->messages, QStringList{QStringLiteral("您尚未登录！")});
    QVERIFY(!ui::FormIsOpen(QStringLiteral("修改登录密码")));
}

// A tab loads its list through the registry only when the user may view it;
// otherwise the grid is emptied.
void TestMainWindow::tabHandlerLoadsOnlyWithViewRight()
{
    MainWindow &w = *m_window;
    QList<int> loaded;
    for (int tab : w.MSF.keys()) {
        commands().setListLoader(tab, [&loaded, tab, &w](MainWindow &window, grid::Grid &grid) {
            QCOMPARE(&window, &w);
            QCOMPARE(&grid, w.MSF[tab]);
            loaded << tab;
            fillGrid(grid, {"7"}, {"x"});
        });
    }
    login(QStringLiteral("u"), QStringLiteral("产品数据查看"));
    w.SST->setCurrentIndex(3);
    QCOMPARE(loaded, QList<int>{3});
    QVERIFY(w.Frm[3]->isVisibleTo(w.SST));
    QVERIFY(!w.Frm[0]->isVisibleTo(w.SST));
    QCOMPARE(w.currentGrid(), w.MSF[3]);

    fillGrid(*w.MSF[4], {"1"}, {"a"});
    w.SST->setCurrentIndex(4);
    QCOMPARE(loaded, QList<int>{3});
    QCOMPARE(w.MSF[4]->dataRows(), 0);

    w.SST->setCurrentIndex(2);
    QVERIFY(w.Frm[2]->isVisibleTo(w.SST));
    QVERIFY(w.Frm1[0]->isVisibleTo(w.SST1));
    QCOMPARE(loaded, QList<int>{3});

    w.SST->setCurrentIndex(3);
    w.ReloadCurrentList();
    QCOMPARE(loaded, QList<int>({3, 3, 3}));

    // The analysis tabs only show their frames and fill their boxes.
    store::ExecSQL(QStringLiteral("INSERT INTO Pro (Name) VALUES ('钢管')"));
    w.SST1->setCurrentIndex(1);
    QVERIFY(w.Frm1[1]->isVisibleTo(w.SST1));
    QVERIFY(!w.Frm1[0]->isVisibleTo(w.SST1));
    QCOMPARE(w.COB[2]->count(), 2);
    QCOMPARE(w.COB[2]->itemText(1), QStringLiteral("钢管"));
}

// Editing needs the edit right and a data row; the record's ID comes from
// column 0 of the current row.
void TestMainWindow::doubleClickNeedsEditRight()
{
    MainWindow &w = *m_window;
    QList<QPair<int, int>> edited;
    commands().setRecordEditor(0, [&edited, &w](QWidget *parent, int id) {
        QCOMPARE(parent, &w);
        edited.append({0, id});
    });
    login(QStringLiteral("u"), QStringLiteral("销售数据查看;销售数据添加"));
    fillGrid(*w.MSF[0], {"0000012", "0000013"}, {"a", "b"});
    w.MSF[0]->setRow(3);
    w.MSF_DblClick(0);
    QVERIFY(edited.isEmpty());

    login(QStringLiteral("u"), QStringLiteral("销售数据查看;销售数据修改"));
    fillGrid(*w.MSF[0], {"0000012", "0000013"}, {"a", "b"});
    w.MSF[0]->setRow(3);
    w.MSF_DblClick(0);
    QCOMPARE(edited, (QList<QPair<int, int>>{{0, 13}}));
    w.Com_Click(2); // 修改记录 is the same as a double click
    QCOMPARE(edited.size(), 2);

    w.MSF[0]->setRows(2);
    w.MSF_DblClick(0);
    QCOMPARE(edited.size(), 2);
}

// Each button goes to its handler with the grid of its own tab; a command
// nobody registered does nothing.
void TestMainWindow::commandsGoToTheRegistry()
{
    MainWindow &w = *m_window;
    login(QStringLiteral("zunta"), QStringLiteral("所有权限"));
    QStringList calls;
    auto gridName = [&w](grid::Grid &grid) {
        for (int tab : w.MSF.keys()) {
            if (w.MSF[tab] == &grid)
                return QStringLiteral("MSF%1").arg(tab);
        }
        for (int tab : w.MSF1.keys()) {
            if (w.MSF1[tab] == &grid)
                return QStringLiteral("MSF1%1").arg(tab);
        }
        return QStringLiteral("?");
    };
    Commands &registry = commands();
    registry.setRecordEditor(
            5, [&calls](QWidget *, int id) { calls << QStringLiteral("edit5:%1").arg(id); });
    registry.setRecordDeleter(6, [&](grid::Grid &g) { calls << "delete:" + gridName(g); });
    registry.setGridPrinter([&](grid::Grid &g) { calls << "print:" + gridName(g); });
    registry.setGridExporter([&](grid::Grid &g) { calls << "export:" + gridName(g); });
    registry.setGridImporter([&](grid::Grid &g) { calls << "import:" + gridName(g); });
    registry.setAnalysis(3, [&](MainWindow &window, int tab) {
        QCOMPARE(&window, &w);
        calls << QStringLiteral("analysis:%1").arg(tab);
    });
    registry.setAction(QStringLiteral("mReplace2"),
                       [&](MainWindow &) { calls << QStringLiteral("merge vendors"); });
    registry.setAction(QStringLiteral("Com67"),
                       [&](MainWindow &) { calls << QStringLiteral("fields"); });

    w.Com_Click(101);
    w.Com_Click(123);
    w.Com_Click(24);
    w.Com_Click(85);
    w.Com_Click(146);
    w.Com_Click(44);
    w.Com_Click(43); // nobody registered it
    w.Com_Click(67);
    w.mReplace[2]->trigger();
    w.mCompact->trigger(); // nobody registered it
    QCOMPARE(calls, QStringList({"edit5:0", "delete:MSF6", "print:MSF1", "export:MSF4",
                                 "import:MSF7", "analysis:3", "fields", "merge vendors"}));
    QVERIFY(registry.unregistered().contains(QStringLiteral("mCompact")));

    // A right click on an analysis grid or chart opens its pop-up menu.
    ChartPicture *saved = nullptr;
    registry.setPictureSaver([&saved](ChartPicture &picture) { saved = &picture; });
    emit w.MSF1[2]->rightClicked(QPoint(10, 10));
    auto *gridMenu = w.findChild<QMenu *>(QString(), Qt::FindDirectChildrenOnly);
    QVERIFY(gridMenu);
    QCOMPARE(gridMenu->title(), QStringLiteral("表格"));
    QCOMPARE(gridMenu->actions().value(0)->text(), QStringLiteral("导出表格"));
    gridMenu->actions().value(0)->trigger();
    QCOMPARE(calls.last(), QStringLiteral("export:MSF12"));
    gridMenu->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    emit w.Pic[1]->contextMenuWanted(QPoint(10, 10));
    auto *pictureMenu = w.findChild<QMenu *>(QString(), Qt::FindDirectChildrenOnly);
    QVERIFY(pictureMenu);
    QCOMPARE(pictureMenu->title(), QStringLiteral("图片"));
    QCOMPARE(pictureMenu->actions().value(0)->text(), QStringLiteral("保存图片"));
    pictureMenu->actions().value(0)->trigger();
    QCOMPARE(saved, w.Pic[1]);
    pictureMenu->close();
    QVERIFY(!registry.unregistered().contains(QStringLiteral("mReplace2")));

    // 清除 empties both value boxes of its own filter bar only.
    w.CB[2]->setEditText(QStringLiteral("钢"));
    w.CB[5]->setEditText(QStringLiteral("5"));
    w.CB[23]->setEditText(QStringLiteral("铁"));
    w.Com_Click(9);
    QCOMPARE(w.CB[2]->currentText(), QString());
    QCOMPARE(w.CB[5]->currentText(), QString());
    QCOMPARE(w.CB[23]->currentText(), QStringLiteral("铁"));
}

// The lists that exist are registered: the staff tab shows the staff of
// the set once someone with the right is logged in.
void TestMainWindow::registeredListsLoad()
{
    MainWindow &w = *m_window;
    registerCommands();
    QVERIFY(!commands().unregistered().contains(QStringLiteral("员工设置:列表")));
    w.SST->setCurrentIndex(7);
    QCOMPARE(w.MSF[7]->dataRows(), 0);
    login(QStringLiteral("zunta"), QStringLiteral("所有权限"));
    w.ReloadCurrentList();
    QCOMPARE(w.MSF[7]->tag(), QStringLiteral("Staff"));
    QCOMPARE(w.MSF[7]->dataRows(), 2);
    w.SST->setCurrentIndex(3);
    QCOMPARE(w.MSF[3]->tag(), QStringLiteral("Pro"));

    // The sales list takes the tab's date range and filter bar.
    for (const char *table : {"Pro", "Cus", "Acc"})
        QVERIFY(store::ExecSQL(
                QStringLiteral("INSERT INTO %1 (Name) VALUES ('甲')").arg(QLatin1String(table))));
    QVERIFY(store::ExecSQL(QStringLiteral("INSERT INTO Sale (Dat, PID, CID, AID, SID, Memo) "
                                          "VALUES (#2024-03-05#, 1, 1, 1, 1, '急件')")));
    QVERIFY(store::ExecSQL(QStringLiteral("INSERT INTO Sale (Dat, PID, CID, AID, SID, Memo) "
                                          "VALUES (#2024-03-06#, 1, 1, 1, 1, '普通')")));
    w.SDTP[0]->setDate(QDate(2024, 3, 1));
    w.SDTP[1]->setDate(QDate(2024, 3, 31));
    w.SST->setCurrentIndex(0);
    QCOMPARE(w.MSF[0]->tag(), QStringLiteral("Sale"));
    QCOMPARE(w.MSF[0]->dataRows(), 2);
    w.CB[0]->setCurrentIndex(4);
    w.CB_Click(0);
    w.CB[2]->setEditText(QStringLiteral("急"));
    w.Com_Click(7);
    QCOMPARE(w.MSF[0]->dataRows(), 1);
    w.Com_Click(9);
    w.SDTP[1]->setDate(QDate(2024, 3, 5));
    w.Com_Click(7);
    QCOMPARE(w.MSF[0]->dataRows(), 1);
}

// Choosing 备注 locks the operator on 包含 and leaves the value box for
// typing; choosing a master list again unlocks it and offers the names.
void TestMainWindow::remarkFieldLocksOperator()
{
    MainWindow &w = *m_window;
    login(QStringLiteral("zunta"), QStringLiteral("所有权限"));
    store::ExecSQL(QStringLiteral("INSERT INTO Pro (Name) VALUES ('钢管')"));
    store::ExecSQL(QStringLiteral("INSERT INTO Vendor (Name) VALUES ('华东供应')"));

    for (int base : {0, 21}) {
        w.CB[base + 1]->setCurrentIndex(1);
        QCOMPARE(w.CB[base + 1]->currentText(), QStringLiteral("等于"));
        w.CB[base + 2]->setEditText(QStringLiteral("旧值"));
        w.CB[base]->setCurrentIndex(4);
        w.CB_Click(base);
        QVERIFY(!w.CB[base + 1]->isEnabled());
        QCOMPARE(w.CB[base + 1]->currentText(), QStringLiteral("包含"));
        QCOMPARE(w.CB[base + 2]->count(), 0);
        QCOMPARE(w.CB[base + 2]->currentText(), QString());

        w.CB[base]->setCurrentIndex(base == 0 ? 0 : 1);
        w.CB_Click(base);
        QVERIFY(w.CB[base + 1]->isEnabled());
        QCOMPARE(w.CB[base + 2]->count(), 2);
        QCOMPARE(w.CB[base + 2]->itemText(1),
                 base == 0 ? QStringLiteral("钢管") : QStringLiteral("华东供应"));
    }

    // Field and operator boxes take no typing.
    w.CPic[0]->show();
    w.CB[0]->lineEdit()->setFocus();
    QTest::keyClicks(w.CB[0]->lineEdit(), QStringLiteral("abc"));
    QCOMPARE(w.CB[0]->currentText(), QStringLiteral("产品      Pro"));
}

// The number value box keeps digits, the point and backspace only, so no
// negative number or letter gets in.
void TestMainWindow::numberValueTakesDigitsOnly()
{
    MainWindow &w = *m_window;
    login(QStringLiteral("zunta"), QStringLiteral("所有权限"));
    for (int index : {5, 26}) {
        w.CPic[index == 5 ? 0 : 1]->show();
        QLineEdit *edit = w.CB[index]->lineEdit();
        QTest::keyClicks(edit, QStringLiteral("-1a2.5x"));
        QCOMPARE(edit->text(), QStringLiteral("12.5"));
        QTest::keyClick(edit, Qt::Key_Backspace);
        QCOMPARE(edit->text(), QStringLiteral("12."));
    }
    // The text value box takes anything.
    QTest::keyClicks(w.CB[2]->lineEdit(), QStringLiteral("a-1"));
    QCOMPARE(w.CB[2]->currentText(), QStringLiteral("a-1"));
}

// The keyword box shows a grey 输入关键词 until it is focused; searching
// before anything was typed does nothing.
void TestMainWindow::keywordPlaceholder()
{
    MainWindow &w = *m_window;
    w.show();
    login(QStringLiteral("zunta"), QStringLiteral("所有权限"));
    fillGrid(*w.MSF[0], {"1", "2", "3"}, {"alpha", "输入关键词", "beta"});
    w.MSF[0]->setRow(2);
    QLineEdit *keyword = w.SKey[0];
    QCOMPARE(keyword->text(), QStringLiteral("输入关键词"));
    QVERIFY(keyword->palette().color(QPalette::Text) != QColor(Qt::black));
    QVERIFY(w.keywordIsPlaceholder(0));

    w.Com_Click(10);
    QCOMPARE(w.MSF[0]->row(), 2);
    QVERIFY(m_prompts->messages.isEmpty());

    w.activateWindow();
    keyword->setFocus();
    QTRY_VERIFY(keyword->hasFocus());
    QCOMPARE(keyword->text(), QString());
    QCOMPARE(keyword->palette().color(QPalette::Text), QColor(Qt::black));
    QTest::keyClicks(keyword, QStringLiteral("beta"));
    w.Com_Click(10);
    QCOMPARE(w.MSF[0]->row(), 4);
    QVERIFY(m_prompts->messages.isEmpty());

    // The purchase box keeps its own placeholder.
    QVERIFY(w.keywordIsPlaceholder(1));
}

// At 9000 × 6000 twips the record tabs are 8880 × 5200 twips and everything
// inside follows the designed offsets.
void TestMainWindow::resizeLayout()
{
    MainWindow &w = *m_window;
    w.show();
    resizeOuter(w, 9000, 6000);
    QTRY_COMPARE(w.layoutTwips().sst, QRect(0, 0, 8880, 5200));
    QCOMPARE(w.SST->size(), QSize(ui::pixels(8880), ui::pixels(5200)));
    const MainLayout &layout = w.layoutTwips();
    QCOMPARE(layout.frm, QRect(60, 360, 8760, 4780));
    QCOMPARE(layout.msf, QRect(0, 360, 8760, 4420));
    QCOMPARE(layout.sst1, QRect(0, 0, 8760, 4780));
    QCOMPARE(layout.frm1, QRect(60, 360, 8640, 4360));
    QCOMPARE(w.MSF[4]->geometry(), QRect(0, ui::pixels(360), ui::pixels(8760), ui::pixels(4420)));

    // A tiny window gives empty controls, not negative sizes.
    const MainLayout tiny = computeMainLayout(100, 100, {{-1, -1, -1, -1}});
    QCOMPARE(tiny.sst.size(), QSize(0, 0));
    QCOMPARE(tiny.pic[0].width(), 0);
}

// The splitter bar divides grid and chart and never leaves its frame.
void TestMainWindow::splitterStaysInsideFrame()
{
    MainWindow &w = *m_window;
    w.show();
    resizeOuter(w, 9000, 6000);
    QTRY_COMPARE(w.layoutTwips().frm1.width(), 8640);
    w.setSplitterLeft(1, 4000);
    QCOMPARE(w.splitterLeft(1), 4000);
    const MainLayout &layout = w.layoutTwips();
    QCOMPARE(layout.msf1[1], QRect(0, 600, 4000, 3760));
    QCOMPARE(layout.splitLine[1], QRect(4000, 600, 45, 3760));
    QCOMPARE(layout.pic[1], QRect(4045, 600, 8640 - 4045, 3760));
    QCOMPARE(w.MSF1[1]->width(), ui::pixels(4000));

    w.setSplitterLeft(1, 100000);
    QVERIFY(w.splitterLeft(1) + kSplitterWidth <= 8640);
    QVERIFY(w.layoutTwips().pic[1].width() > 0);
    w.setSplitterLeft(1, -500);
    QVERIFY(w.splitterLeft(1) >= 0);
    QVERIFY(w.layoutTwips().msf1[1].width() > 0);

    // Dragging the bar moves it with the mouse, also past the frame's edge.
    login(QStringLiteral("zunta"), QStringLiteral("所有权限"));
    w.setSplitterLeft(1, 3000);
    w.SST->setCurrentIndex(2);
    w.SST1->setCurrentIndex(1);
    SplitBar *bar = w.SplitLine[1];
    const int before = bar->x();
    QTest::mousePress(bar, Qt::LeftButton, Qt::NoModifier, QPoint(1, 5));
    QMouseEvent move(QEvent::MouseMove, QPointF(-39, 5), bar->mapToGlobal(QPointF(-39, 5)),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(bar, &move);
    QTest::mouseRelease(bar, Qt::LeftButton, Qt::NoModifier, QPoint(-39, 5));
    QCOMPARE(bar->x(), before - 40);
    QTest::mousePress(bar, Qt::LeftButton, Qt::NoModifier, QPoint(1, 5));
    QMouseEvent away(QEvent::MouseMove, QPointF(-2000, 5), bar->mapToGlobal(QPointF(-2000, 5)),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(bar, &away);
    QTest::mouseRelease(bar, Qt::LeftButton, Qt::NoModifier, QPoint(-2000, 5));
    QCOMPARE(w.splitterLeft(1), kSplitterMargin);
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
