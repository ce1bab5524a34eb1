#include "records/sales.h"

#include "grid/grid.h"
#include "store/access.h"
#include "store/programfolder.h"
#include "store/schema.h"
#include "store/session.h"
#include "testsupport.h"

#include <QApplication>
#include <QtTest>

#include <memory>

using namespace records;

namespace {

FilterBar textCondition(const QString &field, const QString &op, const QString &value)
{
    FilterBar bar;
    bar.textField = field;
    bar.textOperator = op;
    bar.textValue = value;
    bar.numberField = QStringLiteral("售价  Price");
    bar.numberOperator = QStringLiteral("等于");
    return bar;
}

const QString kCustomerField = QStringLiteral("客户      Cus");
const QString kMemoField = QStringLiteral("备注      Memo");

void exec(const QString &sql)
{
    QVERIFY2(store::ExecSQL(sql), qPrintable(sql));
}

// A sale of product 1 by salesman 2 into account 1, to customer cid.
void addSale(int cid, const QString &when, const QString &memo = QString(), double num = 1)
{
    exec(QStringLiteral("INSERT INTO Sale (Dat, PID, CID, AID, SID, Price, Num, Pay, Pay1, Memo) "
                        "VALUES ('%1', 1, %2, 1, 2, 10, %3, 10, 10, %4)")
                 .arg(when)
                 .arg(cid)
                 .arg(num)
                 .arg(store::sqlText(memo)));
}

// The texts of one column of the grid's data rows.
QStringList column(const grid::Grid &g, int col)
{
    QStringList texts;
    for (int r = g.fixedRows(); r < g.rows(); ++r)
        texts << g.textMatrix(r, col);
    return texts;
}

int saleCount()
{
    store::RecordSet rs;
    store::OpenQuery(rs, QStringLiteral("SELECT Count(*) FROM Sale"));
    return rs.valueAt(0, 0).toInt();
}

constexpr int kCustomerColumn = 4;
constexpr int kMemoColumn = 11;

} // namespace

class TestSales : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void filterText_data();
    void filterText();
    void listStatement();
    void wholeDays();
    void literalValues_data();
    void literalValues();
    void deleting();

private:
    std::unique_ptr<testsupport::TempProgramFolder> m_folder;
    std::unique_ptr<testsupport::ScriptedPrompts> m_prompts;
};

void TestSales::init()
{
    m_folder = std::make_unique<testsupport::TempProgramFolder>();
    m_prompts = std::make_unique<testsupport::ScriptedPrompts>();
    QString error;
    QVERIFY2(store::BuildTemplate(store::programFilePath(QStringLiteral("DATA00001.qdt")), &error),
             qPrintable(error));
    store::CurrentAccountFile = QStringLiteral("DATA00001.qdt");
    exec(QStringLiteral("INSERT INTO Pro (ID, Name, Price) VALUES (1, '钢管', 25)"));
    exec(QStringLiteral("INSERT INTO Acc (ID, Name) VALUES (1, '现金')"));
}

void TestSales::cleanup()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        delete w;
    m_prompts.reset();
    m_folder.reset();
}

void TestSales::filterText_data()
{
    // The six controls of the bar (text field, operator, value, number
    // field, operator, value), then the expected text.
    QTest::addColumn<QStringList>("bar");
    QTest::addColumn<QString>("expected");

    const QString cus = kCustomerField;
    QTest::newRow("customer contains")
            << QStringList{cus, "包含", "张", "", "", ""} << " AND Cus.Name LIKE '%张%' ";
    QTest::newRow("memo contains")
            << QStringList{kMemoField, "包含", "急", "", "", ""} << " AND Sale.Memo LIKE '%急%' ";
    // The initial text of the chooser has one blank less than its items.
    QTest::newRow("initial product text")
            << QStringList{"产品     Pro", "等于", "管", "", "", ""} << " AND Pro.Name='管' ";
    QTest::newRow("quantity above")
            << QStringList{cus, "包含", "", "数量  Num", "大于", "10"} << " AND Sale.Num>10";
    QTest::newRow("price not a number")
            << QStringList{cus, "包含", "", "售价  Price", "等于", "abc"} << " AND Sale.Price=0";
    QTest::newRow("both") << QStringList{cus, "等于", "东方", "应收  Pay", "小于", "3.5kg"}
                          << " AND Cus.Name='东方'  AND Sale.Pay<3.5";
    QTest::newRow("quote doubled")
            << QStringList{cus, "等于", "O'Neil", "", "", ""} << " AND Cus.Name='O''Neil' ";
    QTest::newRow("percent literal") << QStringList{cus, "包含", "100%_\\", "", "", ""}
                                     << " AND Cus.Name LIKE '%100\\%\\_\\\\%' ESCAPE '\\' ";
    // Only the bar's own fields and operators reach the statement.
    QTest::newRow("unknown table")
            << QStringList{"客户 Cus.ID=1 OR Cus.ID", "等于", "x", "", "", ""} << "";
    QTest::newRow("unknown number field")
            << QStringList{cus, "包含", "", "ID  ID", "等于", "1"} << "";
}

