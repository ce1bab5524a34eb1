// The analyses on a real account set, run on a file set and then on a server set.

#include "analysis/analyses.h"
#include "analysistest.h"

#include "grid/grid.h"
#include "records/receipts.h"
#include "store/access.h"
#include "store/accountsets.h"
#include "store/engine.h"
#include "store/programfolder.h"
#include "store/schema.h"
#include "store/session.h"

#include "bothengines.h"
#include "testsupport.h"

#include <QApplication>
#include <QtTest>

#include <memory>

using namespace Qt::StringLiterals;

using namespace analysis;
using analysistest::day;

using testsupport::exec;

namespace {

// A sale (table Sale) or purchase (Pur) of product pid on day.
void trade(const char *table, const char *day, int pid, double num, double pay, int party = 1,
           int sid = 2)
{
    QString sql = u"INSERT INTO %1 (Dat, PID, %2, AID, SID, Price, Num, Pay, Pay1) VALUES "
                  "('%3 00:00:00', %4, %5, 1, %6, 0, %7, %8, %8)"_s;
    for (const QString &value :
         {QString::fromLatin1(table),
          QString::fromLatin1(qstrcmp(table, "Sale") == 0 ? "CID" : "VID"),
          QString::fromLatin1(day), QString::number(pid), QString::number(party),
          QString::number(sid), QString::number(num, 'g', 17), QString::number(pay, 'g', 17)})
        sql = sql.arg(value);
    exec(sql);
}

// "label=value" of every data row.
QStringList rows(const grid::Grid &g)
{
    QStringList texts;
    for (int r = g.fixedRows(); r < g.rows(); ++r)
        texts << g.textMatrix(r, 1) + QLatin1Char('=') + g.textMatrix(r, 2);
    return texts;
}

// The analyses over the days from … to, the dates they adjust not looked at.
ChartData runSales(grid::Grid &g, Grouping by, bool amount, const char *from, const char *to,
                   const QString &product = QString(), const QString &salesman = QString())
{
    QDate start = day(from), end = day(to);
    return AnalyseSales(g, by, amount, start, end, product, salesman);
}

ChartData runCustomers(grid::Grid &g, const char *from, const char *to, int measure)
{
    QDate start = day(from), end = day(to);
    return AnalyseCustomers(g, start, end, measure);
}

ChartData runProfit(grid::Grid &g, const char *from, const char *to)
{
    QDate start = day(from), end = day(to);
    return AnalyseProfit(g, start, end);
}
} // namespace

