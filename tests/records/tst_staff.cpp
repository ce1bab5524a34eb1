#include "records/logindialog.h"
#include "records/passworddialog.h"
#include "records/rights.h"
#include "records/staff.h"
#include "records/staffdialog.h"

#include "masterfixture.h"
#include "store/engine.h"
#include "store/params.h"
#include "store/programfolder.h"
#include "ui/helpers.h"

#include <QClipboard>
#include <QLineEdit>
#include <QPushButton>

using namespace records;
using namespace masterfixture;

namespace {

const QString kLoginCaption = QStringLiteral("请输入用户名及密码");

// A real mouse click on the title of column col.
void clickTitle(grid::Grid *g, int col)
{
    grid::GridView *view = viewOf(g, col);
    QVERIFY(view);
    QHeaderView *header = view->horizontalHeader();
    const int x = header->sectionViewportPosition(col) + header->sectionSize(col) / 2;
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, header->height() / 2));
}

int treeRow(const grid::Grid *g, const QString &label)
{
    return rowEndingWith(g, kRightLabelColumn, label);
}

QList<int> markedRows(const grid::Grid *g)
{
    QList<int> rows;
    for (int r = g->fixedRows(); r < g->rows(); ++r)
        if (!g->textMatrix(r, kRightMarkColumn).isEmpty())
            rows << r;
    return rows;
}

// Stores a new member and returns its number.
int addMember(const QString &name, const QString &rights = QString())
{
    StaffInfo info;
    info.boxes = QStringList{name};
    info.rights = rights;
    return saveStaff(0, info);
}

StaffInfo stored(int id)
{
    StaffInfo info;
    loadStaff(id, info);
    return info;
}

void logInAsZunta()
{
    StaffLogin me;
    QCOMPARE(checkLogin(QStringLiteral("zunta"), QStringLiteral("zunta"), me),
             LoginOutcome::LoggedIn);
    applyLogin(me);
}

void confirm(QPointer<StaffDialog> dialog)
{
    QTest::mouseClick(dialog->button(0), Qt::LeftButton);
    QTRY_VERIFY(dialog.isNull());
}

} // namespace

class TestStaff : public QObject
{
    Q_OBJECT

private slots:
    void init() { QVERIFY(m.setUp()); }
    void cleanup() { QVERIFY(m.tearDown()); }

    void loginWindow();
    void refusedLoginRemembersName();
    void loginOnAnUnreadableSet();
    void passwordChecks();
    void deletingStaff();
    void treeClicks();
    void grantOnlyOwnRights_data();
    void grantOnlyOwnRights();
    void treeKeepsToOwnRights();
    void passwordsUnseen();

private:
    Fixture m;
};

// Enter in the password box logs in: the rights are applied, the title
// rebuilt with the user, the window closed and only then the visible list
// reloaded.
void TestStaff::loginWindow()
{
    bool openAtReload = true;
    m.host.onReload = [&] {
        openAtReload = ui::FormIsOpen(kLoginCaption);
    };
    QPointer<LoginDialog> dialog = ShowLoginDialog();
    QTest::keyClicks(dialog->box(0), QStringLiteral("zunta"));
    QTest::keyClicks(dialog->box(1), QStringLiteral("zunta"));
    QTest::keyClick(dialog->box(1), Qt::Key_Return);

    QCOMPARE(store::CurrentUser, QStringLiteral("zunta"));
    QVERIFY(store::CurrentUserID > 0);
    QCOMPARE(m.host.calls, (QStringList{QStringLiteral("ApplyRights:所有权限"),
                                        QStringLiteral("UpdateMainCaption:zunta"),
                                        QStringLiteral("ReloadCurrentList")}));
    QVERIFY(!openAtReload);
    QTRY_VERIFY(dialog.isNull());
    QCOMPARE(store::GetVar(QStringLiteral("最近用户名")), QStringLiteral("zunta"));
}

