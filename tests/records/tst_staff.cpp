#include "records/rights.h"
#include "records/staff.h"
#include "records/staffdialog.h"

#include "grid/grid.h"
#include "grid/gridloader.h"
#include "grid/gridops.h"
#include "grid/gridview.h"
#include "ui/shellhost.h"

#include "store/access.h"
#include "store/programfolder.h"
#include "store/schema.h"
#include "store/session.h"
#include "testsupport.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QtTest>

#include <memory>

using namespace records;

namespace {

// Counts the reloads of the visible list the dialogs ask for.
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

// The view of the grid that shows column col.
grid::GridView *viewOf(grid::Grid *g, int col)
{
    const auto views = g->findChildren<grid::GridView *>();
    for (grid::GridView *view : views)
        if (!view->horizontalHeader()->isSectionHidden(col))
            return view;
    return nullptr;
}

// A real mouse click on cell (row, col) of the grid.
void clickCell(grid::Grid *g, int row, int col, Qt::KeyboardModifiers modifiers = {})
{
    grid::GridView *view = viewOf(g, col);
    QVERIFY(view);
    const QModelIndex index = view->model()->index(row - g->fixedRows(), col);
    view->scrollTo(index);
    const QRect rect = view->visualRect(index);
    QVERIFY(!rect.isEmpty());
    QTest::mouseClick(view->viewport(), Qt::LeftButton, modifiers, rect.center());
}

// A real mouse click on the title of column col.
void clickTitle(grid::Grid *g, int col)
{
    grid::GridView *view = viewOf(g, col);
    QVERIFY(view);
    QHeaderView *header = view->horizontalHeader();
    const int x = header->sectionViewportPosition(col) + header->sectionSize(col) / 2;
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, header->height() / 2));
}

// Grid row of the tree row labelled with token (or the area/top label).
int treeRow(const grid::Grid *g, const QString &labelEnd)
{
    for (int r = g->fixedRows(); r < g->rows(); ++r)
        if (g->textMatrix(r, kRightLabelColumn).endsWith(labelEnd))
            return r;
    return -1;
}

// Grid rows that carry a mark.
QList<int> markedRows(const grid::Grid *g)
{
    QList<int> rows;
    for (int r = g->fixedRows(); r < g->rows(); ++r)
        if (!g->textMatrix(r, kRightMarkColumn).isEmpty())
            rows << r;
    return rows;
}

} // namespace

class TestStaff : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void login_data();
    void login();
    void passwordChange();
    void storingMembers();
    void catchAllRow();
    void staffList();
    void deletingStaff();
    void titles_data();
    void titles();

    void newMemberTree();
    void treeClicks();
    void fullRightsTree();
    void ownRights();
    void savingReloadsStaffList();

private:
    std::unique_ptr<testsupport::TempProgramFolder> m_folder;
    std::unique_ptr<testsupport::ScriptedPrompts> m_prompts;
};

void TestStaff::init()
{
    m_folder = std::make_unique<testsupport::TempProgramFolder>();
    m_prompts = std::make_unique<testsupport::ScriptedPrompts>();
    QString error;
    QVERIFY2(store::BuildTemplate(store::programFilePath(QStringLiteral("DATA00001.qdt")), &error),
             qPrintable(error));
    store::CurrentAccountFile = QStringLiteral("DATA00001.qdt");
    store::CurrentUserID = 0;
    store::CurrentUser.clear();
    store::CurrentRights.clear();
}

void TestStaff::cleanup()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        delete w;
    ui::setShellHost(nullptr);
    // No database failure may have been reported along the way.
    QCOMPARE(m_prompts->messages, QStringList());
    m_prompts.reset();
    m_folder.reset();
}

