#include "analyses.h"
#include "analysiscore.h"

#include "grid/grid.h"
#include "records/trades.h"
#include "store/access.h"

#include <QColor>
#include <QSet>

#include <algorithm>

namespace analysis {

namespace {

// Days without movement shown at most before one movement; a longer
// stretch shows as one row.
constexpr int kMaxGapDays = 1000;

const QString kLowStockNote = QStringLiteral("红字：库存不高于最低库存的产品");

// Marks the rows of the one-day stock whose product is at or below its
// 最低库存 on that day (red text on a light red ground, since a printout may
// lose the colour, the note under the grid says what it means). The rows
// are found by name, as the grid shows them. Returns how many were marked;
// 0 also for a set whose products have no floors.
int markLowStock(grid::Grid &grid)
{
    store::RecordSet rs;
    store::OpenQuery(rs, QStringLiteral("SELECT Pro.Name FROM Pro,(SELECT PID,Sum(Sm) AS Sm FROM "
                                        "T_AnaStock GROUP BY PID) AS Ana WHERE Ana.PID=Pro.ID AND "
                                        "Pro.MinNum IS NOT NULL AND Ana.Sm<=Pro.MinNum"));
    QSet<QString> low;
    for (int r = 0; r < rs.recordCount(); ++r)
        low.insert(rs.valueAt(r, 0).toString());
    int marked = 0;
    for (int row = grid.fixedRows(); row < grid.rows() && !low.isEmpty(); ++row) {
        if (!low.contains(grid.textMatrix(row, 1)))
            continue;
        for (int col = 1; col <= 2; ++col) {
            grid.setCellForeColor(row, col, QColor(0xb0, 0, 0));
            grid.setCellBackColor(row, col, QColor(0xff, 0xe4, 0xe1));
        }
        ++marked;
    }
    return marked;
}

} // namespace

QVector<DaySum> stockRows(const QDate &start, const QVector<DaySum> &movements)
{
    QVector<DaySum> rows;
    if (movements.isEmpty())
        return rows;
    QDate day = std::max(movements.first().day, start);
    // The running total is kept as it is: half kilograms add up.
    double total = 0;
    for (const DaySum &movement : movements) {
        if (day < movement.day) {
            // Every day up to the movement, or, over a longer stretch
            // without movements, only its first day: the stock stays as it
            // was, and the movement stays on its own day.
            if (day.daysTo(movement.day) > kMaxGapDays) {
                rows.append({day, total});
            } else {
                for (; day < movement.day; day = day.addDays(1))
                    rows.append({day, total});
            }
            day = movement.day;
        }
        total += movement.sum;
    }
    rows.append({day, total});
    return rows;
}

ChartData AnalyseStock(grid::Grid &grid, QDate date1, QDate date2, const QString &productId,
                       bool byAmount)
{
    Q_UNUSED(byAmount); // stock is counted in quantities whichever is chosen
    wholeDayRange(date1, date2);
    const QString product = idNumberText(productId);
    const QString productFilter
            = product.isEmpty() ? QString() : QStringLiteral(" AND PID=") + product;
    const QString end = records::jetDate(date2);
    if (!buildScratchTable(
                QStringLiteral("T_AnaStock"),
                {QStringLiteral(
                         "SELECT PID,Dat,0-Sum(Num) AS Sm INTO T_AnaStock FROM Sale WHERE Dat<")
                         + end + productFilter + QStringLiteral(" GROUP BY PID,Dat"),
                 QStringLiteral("INSERT INTO T_AnaStock SELECT PID,Dat,Sum(Num) AS Sm FROM Pur "
                                "WHERE Dat<")
                         + end + productFilter + QStringLiteral(" GROUP BY PID,Dat")})) {
        setupResultGrid(grid, QStringLiteral("Name"), QStringLiteral("产品"), QStringLiteral("Sm"),
                        QStringLiteral("库存"));
        return failAnalysis(grid);
    }

    QString note;
    if (date2.addDays(-1) == date1) {
        setupResultGrid(grid, QStringLiteral("Name"), QStringLiteral("产品"), QStringLiteral("Sm"),
                        QStringLiteral("库存"));
        grid.setTag(QStringLiteral("T_AnaStock1"));
        // The stock stays exact (no rounding to whole numbers).
        if (!buildScratchTable(QStringLiteral("T_AnaStock1"),
                               {QStringLiteral("SELECT Pro.Name as Name,Ana.Sm As Sm INTO "
                                               "T_AnaStock1 from Pro,(SELECT PID,Sum(Sm) as Sm "
                                               "FROM T_AnaStock GROUP BY PID) as Ana WHERE "
                                               "Ana.PID=Pro.ID ORDER BY Ana.Sm")})
            || !loadResultRows(grid, QStringLiteral("SELECT * FROM T_AnaStock1 ORDER BY Sm DESC"),
                               QStringLiteral("Name"), QStringLiteral("Sm"), ValueKind::Quantity)) {
            return failAnalysis(grid);
        }
        if (markLowStock(grid) > 0)
            note = kLowStockNote;
    } else {
        setupResultGrid(grid, QStringLiteral("Dat"), QStringLiteral("日期"), QStringLiteral("Sm"),
                        QStringLiteral("总库存量"));
        grid.setTag(QStringLiteral("T_AnaStock"));
        store::Connection conn;
        store::RecordSet rs;
        store::OpenQuery(conn, rs,
                         QStringLiteral("SELECT Dat,Sum(Sm) AS Sm FROM T_AnaStock ")
                                 + (product.isEmpty() ? QString()
                                                      : QStringLiteral("WHERE PID=") + product
                                                                + QLatin1Char(' '))
                                 + QStringLiteral("GROUP BY Dat ORDER BY Dat"));
        if (!rs.isOpen()) {
            store::CloseQuery(conn, rs);
            return failAnalysis(grid);
        }
        // Movements are summed per calendar day (a stored time of day does
        // not make a day of its own).
        QVector<DaySum> movements;
        for (int r = 0; r < rs.recordCount(); ++r) {
            const QDate day = rs.valueAt(r, 0).toDateTime().date();
            const double sum = rs.valueAt(r, 1).toDouble();
            if (!day.isValid())
                continue;
            if (!movements.isEmpty() && movements.constLast().day == day)
                movements.last().sum += sum;
            else
                movements.append({day, sum});
        }
        store::CloseQuery(conn, rs);
        grid::GridBatch batch(grid);
        for (const DaySum &row : stockRows(date1, movements))
            appendResultRow(grid, dayText(row.day), valueText(row.sum, ValueKind::Quantity));
    }
    return finishAnalysis(grid,
                          analysisTitle(QStringLiteral("库存情况分析"),
                                        QStringLiteral(" 日期：") + dayText(QDate::currentDate())),
                          note);
}

} // namespace analysis
