// The pure parts of the analyses: periods, quantity texts, walks and FIFO costing.

#include "analysis/analyses.h"
#include "analysis/periods.h"
#include "analysistest.h"

#include <QtTest>

using namespace analysis;
using analysistest::day;

namespace {

// "date=sum" texts of rows, for readable comparisons.
QStringList texts(const QVector<DaySum> &rows, bool byAmount)
{
    QStringList result;
    for (const DaySum &row : rows)
        result << dayText(row.day) + QLatin1Char('=')
                          + (byAmount ? amountText(row.sum) : quantityText(row.sum));
    return result;
}

QStringList periodTexts(Grouping grouping, const QVector<DaySum> &sums, bool byAmount)
{
    return texts(periodRows(grouping, sums, byAmount), byAmount);
}

QStringList stockTexts(const char *start, const QVector<DaySum> &sums)
{
    return texts(stockRows(day(start), sums), false);
}
} // namespace

class TestPeriods : public QObject
{
    Q_OBJECT

private slots:
    // Each period's first day and the next one's, across December, weeks and years.
    void periodBounds()
    {
        const std::tuple<Grouping, const char *, const char *, const char *> cases[]
                = {{Grouping::Year, "2006-07-15", "2006-01-01", "2007-01-01"},
                   {Grouping::Month, "2006-12-31", "2006-12-01", "2007-01-01"},
                   {Grouping::Week, "2024-03-10", "2024-03-04", "2024-03-11"},
                   {Grouping::Week, "2024-03-04", "2024-03-04", "2024-03-11"},
                   {Grouping::Week, "2025-01-01", "2024-12-30", "2025-01-06"},
                   {Grouping::Day, "2024-02-29", "2024-02-29", "2024-03-01"}};
        for (const auto &[grouping, date, start, next] : cases) {
            QCOMPARE(periodStart(grouping, day(date)), day(start));
            QCOMPARE(nextPeriodStart(grouping, day(date)), day(next));
        }
    }

    // Up to three decimals, no trailing zeros, no binary noise, no "-0".
    void quantityTexts()
    {
        const QList<QPair<double, const char *>> cases
                = {{0, "0"},           {-3, "-3"},     {0.125, "0.125"},       {1.23456, "1.235"},
                   {0.1 + 0.2, "0.3"}, {-0.0001, "0"}, {1e12, "1000000000000"}};
        for (const auto &[quantity, text] : cases)
            QCOMPARE(quantityText(quantity), QString::fromUtf8(text));
    }

    // Over 100 empty periods show as one row; a last period netting to 0 is left out.
    void periodWalk()
    {
        // Returns netting out the last period: it is not shown.
        QCOMPARE(periodTexts(Grouping::Day,
                             {{day("2024-03-04"), 5},
                              {day("2024-03-05"), 0.1},
                              {day("2024-03-05"), 0.2},
                              {day("2024-03-05"), -0.3}},
                             false),
                 QStringList({"2024-03-04=5"}));
        // Over 100 empty days: one row of 0 for the stretch; exactly 100 are all shown.
        QCOMPARE(periodTexts(Grouping::Day, {{day("2006-01-01"), 1}, {day("2007-01-01"), 777}},
                             true),
                 QStringList({"2006-01-01=1.00", "2006-01-02=0.00", "2007-01-01=777.00"}));
        const QVector<DaySum> hundred
                = periodRows(Grouping::Day, {{day("2024-01-01"), 1}, {day("2024-04-11"), 2}}, true);
        QCOMPARE(hundred.size(), 102);
        QCOMPARE(hundred.at(100).day, day("2024-04-10"));
        QCOMPARE(hundred.last().day, day("2024-04-11"));
        QVERIFY(periodRows(Grouping::Year, {}, true).isEmpty());
    }

    // The stock day by day from the start, carrying everything before it.
    void stockWalk()
    {
        QCOMPARE(stockTexts("2024-03-01", {{day("2024-02-28"), 3}, {day("2024-03-03"), -1}}),
                 QStringList({"2024-03-01=3", "2024-03-02=3", "2024-03-03=2"}));
        // Half a kilogram bought each day: the stock grows by half a kilogram.
        QVector<DaySum> halves;
        for (int i = 0; i < 4; ++i)
            halves.append({day("2024-05-01").addDays(i), 0.5});
        QCOMPARE(stockTexts("2024-05-01", halves),
                 QStringList({"2024-05-01=0.5", "2024-05-02=1", "2024-05-03=1.5", "2024-05-04=2"}));
        QVERIFY(stockRows(day("2024-05-01"), {}).isEmpty()); // no movement at all
        // Over 1,000 days without movement: one row for the stretch.
        QCOMPARE(stockTexts(
                         "2000-01-01",
                         {{day("2000-01-01"), 1}, {day("2000-01-02"), 1}, {day("2010-01-01"), 5}}),
                 QStringList({"2000-01-01=1", "2000-01-02=2", "2010-01-01=7"}));
    }

    // FIFO costs worked out by hand: returns, units beyond every lot, empty lots, never bought.
    void fifo()
    {
        const QVector<PurchaseLot> twoLots = {{10, 50}, {10, 60}};
        const QVector<PurchaseLot> returned = {{10, 50}, {-3, -15}, {10, 60}};
        const std::tuple<double, double, QVector<PurchaseLot>, double> cases[]
                = {{4, 8, twoLots, 42},
                   {12, 5, twoLots, 30},
                   {0, 2.5, {{4, 20}}, 12.5},
                   {1.5, 2.5, {{2, 10}, {10, 30}}, 2.5 + 2 * 3.0},
                   {1, 3, {{2, 10}, {10, 30}}, 5 + 2 * 3.0},
                   {0, 3, {{0, 99}, {5, 10}}, 6},
                   // 7 left of the first lot after the return; 8 before take them
                   // and 1 of the second: the 5 sold cost 5 × 6.
                   {8, 5, returned, 30},
                   {0, 9, returned, 7 * 5 + 2 * 6.0},
                   // A return larger than what is in stock takes all there is.
                   {0, 4, {{2, 10}, {-5, -25}, {4, 12}}, 12},
                   // Beyond every lot: the rest at the last price.
                   {0, 5, {{3, 30}}, 50},
                   {0, 25, twoLots, 110 + 5 * 6.0},
                   {20, 3, twoLots, 18},
                   {0, 5, {}, 0},
                   {0, 5, {{0, 10}, {-2, -8}}, 0}};
        for (const auto &[before, sold, lots, cost] : cases)
            QCOMPARE(fifoCost(before, sold, lots), cost);
        QVERIFY(!hasPurchasePrice({{0, 10}, {-2, -8}}));
        QVERIFY(hasPurchasePrice(twoLots));
    }
};

QTEST_GUILESS_MAIN(TestPeriods)
#include "tst_periods.moc"
