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

} // namespace

class TestStaff : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void login_data();
    void login();
    void deletingStaff();
    void newMemberTree();
    void treeClicks();
    void ownRights();

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
    QTest::newRow("quote in name") << "O'Neil"
                                   << "zunta" << quote;
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
    QCOMPARE(user.name, outcome == int(LoginOutcome::LoggedIn) ? name : QString());
    QCOMPARE(user.rights, outcome == int(LoginOutcome::LoggedIn) ? kAllRights : QString());
}

// Deleting a selection that holds the logged-in user and the catch-all row
// deletes only the others; their sales and purchases move to 其他. A
// missing catch-all row is created first; answering No deletes nothing.
void TestStaff::deletingStaff()
{
    StaffLogin me;
    checkLogin(QStringLiteral("zunta"), QStringLiteral("zunta"), me);
    applyLogin(me);
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
    QCOMPARE(grid.reportTitle(), QStringLiteral("操作员列表"));
    QCOMPARE(grid.textMatrix(grid::kTitleRow, 6), QStringLiteral("权限"));
    QCOMPARE(grid.dataRows(), 4); // 其他, zunta, 甲, 乙
    QCOMPARE(grid.textMatrix(3, 6), kAllRights);

    grid.setRow(2);
    grid.setRowSel(5);
    DeleteSelectedStaff(grid);
    QCOMPARE(m_prompts->questions, QStringList{QStringLiteral("您确定要删除选中的员工信息？")});
    QCOMPARE(grid.dataRows(), 4);

    // Yes, on all four rows selected bottom up: 甲 and 乙 go.
    m_prompts->answers = {true};
    grid.setRow(5);
    grid.setRowSel(2);
    DeleteSelectedStaff(grid);
    QCOMPARE(grid.dataRows(), 2);
    QCOMPARE(grid.textMatrix(3, 2), QStringLiteral("zunta"));
    StaffInfo gone;
    QVERIFY(!loadStaff(a, gone));
    QVERIFY(!loadStaff(b, gone));
    QCOMPARE(sids("Sale"), (QList<int>{other, other, me.id}));
    QCOMPARE(sids("Pur"), (QList<int>{other, other, me.id}));

    // Without a catch-all row, one is made and takes the records.
    addRecords(addMember(QStringLiteral("丙")));
    QVERIFY(store::ExecSQL(QStringLiteral("DELETE FROM Staff WHERE ID=%1").arg(other)));
    LoadStaffList(grid);
    m_prompts->answers = {true};
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
// is showing. Saving without marks stores the empty string.
void TestStaff::newMemberTree()
{
    FakeHost host;
    host.tab = 7;
    ui::setShellHost(&host);

    QPointer<StaffDialog> dialog = ShowStaffDialog(0);
    grid::Grid *tree = dialog->rightsGrid();
    QCOMPARE(tree->dataRows(), 57);
    QCOMPARE(markedRows(tree), QList<int>());
    QCOMPARE(tree->textMatrix(58, 1), QStringLiteral("57"));
    QCOMPARE(tree->cellBackColor(2, kRightLabelColumn), QColor(0xFF, 0x33, 0xFF));
    QCOMPARE(tree->cellBackColor(3, kRightLabelColumn), QColor(0xDD, 0xDD, 0xDD));

    dialog->box(0)->setText(QStringLiteral("O'Neil"));
    const int remove = treeRow(tree, QStringLiteral("销售数据删除"));
    clickCell(tree, remove, kRightMarkColumn);
    QCOMPARE(markedRows(tree), (QList<int>{treeRow(tree, QStringLiteral("销售数据查看")), remove}));
    QTest::mouseClick(dialog->button(0), Qt::LeftButton);
    QTRY_VERIFY(dialog.isNull());
    QCOMPARE(host.reloads, 1);
    const int id = store::LookupWhere(QStringLiteral("Staff"), QStringLiteral("Name='O''Neil'"),
                                      QStringLiteral("ID"))
                           .toInt();
    QCOMPARE(stored(id).rights, QStringLiteral("销售数据查看;销售数据删除"));

    host.tab = 0;
    dialog = ShowStaffDialog(0);
    dialog->box(0)->setText(QStringLiteral("钱七"));
    QTest::mouseClick(dialog->button(0), Qt::LeftButton);
    QTRY_VERIFY(dialog.isNull());
    QCOMPARE(host.reloads, 1);
    QCOMPARE(stored(id + 1).boxes.first(), QStringLiteral("钱七"));
    QCOMPARE(stored(id + 1).rights, QString());
}

// Clicks toggle rows, selections and whole areas; the top row and the 设定
// title mark or clear everything; a click beside the marks of a partly
// granted area changes nothing; all 49 rights are stored as 所有权限.
void TestStaff::treeClicks()
{
    const int id = addMember(QStringLiteral("孙八"), QStringLiteral("客户数据查看"));
    QPointer<StaffDialog> dialog = ShowStaffDialog(id);
    QCOMPARE(dialog->idBox()->text(), QString::number(id));
    grid::Grid *tree = dialog->rightsGrid();

    const int customers = treeRow(tree, QStringLiteral("客户设置"));
    clickCell(tree, customers, kRightLabelColumn);
    QCOMPARE(GetRightStr(*tree), QStringLiteral("客户数据查看"));

    clickCell(tree, customers, kRightMarkColumn);
    QCOMPARE(GetRightStr(*tree).split(QLatin1Char(';')).size(), 7);
    QCOMPARE(tree->textMatrix(customers, kRightMarkColumn), QStringLiteral("√"));
    clickCell(tree, customers, kRightMarkColumn);
    QCOMPARE(GetRightStr(*tree), QString());

    // A selection of three action rows is marked as one, with its view right.
    clickCell(tree, treeRow(tree, QStringLiteral("采购数据添加")), kRightLabelColumn);
    clickCell(tree, treeRow(tree, QStringLiteral("采购数据删除")), kRightLabelColumn,
              Qt::ShiftModifier);
    QCOMPARE(GetRightStr(*tree),
             QStringLiteral("采购数据查看;采购数据添加;采购数据修改;采购数据删除"));

    clickCell(tree, 2, kRightMarkColumn);
    QCOMPARE(markedRows(tree).size(), 57);
    clickCell(tree, 2, kRightMarkColumn);
    QCOMPARE(markedRows(tree), QList<int>());
    clickTitle(tree, kRightMarkColumn);
    QCOMPARE(GetRightStr(*tree), kAllRights);
    clickTitle(tree, kRightMarkColumn);
    QTest::mouseClick(dialog->button(0), Qt::LeftButton);
    QTRY_VERIFY(dialog.isNull());
    QCOMPARE(stored(id).rights, QString());

    // All 49 tokens mark every row and come back as 所有权限.
    const int full = addMember(QStringLiteral("周九"), allRightTokens().join(QLatin1Char(';')));
    dialog = ShowStaffDialog(full);
    QCOMPARE(markedRows(dialog->rightsGrid()).size(), 57);
    // Opening another member replaces the window, boxes and number included.
    QPointer<StaffDialog> next = ShowStaffDialog(0);
    QTRY_VERIFY(dialog.isNull());
    QCOMPARE(next->idBox()->text(), QString());
    QCOMPARE(next->box(0)->text(), QString());
    next->close();
    dialog = ShowStaffDialog(full);
    QTest::mouseClick(dialog->button(0), Qt::LeftButton);
    QCOMPARE(stored(full).rights, kAllRights);
}

// The logged-in user cannot change their own rights, but can edit and save
// the rest of their record, which keeps the rights unchanged.
void TestStaff::ownRights()
{
    StaffLogin me;
    checkLogin(QStringLiteral("zunta"), QStringLiteral("zunta"), me);
    applyLogin(me);

    QPointer<StaffDialog> dialog = ShowStaffDialog(me.id);
    grid::Grid *tree = dialog->rightsGrid();
    clickCell(tree, 2, kRightMarkColumn);
    clickTitle(tree, kRightMarkColumn);
    QCOMPARE(m_prompts->messages, QStringList(2, QStringLiteral("您不能修改自己的权限！")));
    m_prompts->messages.clear();
    QCOMPARE(markedRows(tree).size(), 57);

    dialog->box(2)->setText(QStringLiteral("010-8888"));
    QTest::mouseClick(dialog->button(0), Qt::LeftButton);
    QCOMPARE(stored(me.id).boxes.mid(1, 2),
             (QStringList{QStringLiteral("zunta"), QStringLiteral("010-8888")}));
    QCOMPARE(stored(me.id).rights, kAllRights);
}

QTEST_MAIN(TestStaff)
#include "tst_staff.moc"
