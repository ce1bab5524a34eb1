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

using namespace Qt::StringLiterals;

using namespace records;
using namespace masterfixture;

namespace {

const QString kLoginCaption = u"请输入用户名及密码"_s;

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
    QCOMPARE(checkLogin(u"zunta"_s, u"zunta"_s, me), LoginOutcome::LoggedIn);
    applyLogin(me);
}
} // namespace

class TestStaff : public QObject
{
    Q_OBJECT

private slots:
    void init() { QVERIFY(m.setUp()); }
    void cleanup() { QVERIFY(m.tearDown()); }

    // Logins match name and password exactly and refuse quotes before any query. A login
    // applies the rights, rebuilds the title and reloads the list after the window closed.
    void loginWindow()
    {
        store::SetVar(u"套账名称"_s, u"参数里的名称"_s);
        QPointer<LoginDialog> dialog = ShowLoginDialog();
        QCOMPARE(dialog->box(2)->text(), u"参数里的名称"_s);
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
        const QString quote = u"用户名和密码不能有单/双引号！"_s;
        const QString wrong = u"用户名或密码错误！"_s;
        QCOMPARE(m.takeMessages(), (QStringList{quote, wrong, wrong, wrong, quote}));
        QCOMPARE(m.host.calls, QStringList());
        QCOMPARE(store::CurrentUser, QString());
        QVERIFY(dialog->isVisible());

        bool openAtReload = true;
        m.host.onReload = [&] {
            openAtReload = ui::FormIsOpen(kLoginCaption);
        };
        dialog->box(0)->setText(u"zunta"_s);
        dialog->box(1)->clear();
        QTest::keyClicks(dialog->box(1), u"zunta"_s);
        QTest::keyClick(dialog->box(1), Qt::Key_Return);
        QCOMPARE(store::CurrentUser, u"zunta"_s);
        QCOMPARE(m.host.calls, (QStringList{u"ApplyRights:所有权限"_s, u"UpdateMainCaption:zunta"_s,
                                            u"ReloadCurrentList"_s}));
        QVERIFY(!openAtReload);
        QTRY_VERIFY(dialog.isNull());
        QCOMPARE(store::GetVar(u"最近用户名"_s), u"zunta"_s);
    }

    // An unreadable set is said as such, and no message holds the password.
    void loginOnAnUnreadableSet()
    {
        QPointer<LoginDialog> dialog = ShowLoginDialog();
        m.takeMessages();
        store::Registry::closeAll();
        QVERIFY(testsupport::writeFile(store::programFilePath(store::CurrentAccountFile),
                                       QByteArray("not a database ").repeated(300)));
        const QString secret = u"秘密Pass123"_s;
        dialog->box(0)->setText(u"zunta"_s);
        dialog->box(1)->setText(secret);
        QTest::mouseClick(dialog->loginButton(), Qt::LeftButton);
        const QStringList messages = m.takeMessages();
        QVERIFY(messages.contains(kUnreadableSetMessage));
        QVERIFY(!messages.contains(u"用户名或密码错误！"_s));
        for (const QString &message : messages)
            QVERIFY2(!message.contains(secret), qPrintable(message));
        QCOMPARE(store::CurrentUser, QString());
        dialog->close();
    }