void TestStaff::login_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("password");
    QTest::addColumn<int>("outcome");

    const auto in = int(LoginOutcome::LoggedIn);
    const auto wrong = int(LoginOutcome::Wrong);
    const auto quote = int(LoginOutcome::QuoteRefused);
    QTest::newRow("default user") << "zunta"
                                  << "zunta" << in;
    QTest::newRow("password in capitals") << "zunta"
                                          << "ZUNTA" << wrong;
    QTest::newRow("name in capitals") << "ZUNTA"
                                      << "zunta" << wrong;
    QTest::newRow("wrong password") << "zunta"
                                    << "zunt" << wrong;
    QTest::newRow("unknown name") << "nobody"
                                  << "zunta" << wrong;
    QTest::newRow("catch-all with wrong password") << "其他"
                                                   << "x" << wrong;
    QTest::newRow("quote in name") << "O'Neil"
                                   << "zunta" << quote;
    QTest::newRow("double quote in password") << "zunta"
                                              << "a\"b" << quote;
    // A quote must never reach the statement, not even to make it true.
    QTest::newRow("injection") << "zunta"
                               << "' OR '1'='1" << quote;
}

// Logins match name and password exactly, letter case included, and refuse
// quotes before any query.
void TestStaff::login()
{
    QFETCH(QString, name);
    QFETCH(QString, password);
    QFETCH(int, outcome);

    StaffLogin user;
    QCOMPARE(int(checkLogin(name, password, user)), outcome);
    if (outcome == int(LoginOutcome::LoggedIn)) {
        QCOMPARE(user.name, QStringLiteral("zunta"));
        QCOMPARE(user.rights, QStringLiteral("所有权限"));
        QVERIFY(user.id > 0);
        applyLogin(user);
        QCOMPARE(store::CurrentUserID, user.id);
        QCOMPARE(store::CurrentUser, user.name);
        QCOMPARE(store::CurrentRights, user.rights);
    } else {
        QCOMPARE(user.id, 0);
    }
}

// The change of password checks the boxes in order, refuses a wrong current
// password without writing, and the new password is the one that logs in.
void TestStaff::passwordChange()
{
    StaffLogin user;
    QCOMPARE(checkLogin(QStringLiteral("zunta"), QStringLiteral("zunta"), user),
             LoginOutcome::LoggedIn);
    const int id = user.id;

    // A mismatch is reported before the empty check, as the window does.
    QCOMPARE(changePassword(id, QString(), QStringLiteral("a"), QStringLiteral("b")),
             PasswordChange::Mismatch);
    QCOMPARE(changePassword(id, QString(), QStringLiteral("new"), QStringLiteral("new")),
             PasswordChange::Empty);
    QCOMPARE(changePassword(id, QStringLiteral("zunta"), QString(), QString()),
             PasswordChange::Empty);
    QCOMPARE(changePassword(id, QStringLiteral("ZUNTA"), QStringLiteral("new"),
                            QStringLiteral("new")),
             PasswordChange::WrongCurrent);
    QCOMPARE(checkLogin(QStringLiteral("zunta"), QStringLiteral("zunta"), user),
             LoginOutcome::LoggedIn);

    QCOMPARE(changePassword(id, QStringLiteral("zunta"), QStringLiteral("秘密Pw"),
                            QStringLiteral("秘密Pw")),
             PasswordChange::Changed);
    QCOMPARE(checkLogin(QStringLiteral("zunta"), QStringLiteral("zunta"), user),
             LoginOutcome::Wrong);
    QCOMPARE(checkLogin(QStringLiteral("zunta"), QStringLiteral("秘密Pw"), user),
             LoginOutcome::LoggedIn);
    QCOMPARE(user.id, id);

    // A member that no longer exists cannot change anything.
    QCOMPARE(changePassword(9999, QStringLiteral("x"), QStringLiteral("y"), QStringLiteral("y")),
             PasswordChange::Failed);
}

// A new member gets a number of its own; editing keeps it; texts with quotes
// are stored as typed.
void TestStaff::storingMembers()
{
    StaffInfo info;
    info.boxes = QStringList{QStringLiteral("O'Neil"), QStringLiteral("pw"),
                             QStringLiteral("010-1"),  QStringLiteral("139"),
                             QStringLiteral("a@b.cn"), QStringLiteral("说\"明\"")};
    info.rights = QStringLiteral("销售数据查看;销售数据删除");
    const int id = saveStaff(0, info);
    QVERIFY(id > 0);

    StaffInfo loaded;
    QVERIFY(loadStaff(id, loaded));
    QCOMPARE(loaded.id, id);
    QCOMPARE(loaded.boxes, info.boxes);
    QCOMPARE(loaded.rights, info.rights);

    loaded.boxes[3] = QStringLiteral("138");
    loaded.rights.clear();
    QCOMPARE(saveStaff(id, loaded), id);
    StaffInfo again;
    QVERIFY(loadStaff(id, again));
    QCOMPARE(again.boxes.at(3), QStringLiteral("138"));
    QCOMPARE(again.rights, QString());

    StaffInfo untouched;
    untouched.boxes = QStringList{QStringLiteral("keep")};
    QVERIFY(!loadStaff(id + 100, untouched));
    QCOMPARE(untouched.boxes, QStringList{QStringLiteral("keep")});
}

