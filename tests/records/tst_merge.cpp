#include "records/merge.h"
#include "records/mergewindow.h"

#include "grid/grid.h"
#include "grid/gridops.h"
#include "grid/gridview.h"
#include "ui/shellhost.h"

#include "store/access.h"
#include "store/programfolder.h"
#include "store/schema.h"
#include "store/session.h"
#include "testsupport.h"

#include <QHeaderView>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QtTest>

#include <memory>

using namespace records;

namespace {

// Counts the reloads of the visible list.
class FakeHost : public ui::ShellHost
{
public:
    int reloads = 0;

    void SelectAccountSet(int, bool) override {}
    void UpdateMainCaption() override {}
    void ApplyRights() override {}
    void SaveSettings() override {}
    void ReloadCurrentList() override { ++reloads; }
    int currentRecordTab() const override { return 3; }
    void ClearRecordGrids() override {}
    void ClearAnalysisGrids() override {}
    void ShowCurrentRecordTab() override {}
    void ShowCurrentAnalysisTab() override {}
};

const QStringList kNames
        = {QStringLiteral("甲"), QStringLiteral("乙"), QStringLiteral("丙"), QStringLiteral("丁")};

// Every row of a table, ordered by ID, each as "field=value;…" over fields.
QStringList rowsOf(const QString &table, const QStringList &fields)
{
    store::RecordSet rs;
    store::OpenQuery(rs, QStringLiteral("SELECT %1 FROM %2 ORDER BY ID")
                                 .arg(fields.join(QLatin1Char(',')), table));
    QStringList rows;
    for (; !rs.eof(); rs.moveNext()) {
        QStringList cells;
        for (int c = 0; c < fields.size(); ++c)
            cells << fields.at(c) + QLatin1Char('=') + rs.value(c).toString();
        rows << cells.join(QLatin1Char(';'));
    }
    return rows;
}

const QStringList kSaleFields = {"ID", "PID", "CID", "AID", "SID", "Num", "Memo"};
const QStringList kPurFields = {"ID", "PID", "VID", "AID", "SID", "Num", "Memo"};

QStringList saleRows()
{
    return rowsOf(QStringLiteral("Sale"), kSaleFields);
}

QStringList purRows()
{
    return rowsOf(QStringLiteral("Pur"), kPurFields);
}

QStringList masterRows(const QString &table)
{
    return rowsOf(table, {QStringLiteral("ID"), QStringLiteral("Name")});
}

// Record IDs of table's four test rows 甲 乙 丙 丁.
QVector<qint64> testIds(const QString &table)
{
    QVector<qint64> ids;
    for (const QString &name : kNames)
        ids << store::LookupWhere(table, QStringLiteral("Name='%1'").arg(name),
                                  QStringLiteral("ID"))
                        .toLongLong();
    return ids;
}

// The rows as they should be after records merged of table moved to kept:
// only the key field of the target changes, in the tables the target is on.
QStringList expectedRows(const QStringList &before, const QString &key, bool touched,
                         const QVector<qint64> &merged, qint64 kept)
{
    if (!touched)
        return before;
    QStringList rows;
    for (const QString &row : before) {
        QStringList cells = row.split(QLatin1Char(';'));
        for (QString &cell : cells) {
            const QString prefix = key + QLatin1Char('=');
            if (cell.startsWith(prefix) && merged.contains(cell.mid(prefix.size()).toLongLong()))
                cell = prefix + QString::number(kept);
        }
        rows << cells.join(QLatin1Char(';'));
    }
    return rows;
}

grid::GridView *viewOf(grid::Grid *g, int col)
{
    const auto views = g->findChildren<grid::GridView *>();
    for (grid::GridView *view : views)
        if (!view->horizontalHeader()->isSectionHidden(col))
            return view;
    return nullptr;
}

// A real mouse click on cell (row, col) of the grid.
void clickCell(grid::Grid *g, int row, int col)
{
    grid::GridView *view = viewOf(g, col);
    QVERIFY(view);
    const QModelIndex index = view->model()->index(row - g->fixedRows(), col);
    view->scrollTo(index);
    const QRect rect = view->visualRect(index);
    QVERIFY(!rect.isEmpty());
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, rect.center());
}