// Logins match name and password exactly, letter case included, and refuse
// quotes before any query: a quote must never reach the statement, not even
// to make it true. The catch-all salesman 其他 has no password to match.
// A refused login says why and keeps the window and its texts; closing it
// then remembers the typed name for the next opening, which also names the
// account set in use (from the list, else from the set's own parameters).
void TestStaff::refusedLoginRemembersName()
{
    store::SetVar(QStringLiteral("套账名称"), QStringLiteral("参数里的名称"));
    QPointer<LoginDialog> dialog = ShowLoginDialog();
    QCOMPARE(dialog->box(2)->text(), QStringLiteral("参数里的名称"));
    const QStringList tries = {"O'Neil", "zunta", "zunta", "ZUNTA", "ZUNTA",
                               "zunta",  "其他",  "",      "zunta", "' OR '1'='1"};
    for (int i = 0; i < tries.size(); i += 2) {
        dialog->box(0)->setText(tries.at(i));
        dialog->box(1)->setText(tries.at(i + 1));
        if (i == 0)
            QTest::mouseClick(dialog->loginButton(), Qt::LeftButton);
        else
            QTest::keyClick(dialog->box(0), Qt::Key_Enter);
    }
    const QString quote = QStringLiteral("用户名和密码不能有单/双引号！");
    const QString wrong = QStringLiteral("用户名或密码错误！");
    QCOMPARE(m.takeMessages(), (QStringList{quote, wrong, wrong, wrong, quote}));
    QCOMPARE(m.host.calls, QStringList());
    QCOMPARE(store::CurrentUser, QString());
    QVERIFY(dialog->isVisible());

    dialog->box(0)->setText(QStringLiteral("王五"));
    dialog->close();
    QTRY_VERIFY(dialog.isNull());
    store::AccountSet set;
    set.Name = QStringLiteral("二〇二四年账");
    set.FileName = store::CurrentAccountFile;
    store::AccountSets = {set};
    store::CurrentAccountIndex = 0;
    dialog = ShowLoginDialog();
    QCOMPARE(dialog->box(0)->text(), QStringLiteral("王五"));
    QCOMPARE(dialog->box(1)->text(), QString());
    QCOMPARE(dialog->box(2)->text(), QStringLiteral("二〇二四年账"));
}

// A login against a set that cannot be read says so (not that the password
// is wrong), and no message ever holds the typed password: the values are
// bound, not spliced into the statement.
void TestStaff::loginOnAnUnreadableSet()
{
    QPointer<LoginDialog> dialog = ShowLoginDialog();
    m.takeMessages();
    // The set's file is replaced by something that is no account set.
    store::Registry::closeAll();
    QVERIFY(testsupport::writeFile(store::programFilePath(store::CurrentAccountFile),
                                   QByteArray("not a database ").repeated(300)));
    const QString secret = QStringLiteral("秘密Pass123");
    dialog->box(0)->setText(QStringLiteral("zunta"));
    dialog->box(1)->setText(secret);
    QTest::mouseClick(dialog->loginButton(), Qt::LeftButton);
    const QStringList messages = m.takeMessages();
    QVERIFY(messages.contains(kUnreadableSetMessage));
    QVERIFY(!messages.contains(QStringLiteral("用户名或密码错误！")));
    for (const QString &message : messages)
        QVERIFY2(!message.contains(secret), qPrintable(message));
    QCOMPARE(store::CurrentUser, QString());
    dialog->close();
}