// The catch-all member is found when present and created when missing.
void TestStaff::catchAllRow()
{
    const int existing = catchAllStaffId();
    QVERIFY(existing > 0);
    QCOMPARE(catchAllStaffId(), existing);

    QVERIFY(store::ExecSQL(QStringLiteral("DELETE FROM Staff WHERE Name='其他'")));
    const int created = catchAllStaffId();
    QVERIFY(created > 0);
    QVERIFY(created != existing);
    QCOMPARE(catchAllStaffId(), created);
    QCOMPARE(store::LookupValue(QStringLiteral("Staff"), created, QStringLiteral("ID"),
                                QStringLiteral("Name"))
                     .toString(),
             kCatchAllStaffName);
}

// The list shows every member in table order, without passwords.
void TestStaff::staffList()
{
    StaffInfo info;
    info.boxes
            = QStringList{QStringLiteral("张三"), QStringLiteral("secret"), QStringLiteral("010-1"),
                          QStringLiteral("139"),  QStringLiteral("z@s.cn"), QStringLiteral("备注")};
    info.rights = QStringLiteral("销售数据查看");
    saveStaff(0, info);

    grid::Grid grid;
    LoadStaffList(grid);
    QCOMPARE(grid.tag(), QStringLiteral("Staff"));
    QCOMPARE(grid.reportTitle(), QStringLiteral("操作员列表"));
    QCOMPARE(grid.dataRows(), 3);
    QStringList titles;
    for (int c = 0; c < grid.cols(); ++c)
        titles << grid.textMatrix(grid::kTitleRow, c);
    QCOMPARE(titles,
             (QStringList{"ID", "序号", "姓名", "电话", "手机", "电子邮箱", "权限", "备注"}));
    QStringList last;
    for (int c = 1; c < grid.cols(); ++c)
        last << grid.textMatrix(4, c);
    QCOMPARE(last, (QStringList{"3", "张三", "010-1", "139", "z@s.cn", "销售数据查看", "备注"}));
    QCOMPARE(grid.textMatrix(2, 2), kCatchAllStaffName);
    QCOMPARE(grid.textMatrix(3, 2), QStringLiteral("zunta"));
    QCOMPARE(grid.colWidth(0), 0);
}

