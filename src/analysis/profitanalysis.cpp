#include "analyses.h"
#include "analysiscore.h"

#include "grid/grid.h"
#include "records/trades.h"
#include "store/access.h"
#include "store/rowinserter.h"

#include <QHash>
#include <QSet>

#include <algorithm>
#include <cmath>

namespace analysis {

namespace {

// Quantities to a millionth, so that sums such as 0.1 + 0.2 compare as the
// user typed them.
double exact(double quantity)
{
    return std::round(quantity * 1e6) / 1e6;
}

// The rows of a query, or false when it failed.
bool readRows(const QString &sql, const std::function<void(const store::RecordSet &, int)> &row)
{
    store::Connection conn;
    store::RecordSet rs;
    rs.setReadOnly(true);
    store::OpenQuery(conn, rs, sql);
    const bool ok = rs.isOpen();
    for (int r = 0; ok && r < rs.recordCount(); ++r)
        row(rs, r);
    store::CloseQuery(conn, rs);
    return ok;
}

// Overwrites each product's revenue in T_AnaAll with its profit: the
// revenue less the cost of the quantity sold. The table is written anew in
// one transaction and with one statement for all its rows, so that a
// thousand products cost no thousand round trips to a server.
bool writeProfits(const QHash<qint64, double> &soldBefore,
                  const QHash<qint64, QVector<PurchaseLot>> &lots, QSet<qint64> &unpriced)
{
    store::Connection conn;
    store::RecordSet rs;
    store::OpenQuery(conn, rs, QStringLiteral("SELECT * FROM T_AnaAll"));
    if (!rs.isOpen()) {
        store::CloseQuery(conn, rs);
        return false;
    }
    const int pidField = rs.fieldIndex(QStringLiteral("PID"));
    const int payField = rs.fieldIndex(QStringLiteral("Pay"));
    const int numField = rs.fieldIndex(QStringLiteral("Num"));
    QStringList columns;
    for (int c = 0; c < rs.fieldCount(); ++c)
        columns << rs.fieldName(c);
    QVector<QVector<QVariant>> rows;
    rows.reserve(rs.recordCount());
    for (int r = 0; r < rs.recordCount(); ++r) {
        QVector<QVariant> row(columns.size());
        for (int c = 0; c < columns.size(); ++c)
            row[c] = rs.valueAt(r, c);
        const QVariant pid = row.value(pidField);
        if (!pid.isNull()) {
            const qint64 product = pid.toLongLong();
            if (!hasPurchasePrice(lots.value(product)))
                unpriced.insert(product);
            const double cost = fifoCost(soldBefore.value(product), row.at(numField).toDouble(),
                                         lots.value(product));
            row[payField] = row.at(payField).toDouble() - cost;
        }
        rows << row;
    }
    rs.close();

    store::Transaction transaction(conn);
    bool ok = transaction.isActive() && conn->exec(QStringLiteral("DELETE * FROM T_AnaAll"));
    {
        store::RowInserter inserter(conn, QStringLiteral("T_AnaAll"), columns);
        ok = ok && inserter.isValid();
        for (int r = 0; ok && r < rows.size(); ++r)
            ok = inserter.insert(rows.at(r)) != 0;
        ok = ok && inserter.flush();
    }
    ok = ok && transaction.commit();
    store::CloseQuery(conn, rs);
    return ok;
}

} // namespace

namespace {

// The units of one purchase still in stock, at the purchase's unit price.
struct Stock
{
    double quantity = 0;
    double unit = 0;
};

// Takes quantity out of the stock, oldest lot first, adding what it cost
// to *cost (when given). Returns the part of quantity no lot held.
double takeOldest(QVector<Stock> &stock, int &oldest, double quantity, double *cost)
{
    while (quantity > 0 && oldest < stock.size()) {
        Stock &lot = stock[oldest];
        const double taken = std::min(lot.quantity, quantity);
        if (cost)
            *cost += taken * lot.unit;
        lot.quantity = exact(lot.quantity - taken);
        quantity = exact(quantity - taken);
        if (lot.quantity <= 0)
            ++oldest;
    }
    return std::max(quantity, 0.0);
}

// How many of the products are in the product list (and so in the grid).
int shownProducts(const QSet<qint64> &products)
{
    if (products.isEmpty())
        return 0;
    QStringList ids;
    for (qint64 id : products)
        ids << QString::number(id);
    return store::CountGroups(QStringLiteral("Pro"), QStringLiteral("ID"),
                              QStringLiteral("ID IN (") + ids.join(QLatin1Char(','))
                                      + QLatin1Char(')'));
}

} // namespace

bool hasPurchasePrice(const QVector<PurchaseLot> &lots)
{
    return std::any_of(lots.begin(), lots.end(),
                       [](const PurchaseLot &lot) { return exact(lot.quantity) > 0; });
}

double fifoCost(double soldBefore, double sold, const QVector<PurchaseLot> &lots)
{
    // The stock the purchases leave, oldest first: a return to the vendor
    // takes its units out of the oldest lots still there, at their cost.
    QVector<Stock> stock;
    stock.reserve(lots.size());
    int oldest = 0;
    double lastUnit = 0;
    for (const PurchaseLot &lot : lots) {
        const double q = exact(lot.quantity);
        if (q > 0) {
            lastUnit = lot.amount / q;
            stock.append({q, lastUnit});
        } else if (q < 0) {
            takeOldest(stock, oldest, -q, nullptr);
        }
        // A lot of quantity 0 has no unit price: skipped.
    }
    // The sales before the range used up the oldest lots.
    if (soldBefore > 0)
        takeOldest(stock, oldest, exact(soldBefore), nullptr);
    sold = exact(sold);
    if (sold < 0) // net returns in the range come back at the next lot's cost
        return sold * (oldest < stock.size() ? stock.at(oldest).unit : lastUnit);
    double cost = 0;
    const double uncovered = takeOldest(stock, oldest, sold, &cost);
    // Units sold beyond every lot cost what the product was last bought for.
    return cost + uncovered * lastUnit;
}

ChartData AnalyseProfit(grid::Grid &grid, QDate &startDate, QDate &endDate)
{
    wholeDayRange(startDate, endDate);
    const QString start = records::jetDate(startDate);
    const QString end = records::jetDate(endDate);
    setupResultGrid(grid, QStringLiteral("Name"), QStringLiteral("产品名称"), QStringLiteral("Pay"),
                    QStringLiteral("利润"));
    grid.setTag(QStringLiteral("T_AnaAll"));
    if (!buildScratchTable(QStringLiteral("T_AnaFront"),
                           {QStringLiteral("SELECT PID,Sum(Num) AS Num INTO T_AnaFront FROM Sale "
                                           "WHERE Dat<")
                            + start + QStringLiteral(" GROUP BY PID")})
        || !buildScratchTable(QStringLiteral("T_AnaAll"),
                              {QStringLiteral("SELECT PID,Sum(Pay) AS Pay,Sum(Num) AS Num INTO "
                                              "T_AnaAll FROM Sale WHERE Dat<")
                               + end + QStringLiteral(" AND Dat>=") + start
                               + QStringLiteral(" GROUP BY PID")})) {
        return failAnalysis(grid);
    }

    // The costing reads what it needs at once: the quantity sold before the
    // range per product, and the purchases of the products sold in it,
    // oldest first (equal days in the order they were entered).
    QHash<qint64, double> soldBefore;
    QHash<qint64, QVector<PurchaseLot>> lots;
    const bool read
            = readRows(QStringLiteral("SELECT PID,Num FROM T_AnaFront WHERE PID IS NOT NULL"),
                       [&](const store::RecordSet &rs, int r) {
                           soldBefore.insert(rs.valueAt(r, 0).toLongLong(),
                                             rs.valueAt(r, 1).toDouble());
                       })
              && readRows(QStringLiteral("SELECT PID,Pay,Num FROM Pur WHERE PID IN (SELECT PID "
                                         "FROM T_AnaAll) ORDER BY PID,Dat,ID"),
                          [&](const store::RecordSet &rs, int r) {
                              lots[rs.valueAt(r, 0).toLongLong()].append(
                                      {rs.valueAt(r, 2).toDouble(), rs.valueAt(r, 1).toDouble()});
                          });
    QSet<qint64> unpriced;
    if (!read || !writeProfits(soldBefore, lots, unpriced)
        || !loadResultRows(grid,
                           QStringLiteral("SELECT T_AnaAll.Pay,Pro.Name FROM T_AnaAll,Pro WHERE "
                                          "T_AnaAll.PID=Pro.ID ORDER BY T_AnaAll.Pay DESC"),
                           QStringLiteral("Name"), QStringLiteral("Pay"), ValueKind::Amount)) {
        return failAnalysis(grid);
    }
    // Products never bought show their whole revenue as profit: say so under
    // the grid (on screen, on paper and in exported files).
    QString note;
    const int unpricedShown = shownProducts(unpriced);
    if (unpricedShown > 0)
        note = QStringLiteral("注：%1 种产品没有进货记录，其利润未扣成本").arg(unpricedShown);
    return finishAnalysis(
            grid,
            analysisTitle(QStringLiteral("利润分析"), QStringLiteral(" 日期：") + dayText(startDate)
                                                              + QStringLiteral("至")
                                                              + dayText(endDate.addDays(-1))
                                                              + QStringLiteral(" 分析内容：利润")),
            note);
}

} // namespace analysis