// The filter text follows the bar exactly, with values that cannot change
// the statement.
void TestSales::filterText()
{
    QFETCH(QStringList, bar);
    QFETCH(QString, expected);
    QCOMPARE(SalesFilter(
                     FilterBar{bar.at(0), bar.at(1), bar.at(2), bar.at(3), bar.at(4), bar.at(5)}),
             expected);
}

// The joined statement, whole days, and the same range either way round.
void TestSales::listStatement()
{
    const QString expected = QStringLiteral(
            "SELECT Sale.*,Acc.Name AS AID,Pro.Name AS PID,Cus.Name AS CID,Staff.Name AS SID "
            "FROM Sale,Acc,Pro,Cus,Staff WHERE Sale.AID=Acc.ID AND Sale.PID=Pro.ID AND "
            "Sale.CID=Cus.ID AND Sale.SID=Staff.ID AND Sale.Dat>=#2024-02-28# AND "
            "Sale.Dat<#2024-03-01# AND Sale.Num>2");
    const QDate start(2024, 2, 28);
    const QDate end(2024, 2, 29);
    const QString filter = QStringLiteral(" AND Sale.Num>2");
    QCOMPARE(salesListSql(start, end, filter), expected);
    QCOMPARE(salesListSql(end, start, filter), expected);
}

// A range lists every sale of its first through its last day, whichever
// date picker holds the earlier day, with the names joined in.
void TestSales::wholeDays()
{
    exec(QStringLiteral("INSERT INTO Cus (ID, Name, Disc) VALUES (1, '张三', 1)"));
    addSale(1, QStringLiteral("2024-02-29 23:59:59"), QStringLiteral("before"));
    addSale(1, QStringLiteral("2024-03-01 00:00:00"), QStringLiteral("first day"));
    addSale(1, QStringLiteral("2024-03-05 23:59:00"), QStringLiteral("last day"));
    addSale(1, QStringLiteral("2024-03-06 00:00:00"), QStringLiteral("after"));
    // A sale whose customer is gone is not listed.
    addSale(9, QStringLiteral("2024-03-02 10:00:00"), QStringLiteral("orphan"));

    const FilterBar none = textCondition(kCustomerField, QStringLiteral("包含"), QString());
    for (const bool reversed : {false, true}) {
        grid::Grid g;
        const QDate start(2024, 3, 1);
        const QDate end(2024, 3, 5);
        LoadSalesList(g, reversed ? end : start, reversed ? start : end, none);
        QCOMPARE(column(g, kMemoColumn), (QStringList{"first day", "last day"}));
        QCOMPARE(g.tag(), QStringLiteral("Sale"));
        QCOMPARE(g.reportTitle(), QStringLiteral("销售单"));
        QCOMPARE(g.textMatrix(1, 2), QStringLiteral("销售日期"));
        const int row = g.fixedRows();
        QCOMPARE(g.textMatrix(row, 2), QStringLiteral("2024.03.01"));
        QCOMPARE(g.textMatrix(row, 3), QStringLiteral("钢管"));
        QCOMPARE(g.textMatrix(row, kCustomerColumn), QStringLiteral("张三"));
        QCOMPARE(g.textMatrix(row, 5), QStringLiteral("现金"));
        QCOMPARE(g.textMatrix(row, 6), QStringLiteral("zunta"));
        QCOMPARE(g.textMatrix(row, 7), QStringLiteral("10.00"));
    }
    QCOMPARE(m_prompts->messages, QStringList());
}