// Deleting a selection that holds the logged-in user and the catch-all row
// deletes only the others; their sales and purchases move to 其他. A
// missing catch-all row is created first; answering No deletes nothing.
void TestStaff::deletingStaff()
{
    StaffLogin me;
    QCOMPARE(checkLogin(QStringLiteral("zunta"), QStringLiteral("zunta"), me),
             LoginOutcome::LoggedIn);
    applyLogin(me);
    auto addMember = [](const QString &name) {
        StaffInfo info;
        info.boxes = QStringList{name};
        return saveStaff(0, info);
    };
    auto addRecords = [](int staffId) {
        for (const char *table : {"Sale", "Pur"})
            QVERIFY(store::ExecSQL(QStringLiteral("INSERT INTO %1 (Dat, PID, AID, SID, Num) "
                                                  "VALUES (#2024-01-02#, 1, 1, %2, 1)")
                                           .arg(QLatin1String(table))
                                           .arg(staffId)));
    };
    auto sids = [](const char *table) {
        store::RecordSet rs;
        store::OpenQuery(
                rs, QStringLiteral("SELECT SID FROM %1 ORDER BY ID").arg(QLatin1String(table)));
        QList<int> list;
        for (; !rs.eof(); rs.moveNext())
            list << rs.value(0).toInt();
        return list;
    };
    const int other = catchAllStaffId();
    const int a = addMember(QStringLiteral("甲"));
    const int b = addMember(QStringLiteral("乙"));
    addRecords(a);
    addRecords(b);
    addRecords(me.id);

    grid::Grid grid;
    LoadStaffList(grid);
    QCOMPARE(grid.dataRows(), 4); // 其他, zunta, 甲, 乙

    // No: nothing happens.
    grid.setRow(2);
    grid.setRowSel(5);
    DeleteSelectedStaff(grid);
    QCOMPARE(m_prompts->questions, QStringList{QStringLiteral("您确定要删除选中的员工信息？")});
    QCOMPARE(grid.dataRows(), 4);

    // Yes, on all four rows (selected bottom up): 甲 and 乙 go.
    m_prompts->answers = {true};
    grid.setRow(5);
    grid.setRowSel(2);
    DeleteSelectedStaff(grid);
    QCOMPARE(grid.dataRows(), 2);
    QCOMPARE(grid.textMatrix(2, 2), kCatchAllStaffName);
    QCOMPARE(grid.textMatrix(3, 2), QStringLiteral("zunta"));
    StaffInfo gone;
    QVERIFY(!loadStaff(a, gone));
    QVERIFY(!loadStaff(b, gone));
    QVERIFY(loadStaff(me.id, gone));
    QCOMPARE(sids("Sale"), (QList<int>{other, other, me.id}));
    QCOMPARE(sids("Pur"), (QList<int>{other, other, me.id}));

    // Without a catch-all row, one is made and takes the records.
    const int c = addMember(QStringLiteral("丙"));
    addRecords(c);
    QVERIFY(store::ExecSQL(QStringLiteral("DELETE FROM Staff WHERE ID=%1").arg(other)));
    LoadStaffList(grid);
    QCOMPARE(grid.dataRows(), 2); // zunta, 丙
    m_prompts->answers = {true};
    grid.setRow(3);
    DeleteSelectedStaff(grid);
    QCOMPARE(grid.dataRows(), 1);
    const int made = catchAllStaffId();
    QVERIFY(made != other);
    QCOMPARE(sids("Sale").last(), made);
    QCOMPARE(sids("Pur").last(), made);
}

void TestStaff::titles_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("expected");
    QTest::newRow("first login") << "Korvo进销存3.00 >> 总账"
                                 << "Korvo进销存3.00 >> 总账=>张三";
    QTest::newRow("replaces the earlier user") << "Korvo进销存3.00 >> 总账=>李四"
                                               << "Korvo进销存3.00 >> 总账=>张三";
    QTest::newRow("cuts at the last arrow") << "Korvo进销存3.00 >> A=>B=>李四"
                                            << "Korvo进销存3.00 >> A=>B=>张三";
}

// The user part of the title is replaced, never appended twice.
void TestStaff::titles()
{
    QFETCH(QString, title);
    QFETCH(QString, expected);
    QCOMPARE(titleWithUser(title, QStringLiteral("张三")), expected);
}

