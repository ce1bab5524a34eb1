#pragma once

#include "chart.h"
#include "periods.h"

#include <QDate>
#include <QString>
#include <QVector>

namespace grid {
class Grid;
}

namespace analysis {

// The analyses of the analysis tabs. Each builds its scratch table by
// SQL in the current account set, fills grid with one row per period,
// product, customer or day, gives it its two-line title and returns the
// chart of the result for the tab's picture. A statement that fails leaves
// the grid with its header rows and returns a chart that is not drawable.
// Dates passed by reference come back as the range used: in order, the end
// one day after the last day analysed.

// Sales of the range summed by year, month, week (from Monday), day, product
// or salesman; the amount (Pay) or the quantity (Num). productId and
// salesmanId are ID texts of the boxes ("0" or empty for all).
ChartData AnalyseSales(grid::Grid &grid, Grouping grouping, bool byAmount, QDate &startDate,
                       QDate &endDate, const QString &productId, const QString &salesmanId);

// Stock from every purchase and sale up to the end day: per product for a
// single day, else the day-by-day total. byAmount has no effect (stock is
// counted in quantities).
ChartData AnalyseStock(grid::Grid &grid, QDate date1, QDate date2, const QString &productId,
                       bool byAmount);

// Customers of the range by amount (measure 0), quantity (1) or average
// price (2), largest first; customers no longer in the list are left out.
ChartData AnalyseCustomers(grid::Grid &grid, QDate &startDate, QDate &endDate, int measure);

// Gross profit per product sold in the range, the cost taken first-in
// first-out from the product's purchases. Products never bought are counted
// in a note row under the grid.
ChartData AnalyseProfit(grid::Grid &grid, QDate &startDate, QDate &endDate);

// Who owes how much at the end day: one row per customer (payables: vendor)
// with open sales (purchases) dated from the start day (all when it is not
// valid) through the end day, largest debt first, then a 合计 row. The
// columns are the due and paid sums of the open records, the debt (their
// difference), the oldest open record's day, and the debt by the record's
// age on the end day: 0–30 days, 31–60, 61–90 and more than 90. What a
// receipt (payment) dated after the end day paid counts as still open; a
// paid amount typed into a record has no date and always counts. The chart
// shows the debt per row. Partners no longer in their list are left out.
ChartData AnalyseBalances(grid::Grid &grid, bool payables, QDate &startDate, QDate &endDate);
// Its statement: the rows as the grid shows them, from one query.
QString balanceSql(bool payables, const QDate &startDate, const QDate &endDate);

// ---------------------------------------------------------------- pure parts

struct DaySum
{
    QDate day;
    double sum = 0;
};

// The rows of a date grouping from the day sums in date order: a row per
// period from the first sale's period on, periods without sales as 0 (more
// than 100 of them in a row show as one row of 0 for the first), every sum
// in its own period, and a last period left out when its sum shows as 0.
QVector<DaySum> periodRows(Grouping grouping, const QVector<DaySum> &daySums, bool byAmount);

// The rows of the day-by-day stock from the movements per day in date
// order: a row per day from the start day (or the first movement, when
// later) to the last movement, each with the stock at the end of that day,
// movements before the start carried in; more than 1,000 days in a row
// without movement show as one row for the first, every movement on its own
// day. No movement gives no rows.
QVector<DaySum> stockRows(const QDate &start, const QVector<DaySum> &movements);

// A purchase as the costing reads it.
struct PurchaseLot
{
    double quantity = 0;
    double amount = 0;
};

// The cost of the quantity sold in the range, first-in first-out, from the
// product's purchases oldest first: a negative purchase (a return to the
// vendor) takes its units out of the oldest lots still in stock, the
// quantity sold before the range uses up the oldest lots left, and the sold
// quantity then takes the rest in order at each lot's unit price (amount ÷
// quantity). Units beyond every lot cost the last purchase's unit price;
// with no purchase at all they cost nothing. Lots of quantity 0 have no unit
// price and are skipped. Fractional quantities count as they are.
double fifoCost(double soldBefore, double sold, const QVector<PurchaseLot> &lots);
// True when some lot gives a unit price (a purchase of more than 0 units).
bool hasPurchasePrice(const QVector<PurchaseLot> &lots);

} // namespace analysis