// Grid row showing name, -1 when none.
int rowOf(const grid::Grid *g, const QString &name)
{
    for (int r = g->fixedRows(); r < g->rows(); ++r)
        if (g->textMatrix(r, kMergeNameColumn) == name)
            return r;
    return -1;
}

QStringList markedNames(const grid::Grid *g)
{
    QStringList names;
    for (int r = g->fixedRows(); r < g->rows(); ++r)
        if (g->textMatrix(r, kMergeTickColumn) == QStringLiteral("√"))
            names << g->textMatrix(r, kMergeNameColumn);
    return names;
}

} // namespace

class TestMerge : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void mergeMovesOnlyItsKey_data();
    void mergeMovesOnlyItsKey();
    void refusedMerges();
    void failedStatementChangesNothing();
    void windowCaptions_data();
    void windowCaptions();
    void windowMerge();
    void windowKeepsLoggedInUser();

private:
    std::unique_ptr<testsupport::TempProgramFolder> m_folder;
    std::unique_ptr<testsupport::ScriptedPrompts> m_prompts;
};

// A fresh account set with 甲 乙 丙 丁 in every master table and sales and
// purchases whose keys use the same numbers across fields, so a statement on
// the wrong field or table shows.
void TestMerge::init()
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

    for (const char *table : {"Pro", "Cus", "Vendor", "Acc", "Staff"})
        for (const QString &name : kNames)
            QVERIFY(store::ExecSQL(QStringLiteral("INSERT INTO %1 (Name) VALUES ('%2')")
                                           .arg(QLatin1String(table), name)));
    // Staff starts with 其他 (1) and zunta (2), so 甲 … 丁 are 3 … 6 there and
    // 1 … 4 elsewhere.
    for (int i = 0; i < 16; ++i) {
        const int a = 1 + i % 4;
        const int b = 1 + (i / 4) % 4;
        const int staff = 1 + (i * 3) % 6;
        QVERIFY(store::ExecSQL(
                QStringLiteral("INSERT INTO Sale (Dat, PID, CID, AID, SID, Num, Memo) "
                               "VALUES (#2024-03-01#, %1, %2, %3, %4, %5, 's%5')")
                        .arg(a)
                        .arg(b)
                        .arg(1 + (a + b) % 4)
                        .arg(staff)
                        .arg(i)));
        QVERIFY(store::ExecSQL(
                QStringLiteral("INSERT INTO Pur (Dat, PID, VID, AID, SID, Num, Memo) "
                               "VALUES (#2024-03-02#, %1, %2, %3, %4, %5, 'p%5')")
                        .arg(b)
                        .arg(a)
                        .arg(1 + (a * b) % 4)
                        .arg(7 - staff)
                        .arg(i)));
    }
}

void TestMerge::cleanup()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        delete w;
    ui::setShellHost(nullptr);
    m_prompts.reset();
    m_folder.reset();
}

void TestMerge::mergeMovesOnlyItsKey_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("key");
    QTest::addColumn<bool>("sale");
    QTest::addColumn<bool>("pur");
    QTest::newRow("products") << "Pro"
                              << "PID" << true << true;
    QTest::newRow("customers") << "Cus"
                               << "CID" << true << false;
    QTest::newRow("vendors") << "Vendor"
                             << "VID" << false << true;
    QTest::newRow("accounts") << "Acc"
                              << "AID" << true << true;
    QTest::newRow("staff") << "Staff"
                           << "SID" << true << true;
}