class TestAnalyses : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_fx = std::make_unique<testsupport::FolderWithPrompts>();
        QString error;
        QVERIFY2(store::EnsureTemplate(&error), qPrintable(error));
        QCOMPARE(store::CreateAccountSet(u"甲公司"_s, u"甲账"_s), 0);
        QVERIFY(store::MakeAccountSetCurrent(0));
        if (testsupport::testServer()) {
            // The same set on the server, made current in the file set's place.
            QVERIFY(testsupport::moveCurrentSetToServer());
            QCOMPARE(store::BuildAccountSetList(), 1);
            QVERIFY(store::MakeAccountSetCurrent(0));
        }
        store::CurrentUserID = 2;
        store::CurrentUser = u"zunta"_s;
        exec(u"INSERT INTO Pro (ID, Name) VALUES (7, '钢管'), (8, '角钢'), "
             "(9, 'O''Neil扳手')"_s);
        exec(u"INSERT INTO Cus (ID, Name) VALUES (1, '张三'), (2, '李四'), (3, '王五')"_s);
        m_grid = std::make_unique<grid::Grid>();
    }

    void cleanup()
    {
        m_grid.reset();
        const QStringList messages = m_fx->prompts.messages;
        m_fx.reset();
        QVERIFY2(messages.isEmpty(), qPrintable(messages.join(u" / "_s)));
    }

    void salesByPeriod()
    {
        trade("Sale", "2006-01-15", 7, 3, 30);
        trade("Sale", "2006-01-20", 8, 1, 12.5);
        trade("Sale", "2006-04-02", 7, 2, 20);
        QDate start = day("2006-12-31"), end = day("2006-01-01");
        ChartData chart = AnalyseSales(*m_grid, Grouping::Month, true, start, end, "0", "0");
        // Reversed dates are swapped; the end comes back one day later.
        QCOMPARE(start, day("2006-01-01"));
        QCOMPARE(end, day("2007-01-01"));
        QCOMPARE(rows(*m_grid), QStringList({"2006-01-01=42.50", "2006-02-01=0.00",
                                             "2006-03-01=0.00", "2006-04-01=20.00"}));
        QVERIFY(chart.drawable);
        QVERIFY(store::TableExists(u"T_SaleAna"_s));

        // Quantities without decimals; a range of one day takes that day whole.
        trade("Sale", "2024-03-04", 8, 1, 10);
        trade("Sale", "2024-03-04", 7, 2.5, 10);
        runSales(*m_grid, Grouping::Day, false, "2024-03-04", "2024-03-04");
        QCOMPARE(rows(*m_grid), QStringList({"2024-03-04=3.5"}));

        // No sales in the range: the header only, a chart without rows.
        chart = runSales(*m_grid, Grouping::Day, true, "2030-01-01", "2030-02-01");
        QCOMPARE(QList<int>({m_grid->dataRows(), chart.rowCount()}), QList<int>({0, 0}));
        QVERIFY(chart.drawable);
    }

    void salesByProductAndSalesman()
    {
        exec(u"INSERT INTO Staff (ID, Name) VALUES (5, '小李')"_s);
        trade("Sale", "2024-05-01", 7, 2, 100, 1, 2);
        trade("Sale", "2024-05-02", 8, 4, 300, 1, 5);
        trade("Sale", "2024-05-03", 9, 1, 50, 1, 5);
        trade("Sale", "2024-05-03", 44, 9, 999, 1, 66); // product and salesman since deleted
        runSales(*m_grid, Grouping::Product, true, "2024-05-01", "2024-05-31");
        QCOMPARE(rows(*m_grid), QStringList({"角钢=300.00", "钢管=100.00", "O'Neil扳手=50.00"}));
        runSales(*m_grid, Grouping::Product, false, "2024-05-01", "2024-05-31", "00007|钢管");
        QCOMPARE(rows(*m_grid), QStringList({"钢管=2"}));
        runSales(*m_grid, Grouping::Salesman, false, "2024-05-01", "2024-05-31");
        QCOMPARE(rows(*m_grid), QStringList({"小李=5", "zunta=2"}));
        runSales(*m_grid, Grouping::Salesman, true, "2024-05-01", "2024-05-31", QString(), "5");
        QCOMPARE(rows(*m_grid), QStringList({"小李=350.00"}));
    }

    // Ranges reaching 1900 and 2100, huge amounts, returns, an ID text that is not a number.
    void salesBadInput()
    {
        trade("Sale", "1900-01-01", 7, 1, 1e12);
        trade("Sale", "2100-12-31", 7, -1, -5);
        runSales(*m_grid, Grouping::Product, true, "1900-01-01", "2100-12-31",
                 "x'; DROP TABLE Sale");
        QCOMPARE(rows(*m_grid), QStringList({"钢管=999999999995.00"}));
        QVERIFY(store::TableExists(u"Sale"_s));
        runSales(*m_grid, Grouping::Year, true, "2100-12-31", "2100-12-31");
        QCOMPARE(rows(*m_grid), QStringList({"2100-01-01=-5.00"}));
    }

    // One day: every product that moved, largest stock first, 0 and negative stock too.
    void stockOfOneDay()
    {
        trade("Pur", "2024-01-10", 7, 10, 50);
        trade("Sale", "2024-02-01", 7, 4, 80);
        trade("Pur", "2024-01-10", 8, 5, 50);
        trade("Sale", "2024-01-11", 8, 5, 60);
        trade("Sale", "2024-01-12", 9, 2.5, 60);
        trade("Pur", "2024-03-01", 9, 100, 60); // after the day
        AnalyseStock(*m_grid, day("2024-02-01"), day("2024-02-01"), "0", true);
        QCOMPARE(rows(*m_grid), QStringList({"钢管=6", "角钢=0", "O'Neil扳手=-2.5"}));
        // A product chosen: only its movements.
        AnalyseStock(*m_grid, day("2024-01-31"), day("2024-01-31"), "7", false);
        QCOMPARE(rows(*m_grid), QStringList({"钢管=10"}));

        // Products at or below their floor that day are marked, with a note.
        exec(u"UPDATE Pro SET MinNum=6 WHERE ID=7"_s);
        exec(u"UPDATE Pro SET MinNum=-3 WHERE ID=9"_s);
        AnalyseStock(*m_grid, day("2024-02-01"), day("2024-02-01"), "0", true);
        QCOMPARE(rows(*m_grid), QStringList({"钢管=6", "角钢=0", "O'Neil扳手=-2.5",
                                             "红字：库存不高于最低库存的产品="}));
        QVERIFY(m_grid->cellForeColor(2, 2).isValid());
        QVERIFY(!m_grid->cellForeColor(4, 2).isValid());
    }

    // Day by day, movements before the start carried in, exact with half kilograms.
    void stockByDay()
    {
        trade("Pur", "2024-01-10", 7, 10, 50);
        trade("Sale", "2024-01-20", 7, 4, 80);
        AnalyseStock(*m_grid, day("2024-03-31"), day("2024-03-01"), QString(), false);
        QCOMPARE(rows(*m_grid), QStringList({"2024-03-01=6"}));

        for (int i = 0; i < 3; ++i)
            trade("Pur", qPrintable(day("2024-04-01").addDays(i).toString(Qt::ISODate)), 8, 0.5, 1);
        trade("Sale", "2024-04-02", 8, 0.25, 1);
        AnalyseStock(*m_grid, day("2024-04-01"), day("2024-04-30"), "8", false);
        QCOMPARE(rows(*m_grid),
                 QStringList({"2024-04-01=0.5", "2024-04-02=0.75", "2024-04-03=1.25"}));
        AnalyseStock(*m_grid, day("2024-04-01"), day("2024-04-30"), QString(), false);
        QCOMPARE(rows(*m_grid),
                 QStringList({"2024-04-01=6.5", "2024-04-02=6.75", "2024-04-03=7.25"}));
    }

    // Amount, quantity and average, largest first; gone customers drop out; net 0 has no average.
    void customers()
    {
        trade("Sale", "2024-05-01", 7, 2, 100, 1);
        trade("Sale", "2024-05-02", 7, 3, 90, 1);
        trade("Sale", "2024-05-02", 7, 10, 400, 2);
        trade("Sale", "2024-05-03", 7, 2, 50, 3);
        trade("Sale", "2024-05-04", 7, -2, -40, 3); // returned
        trade("Sale", "2024-05-04", 7, 1, 1000, 9); // customer since deleted
        trade("Sale", "2024-06-01", 7, 1, 1000, 1); // the day after the range
        runCustomers(*m_grid, "2024-05-01", "2024-05-31", 0);
        QCOMPARE(rows(*m_grid), QStringList({"李四=400.00", "张三=190.00", "王五=10.00"}));
        runCustomers(*m_grid, "2024-05-01", "2024-05-31", 1);
        QCOMPARE(rows(*m_grid), QStringList({"李四=10", "张三=5", "王五=0"}));
        const ChartData chart = runCustomers(*m_grid, "2024-05-01", "2024-05-31", 2);
        QCOMPARE(rows(*m_grid), QStringList({"李四=40.00", "张三=38.00", "王五="}));
        QCOMPARE(chart.series.first().values, QVector<double>({40, 38, 0}));
    }

    void profit()
    {
        // 10 units for 50.00 and 10 for 60.00; 4 sold before the range, 8 in it
        // for 100.00: cost 6 × 5 + 2 × 6 = 42, profit 58.
        trade("Pur", "2024-02-01", 7, 10, 60);
        trade("Pur", "2024-01-01", 7, 10, 50);
        trade("Sale", "2024-02-15", 7, 4, 40);
        trade("Sale", "2024-03-05", 7, 8, 100);
        // No purchases: the profit is the revenue; sold on the first day.
        trade("Sale", "2024-03-01", 8, 3, 75);
        // 2.5 kg costed as 2.5 kg; a purchase of quantity 0 is skipped; one
        // without a date is the earliest on both engines: cost 2.5 × 10.00.
        trade("Pur", "2024-01-01", 9, 0, 99);
        trade("Pur", "2024-01-02", 9, 4, 20);
        exec(u"INSERT INTO Pur (PID, VID, Num, Pay) VALUES (9, 1, 4, 40)"_s);
        trade("Sale", "2024-03-07", 9, 2.5, 30);
        // Sold only before the range: not listed.
        exec(u"INSERT INTO Pro (ID, Name) VALUES (10, '螺丝')"_s);
        trade("Sale", "2024-01-05", 10, 1, 5);

        const ChartData chart = runProfit(*m_grid, "2024-03-31", "2024-03-01"); // reversed
        // 角钢 was never bought: its revenue stays whole, and the note says so.
        QCOMPARE(rows(*m_grid), QStringList({"角钢=75.00", "钢管=58.00", "O'Neil扳手=5.00",
                                             "注：1 种产品没有进货记录，其利润未扣成本="}));
        QCOMPARE(chart.labels, QStringList({"角钢", "钢管", "O'Neil扳手"}));
        // The scratch tables keep the profit per product for checking.
        QCOMPARE(store::LookupWhere(u"T_AnaAll"_s, u"PID=7"_s, u"Pay"_s).toDouble(), 58.0);
    }

    // The record's day decides its ageing column; later, settled and overpaid records are left out.
    void balancesAgeByTheEndDay()
    {
        exec(u"INSERT INTO Sale (Dat, CID, Pay, Pay1) VALUES ('2024-06-30 18:00:00', 1, 10, 0), "
             "('2024-05-31 00:00:00', 1, 20, 0), ('2024-05-30 00:00:00', 1, 40, 0), "
             "('2024-05-01 00:00:00', 1, 80, 0), ('2024-04-30 00:00:00', 1, 200, 40), "
             "('2024-04-01 00:00:00', 1, 320, 0), ('2024-03-31 00:00:00', 1, 640, 0), "
             "('2024-07-01 00:00:00', 1, 5000, 0), ('2024-06-01 00:00:00', 1, 7, 7), "
             "('2024-06-15 00:00:00', 2, 2000, 500), ('2024-06-15 00:00:00', 3, 100, 120)"_s);
        QDate start;
        QDate end = day("2024-06-30");
        const ChartData chart = AnalyseBalances(*m_grid, false, start, end);
        QStringList shown;
        for (int r = m_grid->fixedRows(); r < m_grid->rows(); ++r) {
            QStringList cells;
            for (int c = 1; c < m_grid->cols(); ++c)
                cells << m_grid->textMatrix(r, c);
            shown << cells.join(QLatin1Char(' '));
        }
        QCOMPARE(shown,
                 QStringList({"李四 2000.00 500.00 1500.00 2024-06-15 1500.00 0.00 0.00 0.00",
                              "张三 1310.00 40.00 1270.00 2024-03-31 30.00 120.00 480.00 640.00",
                              "合计 3310.00 540.00 2770.00 2024-03-31 1530.00 120.00 480.00 "
                              "640.00"}));
        QCOMPARE(m_grid->tag(), u"甲公司应收账款分析\r\n分析：zunta 截止日期：2024-06-30"_s);
        QCOMPARE(chart.labels, QStringList({"李四", "张三"}));
        QCOMPARE(chart.series.size(), 1);
        QCOMPARE(chart.series.first().values, QVector<double>({1500, 1270}));

        // A receipt dated after the end day still leaves the debt at the end day.
        exec(u"INSERT INTO Acc (ID, Name) VALUES (1, '现金')"_s);
        QCOMPARE(records::settle(records::receiptKind(), {2, 150000, day("2024-07-05"), 1, 2, {}})
                         .outcome,
                 records::SettlementResult::Outcome::Done);
        AnalyseBalances(*m_grid, false, start, end);
        QCOMPARE(testsupport::column(*m_grid, 4).first(), u"1500.00"_s);
        QDate later = day("2024-07-31");
        AnalyseBalances(*m_grid, false, start, later);
        QCOMPARE(testsupport::column(*m_grid, 1), QStringList({"张三", "合计"}));

        // Payables the same way; a start day leaves out what is older.
        exec(u"INSERT INTO Vendor (ID, Name) VALUES (1, '钢厂')"_s);
        exec(u"INSERT INTO Pur (Dat, VID, Pay, Pay1) VALUES ('2024-06-01', 1, 99, 0), "
             "('2024-01-01', 1, 1, 0)"_s);
        start = day("2024-02-01");
        AnalyseBalances(*m_grid, true, start, end);
        QCOMPARE(m_grid->textMatrix(m_grid->fixedRows(), 4), u"99.00"_s);
    }

    // A failing statement leaves the header rows and no chart, never half.
    void failureLeavesGridEmpty()
    {
        trade("Pur", "2024-01-05", 7, 10, 50);
        trade("Sale", "2024-03-05", 7, 8, 100);
        runProfit(*m_grid, "2024-03-01", "2024-03-31");
        QCOMPARE(m_grid->dataRows(), 1);
        exec(u"DROP TABLE Pur"_s);
        const ChartData chart = runProfit(*m_grid, "2024-03-01", "2024-03-31");
        QCOMPARE(m_grid->dataRows(), 0);
        QVERIFY(!chart.drawable);
        QCOMPARE(m_fx->prompts.messages.size(), 1); // the access layer's own message
        m_fx->prompts.messages.clear();
    }

    // A set made before the product-and-date indexes gets them when opened.
    void indexesOnOpening()
    {
        const bool server = testsupport::testServer();
        exec(u"DROP INDEX Sale_PID_Dat"_s);
        exec(server ? u"DROP INDEX Pur_PID_Dat_Order"_s : u"DROP INDEX Pur_PID_Dat"_s);
        const auto indexes = [server] {
            return testsupport::countRows(
                    server ? u"pg_indexes WHERE indexname LIKE '%pid_dat%'"_s
                           : u"sqlite_master WHERE type='index' AND name LIKE '%PID_Dat%'"_s);
        };
        QCOMPARE(indexes(), 0);
        QVERIFY(store::MakeAccountSetCurrent(0));
        QCOMPARE(indexes(), 2);
    }

private:
    std::unique_ptr<testsupport::FolderWithPrompts> m_fx;
    std::unique_ptr<grid::Grid> m_grid;
};

KORVO_TEST_ON_BOTH_ENGINES(TestAnalyses, QApplication)
#include "tst_analyses.moc"