    // Quotes typed or pasted into password boxes are dropped; bad changes are
    // refused. The staff dialog never shows a stored password; left empty it
    // keeps it, typed it replaces it.
    void passwords()
    {
        logInAsZunta();
        QPointer<PasswordDialog> dialog = ShowPasswordDialog();
        QTest::keyClicks(dialog->box(0), u"a'b\"c"_s);
        QApplication::clipboard()->setText(u"'x\""_s);
        dialog->box(0)->setCursorPosition(1);
        QTest::keyClick(dialog->box(0), Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(dialog->box(0)->text(), u"axbc"_s);

        auto attempt = [&](const QString &current, const QString &next, const QString &again) {
            dialog->box(2)->setText(current);
            dialog->box(0)->setText(next);
            dialog->box(1)->setText(again);
            QTest::mouseClick(dialog->button(0), Qt::LeftButton);
        };
        attempt(u"zunta"_s, u"abc"_s, u"abd"_s);
        attempt(QString(), u"abc"_s, u"abc"_s);
        attempt(u"zunta"_s, QString(), QString());
        attempt(u"Zunta"_s, u"abc"_s, u"abc"_s);
        QCOMPARE(m.takeMessages(),
                 (QStringList{u"两次输入的新密码不一致，请重新输入！"_s, u"密码不能设置为空！"_s,
                              u"密码不能设置为空！"_s, u"当前密码错误！"_s}));
        QVERIFY(dialog->isVisible());

        attempt(u"zunta"_s, u"abc"_s, u"abc"_s);
        QTRY_VERIFY(dialog.isNull());
        StaffLogin user;
        QCOMPARE(checkLogin(u"zunta"_s, u"abc"_s, user), LoginOutcome::LoggedIn);
        QCOMPARE(checkLogin(u"zunta"_s, u"zunta"_s, user), LoginOutcome::Wrong);

        const int id = addMember(u"孙八"_s);
        exec(u"UPDATE Staff SET PSD='secret' WHERE ID=%1"_s.arg(id));
        QPointer<StaffDialog> staff = ShowStaffDialog(id);
        QCOMPARE(staff->box(1)->echoMode(), QLineEdit::Password);
        QCOMPARE(staff->box(1)->text(), QString());
        staff->box(2)->setText(u"010-1234"_s);
        confirm(staff.data());
        QCOMPARE(stored(id).boxes.mid(1, 2), (QStringList{u"secret"_s, u"010-1234"_s}));
        staff = ShowStaffDialog(id);
        staff->box(1)->setText(u"new"_s);
        confirm(staff.data());
        QCOMPARE(checkLogin(u"孙八"_s, u"new"_s, user), LoginOutcome::LoggedIn);
    }

    // Deleting spares the logged-in user and 其他, which takes the others'
    // records (made first when missing); No deletes nothing.
    void deletingStaff()
    {
        logInAsZunta();
        auto addRecords = [](int staffId) {
            for (const char *table : {"Sale", "Pur"})
                exec(fill(u"INSERT INTO %1 (Dat, PID, AID, SID, Num) "
                          "VALUES (#2024-01-02#, 1, 1, %2, 1)"_s,
                          table, staffId));
        };
        auto sids = [] {
            return queryRows(u"SELECT SID FROM Sale ORDER BY ID"_s)
                   + queryRows(u"SELECT SID FROM Pur ORDER BY ID"_s);
        };
        const int other = catchAllStaffId();
        const int me = store::CurrentUserID;
        const QString o = QString::number(other), i = QString::number(me);
        addRecords(addMember(u"甲"_s));
        addRecords(addMember(u"乙"_s));
        addRecords(me);

        grid::Grid grid;
        LoadStaffList(grid);
        QCOMPARE(grid.dataRows(), 4); // 其他, zunta, 甲, 乙
        grid.setRow(2);
        grid.setRowSel(5);
        DeleteSelectedStaff(grid);
        QCOMPARE(m.prompts->questions.size(), 1);
        QCOMPARE(grid.dataRows(), 4);

        // Yes, on all four rows selected bottom up: 甲 and 乙 go.
        m.prompts->answers = {true};
        grid.setRow(5);
        grid.setRowSel(2);
        DeleteSelectedStaff(grid);
        QCOMPARE(column(grid, 2), (QStringList{"其他", "zunta"}));
        QCOMPARE(count(u"Staff"_s), 2);
        QCOMPARE(sids(), (QStringList{o, o, i, o, o, i}));

        // A user with staff rights only cannot delete a member above them.
        const int admin = addMember(u"丁"_s, kAllRights);
        const int clerk = addMember(u"戊"_s, u"员工数据查看"_s);
        store::CurrentRights = u"员工数据查看;员工数据删除"_s;
        LoadStaffList(grid);
        m.prompts->answers = {true};
        grid.setRow(4);
        grid.setRowSel(5);
        DeleteSelectedStaff(grid);
        QCOMPARE(m.takeMessages(), QStringList{u"权限高于您的员工没有删除！"_s});
        QCOMPARE(stored(admin).boxes.value(0), u"丁"_s);
        QCOMPARE(stored(clerk).boxes, QStringList());
        store::CurrentRights = kAllRights;
        exec(u"DELETE FROM Staff WHERE ID=%1"_s.arg(admin));

        // Without a catch-all row, one is made and takes the records.
        addRecords(addMember(u"丙"_s));
        exec(u"DELETE FROM Staff WHERE ID=%1"_s.arg(other));
        LoadStaffList(grid);
        m.prompts->answers = {true};
        grid.setRow(3); // zunta, 丙
        DeleteSelectedStaff(grid);
        QCOMPARE(grid.dataRows(), 1);
        const QString made = QString::number(catchAllStaffId());
        QVERIFY(made != o);
        QCOMPARE(sids(), (QStringList{o, o, i, made, o, o, i, made}));
    }

    // Clicks toggle rows, and by the top row or title all rows. Users
    // cannot change their own rights, and mark only rights they hold.
    void treeClicks()
    {
        logInAsZunta();
        m.host.tab = 7;
        QPointer<StaffDialog> dialog = ShowStaffDialog(0);
        grid::Grid *tree = dialog->rightsGrid();
        QCOMPARE(markedRows(tree), QList<int>());
        dialog->box(0)->setText(u"O'Neil"_s);
        const int remove = treeRow(tree, u"销售数据删除"_s);
        clickCell(tree, remove, kRightMarkColumn);
        QCOMPARE(markedRows(tree), (QList<int>{treeRow(tree, u"销售数据查看"_s), remove}));
        confirm(dialog.data());
        QCOMPARE(m.host.reloads, 1);
        const int id = store::LookupWhere(u"Staff"_s, u"Name='O''Neil'"_s, u"ID"_s).toInt();
        QCOMPARE(stored(id).rights, u"销售数据查看;销售数据删除"_s);

        dialog = ShowStaffDialog(id);
        tree = dialog->rightsGrid();
        clickCell(tree, 2, kRightMarkColumn);
        QCOMPARE(markedRows(tree).size(), 57);
        clickCell(tree, 2, kRightMarkColumn);
        QCOMPARE(markedRows(tree), QList<int>());
        clickTitle(tree, kRightMarkColumn);
        QCOMPARE(GetRightStr(*tree), kAllRights);
        clickTitle(tree, kRightMarkColumn);
        confirm(dialog.data());
        QCOMPARE(stored(id).rights, QString());

        dialog = ShowStaffDialog(store::CurrentUserID);
        tree = dialog->rightsGrid();
        clickCell(tree, 2, kRightMarkColumn);
        clickTitle(tree, kRightMarkColumn);
        QCOMPARE(m.takeMessages(), QStringList(2, u"您不能修改自己的权限！"_s));
        QCOMPARE(markedRows(tree).size(), 57);

        dialog->box(2)->setText(u"010-8888"_s);
        confirm(dialog.data());
        const StaffInfo me = stored(store::CurrentUserID);
        QCOMPARE(me.boxes.mid(1, 2), (QStringList{u"zunta"_s, u"010-8888"_s}));
        QCOMPARE(me.rights, kAllRights);

        // A user with two staff rights.
        const QString mine = u"员工数据查看;员工数据添加"_s;
        store::CurrentUserID = addMember(u"赵六"_s, mine);
        store::CurrentUser = u"赵六"_s;
        store::CurrentRights = mine;
        dialog = ShowStaffDialog(0);
        tree = dialog->rightsGrid();
        clickCell(tree, 2, kRightMarkColumn);
        QCOMPARE(m.takeMessages(), QStringList{kOwnRightsOnly});
        QCOMPARE(GetRightStr(*tree), mine);
        clickCell(tree, treeRow(tree, u"员工数据添加"_s), kRightMarkColumn);
        QVERIFY(m.takeMessages().isEmpty());
        QCOMPARE(GetRightStr(*tree), u"员工数据查看"_s);

        // A member above the user cannot even be marked.
        const int admin = addMember(u"钱七"_s, kAllRights);
        dialog = ShowStaffDialog(admin);
        clickCell(dialog->rightsGrid(), 2, kRightMarkColumn);
        QCOMPARE(m.takeMessages(), QStringList{kHigherMemberRefusal});
        QCOMPARE(GetRightStr(*dialog->rightsGrid()), kAllRights);
    }

    void grantOnlyOwnRights_data()
    {
        // The user's rights, the member's (none: new), the rights wanted, then
        // the message and the member's rights after (none: nobody stored).
        QTest::addColumn<QString>("editor");
        QTest::addColumn<QString>("member");
        QTest::addColumn<QString>("wanted");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("after");

        const QString viewAdd = u"员工数据查看;员工数据添加"_s;
        const QString viewEdit = u"员工数据查看;员工数据修改;销售数据查看;销售数据添加"_s;
        const QString none;
        const QString own = kOwnRightsOnly;
        const QString higher = kHigherMemberRefusal;
        QTest::newRow("new member with a right the user lacks")
                << viewAdd << none << viewAdd + u";销售数据查看"_s << own << none;
        QTest::newRow("new member with the user's rights")
                << viewAdd << none << viewAdd << none << viewAdd;
        QTest::newRow("the administrator is out of reach")
                << viewEdit << kAllRights << kAllRights << higher << kAllRights;
        QTest::newRow("a member with a right the user lacks")
                << viewEdit << u"采购数据查看"_s << QString() << higher << u"采购数据查看"_s;
        QTest::newRow("granting a right the user holds")
                << viewEdit << u"销售数据查看"_s << u"销售数据查看;销售数据添加"_s << none
                << u"销售数据查看;销售数据添加"_s;
        QTest::newRow("granting all rights to a lesser member")
                << viewEdit << u"销售数据查看"_s << kAllRights << own << u"销售数据查看"_s;
    }

    // Users grant only rights they hold and leave alone any member holding a
    // right they lack; the dialog stays open after a refusal.
    void grantOnlyOwnRights()
    {
        QFETCH(QString, editor);
        QFETCH(QString, member);
        QFETCH(QString, wanted);
        QFETCH(QString, message);
        QFETCH(QString, after);
        const bool newMember = member.isNull();
        const int id = newMember ? 0 : addMember(u"钱七"_s, member);
        QVERIFY(newMember || id > 0);
        const int before = count(u"Staff"_s);
        store::CurrentUserID = addMember(u"赵六"_s, editor);
        store::CurrentUser = u"赵六"_s;
        store::CurrentRights = editor;

        QPointer<StaffDialog> dialog = ShowStaffDialog(id);
        dialog->box(0)->setText(u"钱七"_s);
        BuildRightsTree(*dialog->rightsGrid(), wanted);
        QTest::mouseClick(dialog->button(0), Qt::LeftButton);
        QCOMPARE(m.takeMessages(), message.isEmpty() ? QStringList() : QStringList{message});
        if (message.isEmpty())
            QTRY_VERIFY(dialog.isNull());
        else
            QVERIFY(dialog && dialog->isVisible());

        const int memberId = store::LookupWhere(u"Staff"_s, u"Name='钱七'"_s, u"ID"_s).toInt();
        QCOMPARE(memberId != 0, !after.isNull());
        if (memberId != 0)
            QCOMPARE(stored(memberId).rights, after);
        QCOMPARE(count(u"Staff"_s), before + 1 + (newMember && !after.isNull() ? 1 : 0));
    }

private:
    Fixture m;
};

KORVO_TEST_ON_BOTH_ENGINES(TestStaff, QApplication)
#include "tst_staff.moc"