// Merging 丁 and 乙 into 甲, with 甲 marked among them too: the records of
// 丁 and 乙 point to 甲 in exactly the tables the target is on, no other
// field or table changes, 丁 and 乙 are deleted and 甲 and 丙 stay.
void TestMerge::mergeMovesOnlyItsKey()
{
    QFETCH(QString, table);
    QFETCH(QString, key);
    QFETCH(bool, sale);
    QFETCH(bool, pur);

    const QVector<qint64> ids = testIds(table);
    const qint64 kept = ids[0];
    const QVector<qint64> merged = {ids[3], ids[1]};
    const QStringList salesBefore = saleRows();
    const QStringList purchasesBefore = purRows();
    QMap<QString, QStringList> mastersBefore;
    for (const MergeTarget &target : mergeTargets())
        mastersBefore[target.table] = masterRows(target.table);

    const MergeResult result = ReplaceName(table, {ids[3], kept, ids[1]}, kept);
    QCOMPARE(int(result.outcome), int(MergeResult::Outcome::Merged));
    QCOMPARE(result.merged, merged);
    QVERIFY(result.keptBack.isEmpty());

    QCOMPARE(saleRows(), expectedRows(salesBefore, key, sale, merged, kept));
    QCOMPARE(purRows(), expectedRows(purchasesBefore, key, pur, merged, kept));
    // The merge really moved something, so the comparison above means something.
    if (sale)
        QVERIFY(saleRows() != salesBefore);
    if (pur)
        QVERIFY(purRows() != purchasesBefore);

    for (const MergeTarget &target : mergeTargets()) {
        QStringList expected = mastersBefore[target.table];
        if (target.table == table) {
            expected.removeAll(QStringLiteral("ID=%1;Name=丁").arg(ids[3]));
            expected.removeAll(QStringLiteral("ID=%1;Name=乙").arg(ids[1]));
            QCOMPARE(expected.size(), mastersBefore[target.table].size() - 2);
        }
        QCOMPARE(masterRows(target.table), expected);
    }
}

// Merges that must not happen leave every row as it was: the kept record
// alone marked, a kept record that is gone, a table that is not a master
// list, the logged-in member (the others marked with him still merge).
void TestMerge::refusedMerges()
{
    const QStringList sales = saleRows();
    const QStringList purchases = purRows();
    const QStringList products = masterRows(QStringLiteral("Pro"));

    MergeResult result = ReplaceName(QStringLiteral("Pro"), {2}, 2);
    QCOMPARE(int(result.outcome), int(MergeResult::Outcome::NothingToMerge));
    result = ReplaceName(QStringLiteral("Pro"), {}, 2);
    QCOMPARE(int(result.outcome), int(MergeResult::Outcome::NothingToMerge));
    result = ReplaceName(QStringLiteral("Pro"), {1, 3}, 99);
    QCOMPARE(int(result.outcome), int(MergeResult::Outcome::KeptMissing));
    QVERIFY(result.merged.isEmpty());
    result = ReplaceName(QStringLiteral("Sale"), {1, 3}, 2);
    QCOMPARE(int(result.outcome), int(MergeResult::Outcome::Failed));
    QCOMPARE(saleRows(), sales);
    QCOMPARE(purRows(), purchases);
    QCOMPARE(masterRows(QStringLiteral("Pro")), products);

    // zunta (2) is logged in: merging him and 甲 (3) into 乙 (4) merges 甲 only.
    store::CurrentUserID = 2;
    const QStringList staff = masterRows(QStringLiteral("Staff"));
    result = ReplaceName(QStringLiteral("Staff"), {2}, 4);
    QCOMPARE(int(result.outcome), int(MergeResult::Outcome::NothingToMerge));
    QCOMPARE(result.keptBack, QVector<qint64>{2});
    QCOMPARE(masterRows(QStringLiteral("Staff")), staff);
    result = ReplaceName(QStringLiteral("Staff"), {2, 3}, 4);
    QCOMPARE(int(result.outcome), int(MergeResult::Outcome::Merged));
    QCOMPARE(result.merged, QVector<qint64>{3});
    QCOMPARE(result.keptBack, QVector<qint64>{2});
    QCOMPARE(saleRows(), expectedRows(sales, QStringLiteral("SID"), true, {3}, 4));
    QCOMPARE(purRows(), expectedRows(purchases, QStringLiteral("SID"), true, {3}, 4));
    QVERIFY(masterRows(QStringLiteral("Staff")).contains(QStringLiteral("ID=2;Name=zunta")));
}