// Quotes typed or pasted into the password boxes are dropped where they
// stand. The window refuses mismatches, empty passwords and a wrong current
// password (saying so and staying open); a good change closes it and the
// new password logs in.
void TestStaff::passwordChecks()
{
    logInAsZunta();
    QPointer<PasswordDialog> dialog = ShowPasswordDialog();
    QTest::keyClicks(dialog->box(0), QStringLiteral("a'b\"c"));
    QApplication::clipboard()->setText(QStringLiteral("'x\""));
    dialog->box(0)->setCursorPosition(1);
    QTest::keyClick(dialog->box(0), Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(dialog->box(0)->text(), QStringLiteral("axbc"));
    QCOMPARE(dialog->box(0)->cursorPosition(), 2);

    auto attempt = [&](const QString &current, const QString &next, const QString &again) {
        dialog->box(2)->setText(current);
        dialog->box(0)->setText(next);
        dialog->box(1)->setText(again);
        QTest::mouseClick(dialog->button(0), Qt::LeftButton);
    };
    attempt(QStringLiteral("zunta"), QStringLiteral("abc"), QStringLiteral("abd"));
    attempt(QString(), QStringLiteral("abc"), QStringLiteral("abc"));
    attempt(QStringLiteral("zunta"), QString(), QString());
    attempt(QStringLiteral("Zunta"), QStringLiteral("abc"), QStringLiteral("abc"));
    QCOMPARE(m.takeMessages(),
             (QStringList{QStringLiteral("两次输入的新密码不一致，请重新输入！"),
                          QStringLiteral("密码不能设置为空！"),
                          QStringLiteral("密码不能设置为空！"), QStringLiteral("当前密码错误！")}));
    QVERIFY(dialog->isVisible());

    attempt(QStringLiteral("zunta"), QStringLiteral("abc"), QStringLiteral("abc"));
    QTRY_VERIFY(dialog.isNull());
    StaffLogin user;
    QCOMPARE(checkLogin(QStringLiteral("zunta"), QStringLiteral("abc"), user),
             LoginOutcome::LoggedIn);
    QCOMPARE(checkLogin(QStringLiteral("zunta"), QStringLiteral("zunta"), user),
             LoginOutcome::Wrong);
}

// Deleting a selection that holds the logged-in user and the catch-all row
// deletes only the others; their sales and purchases move to 其他. A
// missing catch-all row is created first; answering No deletes nothing.
void TestStaff::deletingStaff()
{
    logInAsZunta();
    auto addRecords = [](int staffId) {
        for (const char *table : {"Sale", "Pur"})
            exec(QStringLiteral("INSERT INTO %1 (Dat, PID, AID, SID, Num) "
                                "VALUES (#2024-01-02#, 1, 1, %2, 1)")
                         .arg(QLatin1String(table))
                         .arg(staffId));
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
    const int me = store::CurrentUserID;
    addRecords(addMember(QStringLiteral("甲")));
    addRecords(addMember(QStringLiteral("乙")));
    addRecords(me);

    grid::Grid grid;
    LoadStaffList(grid);
    QCOMPARE(grid.dataRows(), 4); // 其他, zunta, 甲, 乙
    grid.setRow(2);
    grid.setRowSel(5);
    DeleteSelectedStaff(grid);
    QCOMPARE(m.prompts->questions, QStringList{QStringLiteral("您确定要删除选中的员工信息？")});
    QCOMPARE(grid.dataRows(), 4);

    // Yes, on all four rows selected bottom up: 甲 and 乙 go.
    m.prompts->answers = {true};
    grid.setRow(5);
    grid.setRowSel(2);
    DeleteSelectedStaff(grid);
    QCOMPARE(column(grid, 2), (QStringList{"其他", "zunta"}));
    QCOMPARE(count(QStringLiteral("Staff")), 2);
    QCOMPARE(sids("Sale"), (QList<int>{other, other, me}));
    QCOMPARE(sids("Pur"), (QList<int>{other, other, me}));

    // A user with staff rights only cannot delete a member above them.
    const int admin = addMember(QStringLiteral("丁"), kAllRights);
    const int clerk = addMember(QStringLiteral("戊"), QStringLiteral("员工数据查看"));
    store::CurrentRights = QStringLiteral("员工数据查看;员工数据删除");
    LoadStaffList(grid);
    m.prompts->answers = {true};
    grid.setRow(4);
    grid.setRowSel(5);
    DeleteSelectedStaff(grid);
    QCOMPARE(m.takeMessages(), QStringList{QStringLiteral("权限高于您的员工没有删除！")});
    QCOMPARE(stored(admin).boxes.value(0), QStringLiteral("丁"));
    QCOMPARE(stored(clerk).boxes, QStringList());
    store::CurrentRights = kAllRights;
    exec(QStringLiteral("DELETE FROM Staff WHERE ID=%1").arg(admin));

    // Without a catch-all row, one is made and takes the records.
    addRecords(addMember(QStringLiteral("丙")));
    exec(QStringLiteral("DELETE FROM Staff WHERE ID=%1").arg(other));
    LoadStaffList(grid);
    m.prompts->answers = {true};
    grid.setRow(3); // zunta, 丙
    DeleteSelectedStaff(grid);
    QCOMPARE(grid.dataRows(), 1);
    const int made = catchAllStaffId();
    QVERIFY(made != other);
    QCOMPARE(sids("Sale").last(), made);
    QCOMPARE(sids("Pur").last(), made);
}

// A new member sees the whole tree unmarked; marking 销售数据删除 alone also
// marks 销售数据查看 and saving stores both, reloading the staff list when it
// is showing. Clicks toggle rows and whole areas; the top row and the 设定
// title mark or clear all 57 rows, and cleared the empty string is stored;
// all 49 rights are shown with √ everywhere and stored as 所有权限.
void TestStaff::treeClicks()
{
    logInAsZunta();
    m.host.tab = 7;
    QPointer<StaffDialog> dialog = ShowStaffDialog(0);
    grid::Grid *tree = dialog->rightsGrid();
    QCOMPARE(markedRows(tree), QList<int>());
    dialog->box(0)->setText(QStringLiteral("O'Neil"));
    const int remove = treeRow(tree, QStringLiteral("销售数据删除"));
    clickCell(tree, remove, kRightMarkColumn);
    QCOMPARE(markedRows(tree), (QList<int>{treeRow(tree, QStringLiteral("销售数据查看")), remove}));
    confirm(dialog);
    QCOMPARE(m.host.reloads, 1);
    const int id = store::LookupWhere(QStringLiteral("Staff"), QStringLiteral("Name='O''Neil'"),
                                      QStringLiteral("ID"))
                           .toInt();
    QCOMPARE(stored(id).rights, QStringLiteral("销售数据查看;销售数据删除"));

    dialog = ShowStaffDialog(id);
    tree = dialog->rightsGrid();
    // An area partly marked is marked whole.
    clickCell(tree, treeRow(tree, QStringLiteral("客户数据查看")), kRightMarkColumn);
    clickCell(tree, treeRow(tree, QStringLiteral("客户设置")), kRightMarkColumn);
    QCOMPARE(GetRightStr(*tree).split(QLatin1Char(';')).size(), 9);
    clickCell(tree, 2, kRightMarkColumn);
    QCOMPARE(markedRows(tree).size(), 57);
    clickCell(tree, 2, kRightMarkColumn);
    QCOMPARE(markedRows(tree), QList<int>());
    clickTitle(tree, kRightMarkColumn);
    QCOMPARE(GetRightStr(*tree), kAllRights);
    clickTitle(tree, kRightMarkColumn);
    confirm(dialog);
    QCOMPARE(stored(id).rights, QString());

    const int full = addMember(QStringLiteral("周九"), allRightTokens().join(QLatin1Char(';')));
    dialog = ShowStaffDialog(full);
    QCOMPARE(column(*dialog->rightsGrid(), kRightMarkColumn), QStringList(57, QStringLiteral("√")));
    confirm(dialog);
    QCOMPARE(stored(full).rights, kAllRights);
}

void TestStaff::grantOnlyOwnRights_data()
{
    // The logged-in user's rights, the member's stored rights (none: a new
    // member), the rights the tree shows on 确定, then the message and the
    // member's rights afterwards (none: nobody was stored).
    QTest::addColumn<QString>("editor");
    QTest::addColumn<QString>("member");
    QTest::addColumn<QString>("wanted");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("after");

    const QString viewAdd = QStringLiteral("员工数据查看;员工数据添加");
    const QString viewEdit = QStringLiteral("员工数据查看;员工数据修改;销售数据查看;销售数据添加");
    const QString tokens = allRightTokens().join(QLatin1Char(';'));
    const QString none;
    const QString own = kOwnRightsOnly;
    const QString higher = kHigherMemberRefusal;
    QTest::newRow("new member with a right the user lacks")
            << viewAdd << none << viewAdd + QStringLiteral(";销售数据查看") << own << none;
    QTest::newRow("new member with the user's rights")
            << viewAdd << none << viewAdd << none << viewAdd;
    QTest::newRow("every token is still not 所有权限")
            << tokens << none << kAllRights << own << none;
    QTest::newRow("all rights by a holder of all rights")
            << kAllRights << none << kAllRights << none << kAllRights;
    QTest::newRow("the administrator is out of reach")
            << viewEdit << kAllRights << kAllRights << higher << kAllRights;
    QTest::newRow("a member with a right the user lacks")
            << viewEdit << QStringLiteral("采购数据查看") << QString() << higher
            << QStringLiteral("采购数据查看");
    QTest::newRow("granting a right the user holds")
            << viewEdit << QStringLiteral("销售数据查看")
            << QStringLiteral("销售数据查看;销售数据添加") << none
            << QStringLiteral("销售数据查看;销售数据添加");
    QTest::newRow("removing rights the user holds")
            << viewEdit << QStringLiteral("销售数据查看;销售数据添加") << QString() << none
            << QStringLiteral("");
    QTest::newRow("granting all rights to a lesser member")
            << viewEdit << QStringLiteral("销售数据查看") << kAllRights << own
            << QStringLiteral("销售数据查看");
}

// A right to edit staff is no right to every right: the user grants only
// rights they hold, 所有权限 only holding it, and leaves alone any member
// who holds a right the user does not. The dialog stays open after a refusal.
void TestStaff::grantOnlyOwnRights()
{
    QFETCH(QString, editor);
    QFETCH(QString, member);
    QFETCH(QString, wanted);
    QFETCH(QString, message);
    QFETCH(QString, after);
    const bool newMember = member.isNull();
    const int id = newMember ? 0 : addMember(QStringLiteral("钱七"), member);
    QVERIFY(newMember || id > 0);
    const int before = count(QStringLiteral("Staff"));
    store::CurrentUserID = addMember(QStringLiteral("赵六"), editor);
    store::CurrentUser = QStringLiteral("赵六");
    store::CurrentRights = editor;

    QPointer<StaffDialog> dialog = ShowStaffDialog(id);
    dialog->box(0)->setText(QStringLiteral("钱七"));
    BuildRightsTree(*dialog->rightsGrid(), wanted);
    QTest::mouseClick(dialog->button(0), Qt::LeftButton);
    QCOMPARE(m.takeMessages(), message.isEmpty() ? QStringList() : QStringList{message});
    if (message.isEmpty())
        QTRY_VERIFY(dialog.isNull());
    else
        QVERIFY(dialog && dialog->isVisible());

    const int memberId = store::LookupWhere(QStringLiteral("Staff"), QStringLiteral("Name='钱七'"),
                                            QStringLiteral("ID"))
                                 .toInt();
    QCOMPARE(memberId != 0, !after.isNull());
    if (memberId != 0)
        QCOMPARE(stored(memberId).rights, after);
    QCOMPARE(count(QStringLiteral("Staff")), before + 1 + (newMember && !after.isNull() ? 1 : 0));
}

// The logged-in user cannot change their own rights, but can edit and save
// the rest of their record, which keeps the rights. Clicking rows of the
// tree marks only rights the user holds: 所有权限 by a user with two staff
// rights marks just those two, and says why.
void TestStaff::treeKeepsToOwnRights()
{
    logInAsZunta();
    QPointer<StaffDialog> dialog = ShowStaffDialog(store::CurrentUserID);
    grid::Grid *tree = dialog->rightsGrid();
    clickCell(tree, 2, kRightMarkColumn);
    clickTitle(tree, kRightMarkColumn);
    QCOMPARE(m.takeMessages(), QStringList(2, QStringLiteral("您不能修改自己的权限！")));
    QCOMPARE(markedRows(tree).size(), 57);

    dialog->box(2)->setText(QStringLiteral("010-8888"));
    confirm(dialog);
    const StaffInfo me = stored(store::CurrentUserID);
    QCOMPARE(me.boxes.mid(1, 2),
             (QStringList{QStringLiteral("zunta"), QStringLiteral("010-8888")}));
    QCOMPARE(me.rights, kAllRights);

    // A user with two staff rights.
    const QString mine = QStringLiteral("员工数据查看;员工数据添加");
    store::CurrentUserID = addMember(QStringLiteral("赵六"), mine);
    store::CurrentUser = QStringLiteral("赵六");
    store::CurrentRights = mine;
    dialog = ShowStaffDialog(0);
    tree = dialog->rightsGrid();
    clickCell(tree, 2, kRightMarkColumn);
    QCOMPARE(m.takeMessages(), QStringList{kOwnRightsOnly});
    QCOMPARE(GetRightStr(*tree), mine);
    clickCell(tree, treeRow(tree, QStringLiteral("员工数据添加")), kRightMarkColumn);
    QVERIFY(m.takeMessages().isEmpty());
    QCOMPARE(GetRightStr(*tree), QStringLiteral("员工数据查看"));

    // A member above the user cannot even be marked.
    const int admin = addMember(QStringLiteral("钱七"), kAllRights);
    dialog = ShowStaffDialog(admin);
    clickCell(dialog->rightsGrid(), 2, kRightMarkColumn);
    QCOMPARE(m.takeMessages(), QStringList{kHigherMemberRefusal});
    QCOMPARE(GetRightStr(*dialog->rightsGrid()), kAllRights);
}

// The password box is masked and never shows a stored password; left empty
// it keeps the stored one, typed it replaces it.
void TestStaff::passwordsUnseen()
{
    logInAsZunta();
    const int id = addMember(QStringLiteral("孙八"));
    exec(QStringLiteral("UPDATE Staff SET PSD='secret' WHERE ID=%1").arg(id));
    QPointer<StaffDialog> dialog = ShowStaffDialog(id);
    QCOMPARE(dialog->box(1)->echoMode(), QLineEdit::Password);
    QCOMPARE(dialog->box(1)->text(), QString());
    dialog->box(2)->setText(QStringLiteral("010-1234"));
    confirm(dialog);
    QCOMPARE(stored(id).boxes.mid(1, 2),
             (QStringList{QStringLiteral("secret"), QStringLiteral("010-1234")}));

    dialog = ShowStaffDialog(id);
    dialog->box(1)->setText(QStringLiteral("new"));
    confirm(dialog);
    StaffLogin login;
    QCOMPARE(checkLogin(QStringLiteral("孙八"), QStringLiteral("new"), login),
             LoginOutcome::LoggedIn);
}

QTEST_MAIN(TestStaff)
#include "tst_staff.moc"