// A new member sees the whole tree unmarked, shaded and numbered; marking
// 销售数据删除 alone also marks 销售数据查看, and saving stores both.
void TestStaff::newMemberTree()
{
    QPointer<StaffDialog> dialog = ShowStaffDialog(0);
    QCOMPARE(dialog->windowTitle(), QStringLiteral("员工设置"));
    grid::Grid *tree = dialog->rightsGrid();
    QCOMPARE(tree->dataRows(), 57);
    QCOMPARE(markedRows(tree), QList<int>());
    QCOMPARE(tree->textMatrix(1, kRightMarkColumn), QStringLiteral("设定"));
    QCOMPARE(tree->textMatrix(2, 1), QStringLiteral("1"));
    QCOMPARE(tree->textMatrix(58, 1), QStringLiteral("57"));
    QCOMPARE(tree->textMatrix(2, kRightLabelColumn), QStringLiteral("所有权限"));
    QCOMPARE(tree->textMatrix(58, 0), QString());
    QCOMPARE(tree->cellBackColor(2, kRightLabelColumn), QColor(0xFF, 0x33, 0xFF));
    QCOMPARE(tree->cellBackColor(3, kRightMarkColumn), QColor(0xDD, 0xDD, 0xDD));
    QCOMPARE(tree->colAlignment(kRightMarkColumn), int(grid::kAlignCenterCenter));
    QCOMPARE(tree->colWidth(0), 0);
    QCOMPARE(dialog->idBox()->text(), QString());

    dialog->box(0)->setText(QStringLiteral("赵六"));
    const int remove = treeRow(tree, QStringLiteral("销售数据删除"));
    clickCell(tree, remove, kRightMarkColumn);
    QCOMPARE(markedRows(tree), (QList<int>{treeRow(tree, QStringLiteral("销售数据查看")), remove}));
    QTest::mouseClick(dialog->button(0), Qt::LeftButton);
    QTRY_VERIFY(dialog.isNull());
    QCOMPARE(store::LookupWhere(QStringLiteral("Staff"), QStringLiteral("Name='赵六'"),
                                QStringLiteral("Right"))
                     .toString(),
             QStringLiteral("销售数据查看;销售数据删除"));

    // Saving without marks stores the empty string.
    dialog = ShowStaffDialog(0);
    dialog->box(0)->setText(QStringLiteral("钱七"));
    QTest::mouseClick(dialog->button(0), Qt::LeftButton);
    QTRY_VERIFY(dialog.isNull());
    StaffInfo saved;
    QVERIFY(loadStaff(store::LookupWhere(QStringLiteral("Staff"), QStringLiteral("Name='钱七'"),
                                         QStringLiteral("ID"))
                              .toInt(),
                      saved));
    QCOMPARE(saved.rights, QString());
}

// Clicks on marks toggle rows, selections and whole areas; the top row and
// the 设定 title mark or clear everything; a click beside the marks of a
// partly granted area changes nothing.
void TestStaff::treeClicks()
{
    StaffInfo info;
    info.boxes = QStringList{
            QStringLiteral("孙八"), QString(), QString(), QString(), QString(), QString()};
    info.rights = QStringLiteral("客户数据查看");
    const int id = saveStaff(0, info);
    QPointer<StaffDialog> dialog = ShowStaffDialog(id);
    QCOMPARE(dialog->idBox()->text(), QString::number(id));
    QCOMPARE(dialog->box(0)->text(), QStringLiteral("孙八"));
    grid::Grid *tree = dialog->rightsGrid();

    const int customers = treeRow(tree, QStringLiteral("客户设置"));
    clickCell(tree, customers, kRightLabelColumn);
    QCOMPARE(GetRightStr(*tree), QStringLiteral("客户数据查看"));

    clickCell(tree, customers, kRightMarkColumn);
    QStringList area;
    for (const QString &action : rightActions())
        area << QStringLiteral("客户数据") + action;
    QCOMPARE(GetRightStr(*tree), area.join(QLatin1Char(';')));
    QVERIFY(!tree->textMatrix(customers, kRightMarkColumn).isEmpty());
    QVERIFY(tree->textMatrix(2, kRightMarkColumn).isEmpty());
    clickCell(tree, customers, kRightMarkColumn);
    QCOMPARE(GetRightStr(*tree), QString());

    // A selection of three action rows is marked as one, with its view right.
    clickCell(tree, treeRow(tree, QStringLiteral("采购数据添加")), kRightLabelColumn);
    clickCell(tree, treeRow(tree, QStringLiteral("采购数据删除")), kRightLabelColumn,
              Qt::ShiftModifier);
    QCOMPARE(GetRightStr(*tree),
             QStringLiteral("采购数据查看;采购数据添加;采购数据修改;采购数据删除"));

    // The top row marks all 57 rows, then clears them all.
    clickCell(tree, 2, kRightMarkColumn);
    QCOMPARE(markedRows(tree).size(), 57);
    QCOMPARE(GetRightStr(*tree), QStringLiteral("所有权限"));
    clickCell(tree, 2, kRightMarkColumn);
    QCOMPARE(markedRows(tree), QList<int>());

    // So does the title of the mark column.
    clickTitle(tree, kRightMarkColumn);
    QCOMPARE(markedRows(tree).size(), 57);
    clickTitle(tree, kRightMarkColumn);
    QCOMPARE(markedRows(tree), QList<int>());

    QTest::mouseClick(dialog->button(0), Qt::LeftButton);
    QTRY_VERIFY(dialog.isNull());
    StaffInfo saved;
    QVERIFY(loadStaff(id, saved));
    QCOMPARE(saved.rights, QString());

    // The next member gets a fresh window, not the boxes of the last one.
    dialog = ShowStaffDialog(id);
    QPointer<StaffDialog> next = ShowStaffDialog(0);
    QTRY_VERIFY(dialog.isNull());
    QCOMPARE(next->idBox()->text(), QString());
    QCOMPARE(next->box(0)->text(), QString());
}