// When a statement fails half way (here the purchases refuse the update
// after the sales took it), nothing is changed: no sale points to the kept
// product alone and no product is deleted while purchases still need it.
void TestMerge::failedStatementChangesNothing()
{
    store::Connection conn;
    QVERIFY(store::OpenConn(conn));
    QVERIFY(conn->execNative(QStringLiteral("CREATE TRIGGER NoPurMove BEFORE UPDATE OF PID ON Pur "
                                            "BEGIN SELECT RAISE(ABORT, 'refused'); END")));
    const QStringList sales = saleRows();
    const QStringList purchases = purRows();
    const QStringList products = masterRows(QStringLiteral("Pro"));

    const MergeResult result = ReplaceName(QStringLiteral("Pro"), {2, 3}, 1);
    QCOMPARE(int(result.outcome), int(MergeResult::Outcome::Failed));
    QVERIFY(result.merged.isEmpty());
    QCOMPARE(saleRows(), sales);
    QCOMPARE(purRows(), purchases);
    QCOMPARE(masterRows(QStringLiteral("Pro")), products);

    // Customers are not on purchases, so the refusing trigger does not matter.
    QCOMPARE(int(ReplaceName(QStringLiteral("Cus"), {2}, 1).outcome),
             int(MergeResult::Outcome::Merged));
}

void TestMerge::windowCaptions_data()
{
    QTest::addColumn<int>("menu");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("mergedLabel");
    QTest::addColumn<QString>("keptLabel");
    QTest::addColumn<QString>("noteExample");
    QTest::newRow("products") << 0 << "产品合并替换"
                              << "请选择被合并替换的产品："
                              << "请选择替换为产品："
                              << "例：产品A和产品B实际是同一个产品";
    QTest::newRow("customers") << 1 << "客户合并替换"
                               << "请选择被合并替换的客户："
                               << "请选择替换为客户："
                               << "例：客户A和客户B实际是同一个客户";
    QTest::newRow("staff") << 4 << "销售人员合并替换"
                           << "请选择被合并替换的销售人员："
                           << "请选择替换为销售人员："
                           << "例：销售人员A和销售人员B实际是同一个销售人员";
}

// Every text of the window speaks of the target, and both grids list the
// whole target table in name order with an empty, centred 选择 column.
void TestMerge::windowCaptions()
{
    QFETCH(int, menu);
    QFETCH(QString, caption);
    QFETCH(QString, mergedLabel);
    QFETCH(QString, keptLabel);
    QFETCH(QString, noteExample);

    QPointer<MergeWindow> window = ShowMergeWindow(menu);
    QVERIFY(window);
    QCOMPARE(window->windowTitle(), caption);
    QCOMPARE(window->label(0)->text(), mergedLabel);
    QCOMPARE(window->label(1)->text(), keptLabel);
    QVERIFY(window->label(2)->text().contains(noteExample));
    QCOMPARE(window->label(2)->text().contains(QStringLiteral("产品")), menu == 0);

    const QString table = window->target().table;
    const QStringList order = menu == 4 ? QStringList{"丙", "丁", "甲", "其他", "乙", "zunta"}
                                        : QStringList{"丙", "丁", "甲", "乙"};
    for (int i = 0; i < 2; ++i) {
        grid::Grid *g = window->grid(i);
        QCOMPARE(g->tag(), table);
        QCOMPARE(g->textMatrix(grid::kTitleRow, kMergeTickColumn), QStringLiteral("选择"));
        QCOMPARE(g->textMatrix(grid::kTitleRow, kMergeNameColumn), QStringLiteral("名称"));
        QCOMPARE(g->colAlignment(kMergeTickColumn), grid::kAlignCenterCenter);
        QStringList names;
        for (int r = g->fixedRows(); r < g->rows(); ++r)
            names << g->textMatrix(r, kMergeNameColumn);
        QCOMPARE(names, order);
        QVERIFY(markedNames(g).isEmpty());
    }

    // Opening another item replaces the window; there is no sixth item.
    QPointer<MergeWindow> next = ShowMergeWindow((menu + 1) % 5);
    QTRY_VERIFY(window.isNull());
    QVERIFY(next);
    QVERIFY(!ShowMergeWindow(5));
}