void TestSales::literalValues_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("op");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QStringList>("customers");

    const QString contains = QStringLiteral("包含");
    const QString equals = QStringLiteral("等于");
    QTest::newRow("O'Neil equals") << kCustomerField << equals << "O'Neil" << QStringList{"O'Neil"};
    QTest::newRow("lone quote") << kCustomerField << contains << "'" << QStringList{"O'Neil", "'"};
    QTest::newRow("100%") << kCustomerField << contains << "100%" << QStringList{"100%"};
    QTest::newRow("underscore") << kCustomerField << contains << "a_b" << QStringList{"a_b"};
    QTest::newRow("percent alone") << kCustomerField << contains << "%" << QStringList{"100%"};
    QTest::newRow("memo 50%") << kMemoField << contains << "50%" << QStringList{"ONeil"};
    QTest::newRow("injection") << kCustomerField << equals << "x' OR '1'='1" << QStringList{};
}

// Quotes, % and _ in a value find exactly the records that hold them.
void TestSales::literalValues()
{
    QFETCH(QString, field);
    QFETCH(QString, op);
    QFETCH(QString, value);
    QFETCH(QStringList, customers);

    const QStringList names = {"O'Neil", "ONeil", "'", "100%", "1000", "a_b", "axb"};
    for (int i = 0; i < names.size(); ++i) {
        exec(QStringLiteral("INSERT INTO Cus (ID, Name, Disc) VALUES (%1, %2, 1)")
                     .arg(i + 1)
                     .arg(store::sqlText(names.at(i))));
        addSale(i + 1, QStringLiteral("2024-05-01 12:00:00"),
                i == 1 ? QStringLiteral("打五折50%") : QStringLiteral("打五折500"));
    }
    grid::Grid g;
    LoadSalesList(g, QDate(2024, 5, 1), QDate(2024, 5, 1), textCondition(field, op, value));
    QStringList found = column(g, kCustomerColumn);
    found.sort();
    customers.sort();
    QCOMPARE(found, customers);
    QCOMPARE(m_prompts->messages, QStringList());
}

// Deleting asks first, takes the selection in either direction and removes
// exactly the selected sales.
void TestSales::deleting()
{
    exec(QStringLiteral("INSERT INTO Cus (ID, Name, Disc) VALUES (1, '张三', 1)"));
    grid::Grid g;
    const FilterBar none = textCondition(kCustomerField, QStringLiteral("包含"), QString());
    const QDate day(2024, 6, 1);

    // No data rows: no question, nothing deleted.
    LoadSalesList(g, day, day, none);
    DeleteSelectedSales(g);
    QCOMPARE(m_prompts->questions, QStringList());

    for (int i = 1; i <= 6; ++i)
        addSale(1, QStringLiteral("2024-06-01 08:00:00"), QString::number(i), i);
    LoadSalesList(g, day, day, none);
    QCOMPARE(g.dataRows(), 6);

    // Rows 5 to 3, dragged upwards; the answer No keeps everything.
    g.setRow(5);
    g.setRowSel(3);
    m_prompts->answers = {false};
    DeleteSelectedSales(g);
    QCOMPARE(m_prompts->questions, QStringList{QStringLiteral("您确定要删除选中的销售记录？")});
    QCOMPARE(saleCount(), 6);
    QCOMPARE(g.dataRows(), 6);

    g.setRow(5);
    g.setRowSel(3);
    m_prompts->answers = {true};
    DeleteSelectedSales(g);
    QCOMPARE(saleCount(), 3);
    QCOMPARE(column(g, kMemoColumn), (QStringList{"1", "5", "6"}));
    LoadSalesList(g, day, day, none);
    QCOMPARE(column(g, kMemoColumn), (QStringList{"1", "5", "6"}));
    QCOMPARE(m_prompts->messages, QStringList());
}

QTEST_MAIN(TestSales)
#include "tst_sales.moc"