// Every one of the 49 rights marks every row and is stored as 所有权限.
void TestStaff::fullRightsTree()
{
    StaffInfo info;
    info.boxes = QStringList{QStringLiteral("周九")};
    info.rights = allRightTokens().join(QLatin1Char(';'));
    const int id = saveStaff(0, info);
    QPointer<StaffDialog> dialog = ShowStaffDialog(id);
    QCOMPARE(markedRows(dialog->rightsGrid()).size(), 57);
    QTest::mouseClick(dialog->button(0), Qt::LeftButton);
    QTRY_VERIFY(dialog.isNull());
    StaffInfo saved;
    QVERIFY(loadStaff(id, saved));
    QCOMPARE(saved.rights, QStringLiteral("所有权限"));
}

// The logged-in user cannot change their own rights, but can edit and save
// the rest of their record, which keeps the rights unchanged.
void TestStaff::ownRights()
{
    StaffLogin me;
    QCOMPARE(checkLogin(QStringLiteral("zunta"), QStringLiteral("zunta"), me),
             LoginOutcome::LoggedIn);
    applyLogin(me);

    QPointer<StaffDialog> dialog = ShowStaffDialog(me.id);
    grid::Grid *tree = dialog->rightsGrid();
    clickCell(tree, 2, kRightMarkColumn);
    clickCell(tree, treeRow(tree, QStringLiteral("员工数据导入")), kRightMarkColumn);
    clickTitle(tree, kRightMarkColumn);
    QCOMPARE(m_prompts->messages, QStringList(3, QStringLiteral("您不能修改自己的权限！")));
    m_prompts->messages.clear();
    QCOMPARE(markedRows(tree).size(), 57);

    dialog->box(2)->setText(QStringLiteral("010-8888"));
    QTest::mouseClick(dialog->button(0), Qt::LeftButton);
    QTRY_VERIFY(dialog.isNull());
    StaffInfo saved;
    QVERIFY(loadStaff(me.id, saved));
    QCOMPARE(saved.boxes.at(2), QStringLiteral("010-8888"));
    QCOMPARE(saved.boxes.at(1), QStringLiteral("zunta"));
    QCOMPARE(saved.rights, QStringLiteral("所有权限"));
}

// Saving reloads the visible list only when it is the staff list;
// cancelling stores nothing.
void TestStaff::savingReloadsStaffList()
{
    FakeHost host;
    ui::setShellHost(&host);
    auto countStaff = [] {
        store::RecordSet rs;
        store::OpenQuery(rs, QStringLiteral("SELECT * FROM Staff"));
        return rs.recordCount();
    };
    const int before = countStaff();

    host.tab = 7;
    QPointer<StaffDialog> dialog = ShowStaffDialog(0);
    dialog->box(0)->setText(QStringLiteral("吴十"));
    QTest::mouseClick(dialog->button(0), Qt::LeftButton);
    QCOMPARE(host.reloads, 1);

    host.tab = 0;
    dialog = ShowStaffDialog(0);
    dialog->box(0)->setText(QStringLiteral("郑十一"));
    QTest::mouseClick(dialog->button(0), Qt::LeftButton);
    QCOMPARE(host.reloads, 1);
    QCOMPARE(countStaff(), before + 2);

    dialog = ShowStaffDialog(0);
    dialog->box(0)->setText(QStringLiteral("不存"));
    QTest::mouseClick(dialog->button(1), Qt::LeftButton);
    QTRY_VERIFY(dialog.isNull());
    QCOMPARE(countStaff(), before + 2);
    ui::setShellHost(nullptr);
}

QTEST_MAIN(TestStaff)
#include "tst_staff.moc"