// Driving the product window with the mouse: the first grid takes many
// marks, the second one; confirming without a complete choice tells the
// user, changes nothing and keeps the window; a complete choice merges,
// reloads the visible list and closes the window.
void TestMerge::windowMerge()
{
    FakeHost host;
    ui::setShellHost(&host);
    QPointer<MergeWindow> window = ShowMergeWindow(0);
    grid::Grid *away = window->grid(0);
    grid::Grid *keep = window->grid(1);
    const QStringList sales = saleRows();
    const QStringList purchases = purRows();
    const QStringList products = masterRows(QStringLiteral("Pro"));

    QTest::mouseClick(window->button(0), Qt::LeftButton);
    QCOMPARE(m_prompts->messages, QStringList{QStringLiteral("请选择被合并替换的产品！")});

    clickCell(away, rowOf(away, QStringLiteral("乙")), kMergeTickColumn);
    clickCell(away, rowOf(away, QStringLiteral("甲")), kMergeTickColumn);
    clickCell(away, rowOf(away, QStringLiteral("丙")), kMergeTickColumn);
    clickCell(away, rowOf(away, QStringLiteral("丙")), kMergeTickColumn); // unmarks again
    QCOMPARE(markedNames(away), (QStringList{"甲", "乙"}));

    QTest::mouseClick(window->button(0), Qt::LeftButton);
    QCOMPARE(m_prompts->messages.last(), QStringLiteral("请选择替换为产品！"));

    clickCell(keep, rowOf(keep, QStringLiteral("丁")), kMergeTickColumn);
    clickCell(keep, rowOf(keep, QStringLiteral("甲")), kMergeTickColumn);
    QCOMPARE(markedNames(keep), QStringList{"甲"});

    QVERIFY(window);
    QCOMPARE(saleRows(), sales);
    QCOMPARE(purRows(), purchases);
    QCOMPARE(masterRows(QStringLiteral("Pro")), products);
    QCOMPARE(host.reloads, 0);

    // 甲 (1) is kept although it is marked among the merged; 乙 (2) goes.
    QTest::mouseClick(window->button(0), Qt::LeftButton);
    QTRY_VERIFY(window.isNull());
    QCOMPARE(m_prompts->messages.size(), 2);
    QCOMPARE(host.reloads, 1);
    QCOMPARE(saleRows(), expectedRows(sales, QStringLiteral("PID"), true, {2}, 1));
    QCOMPARE(purRows(), expectedRows(purchases, QStringLiteral("PID"), true, {2}, 1));
    QCOMPARE(masterRows(QStringLiteral("Pro")),
             (QStringList{"ID=1;Name=甲", "ID=3;Name=丙", "ID=4;Name=丁"}));

    // 取消 closes without merging.
    window = ShowMergeWindow(0);
    clickCell(window->grid(0), rowOf(window->grid(0), QStringLiteral("丙")), kMergeTickColumn);
    clickCell(window->grid(1), rowOf(window->grid(1), QStringLiteral("丁")), kMergeTickColumn);
    QTest::mouseClick(window->button(1), Qt::LeftButton);
    QTRY_VERIFY(window.isNull());
    QCOMPARE(masterRows(QStringLiteral("Pro")).size(), 3);
}

// The logged-in user marked among the staff to merge stays, and the user is
// told; marked alone nothing happens and the window stays open.
void TestMerge::windowKeepsLoggedInUser()
{
    store::CurrentUserID = 2; // zunta
    QPointer<MergeWindow> window = ShowMergeWindow(4);
    grid::Grid *away = window->grid(0);
    clickCell(away, rowOf(away, QStringLiteral("zunta")), kMergeTickColumn);
    clickCell(window->grid(1), rowOf(window->grid(1), QStringLiteral("乙")), kMergeTickColumn);
    const QStringList staff = masterRows(QStringLiteral("Staff"));
    QTest::mouseClick(window->button(0), Qt::LeftButton);
    QCOMPARE(m_prompts->messages, QStringList{QStringLiteral("当前登录的员工不能被合并替换！")});
    QVERIFY(window);
    QCOMPARE(masterRows(QStringLiteral("Staff")), staff);

    clickCell(away, rowOf(away, QStringLiteral("丁")), kMergeTickColumn);
    QTest::mouseClick(window->button(0), Qt::LeftButton);
    QTRY_VERIFY(window.isNull());
    QCOMPARE(m_prompts->messages.last(), QStringLiteral("当前登录的员工不能被合并替换，已保留。"));
    QVERIFY(!masterRows(QStringLiteral("Staff")).contains(QStringLiteral("ID=6;Name=丁")));
    QVERIFY(masterRows(QStringLiteral("Staff")).contains(QStringLiteral("ID=2;Name=zunta")));
}

QTEST_MAIN(TestMerge)
#include "tst_merge.moc"
